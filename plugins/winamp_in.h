/* winamp_in.h: the interface between Aubadine's player (Lirren) and its input plug-ins.
 *
 * This header is the whole manual for writing an input plug-in. It needs nothing but a C
 * compiler: no Qt, no library of the player. A plug-in is a shared object named
 * "in_<something>.so" in the "Plugins" folder beside the player's program file. The user
 * loads it in the player's "Input plug-in Configuration" dialog (tray menu, "Настройки",
 * "Модули ввода…"); nothing is loaded automatically.
 *
 * ---------------------------------------------------------------------------------------
 * 1. How a plug-in is loaded
 * ---------------------------------------------------------------------------------------
 * The player opens the library with dlopen(RTLD_NOW | RTLD_LOCAL), looks up the exported
 * C function
 *
 *     WinampInModule* winampGetInModule2(void);
 *
 * and calls it once on the UI thread. It must return the address of a WinampInModule
 * record that lives as long as the library (a static variable is usual). The player then:
 *   1. refuses the plug-in (the dialog says "Not a valid Winamp 2 input plug-in") when the
 *      function is missing, returns NULL, or the record's `version` is not
 *      WINAMP_IN_VERSION; the library is closed again and Init is never called;
 *   2. writes hMainWindow, hDllInstance and outMod into the record;
 *   3. calls Init;
 *   4. writes the host callbacks (SAVSAInit ... SetInfo) into the record;
 *   5. reads version, description, FileExtensions and is_seekable.
 * At unload (or when the player ends) it calls Quit and then dlclose. A plug-in is never
 * unloaded while it is the one playing.
 *
 * ---------------------------------------------------------------------------------------
 * 2. Threads
 * ---------------------------------------------------------------------------------------
 * "UI thread": the player's user-interface thread. Every function of WinampInModule is
 * called there, one at a time. A plug-in must return quickly from all of them (the player's
 * tray menu waits meanwhile): Play starts a decoding thread of the plug-in's own and
 * returns; Stop ends that thread and joins it.
 *
 * "Decoding thread": the plug-in's own thread. It is the thread that feeds the output
 * module: outMod->CanWrite, outMod->Write, outMod->Flush (for a seek), outMod->GetWrittenTime,
 * and the host callbacks SAAddPCMData, VSAAddPCMData, dsp_isactive, dsp_dosamples and
 * SetInfo. The output module's other functions (Open, Close, Pause, SetVolume, SetPan,
 * IsPlaying, GetOutputTime) may be called from either thread, but not from both at once.
 * The player never calls the output module itself.
 *
 * ---------------------------------------------------------------------------------------
 * 3. One playback, as a plug-in drives it
 * ---------------------------------------------------------------------------------------
 *   Play(file)           UI thread: open the file; outMod->Open(rate, channels, bits, -1, -1);
 *                        start the decoding thread; return 0 (or non-zero to refuse:
 *                        the player then says "Can't play the specified stream").
 *   decoding thread      loop: decode a block; wait until outMod->CanWrite() >= its size
 *                        (sleep 10..20 ms between checks); outMod->Write(block, size).
 *                        Sound starts once 0.4 s are buffered.
 *   end of the file      keep going until outMod->IsPlaying() returns 0 or the buffer has
 *                        drained (the player waits for what is buffered), or simply post
 *                        WINAMP_MSG_EOF right after the last Write: the player lets the
 *                        buffered sound play out before it moves to the next track.
 *                        Post it exactly once:
 *                          mod.hMainWindow->PostMessage(mod.hMainWindow, WINAMP_MSG_EOF, 0, 0);
 *   SetOutputTime(ms)    UI thread (a seek): tell the decoding thread; it calls
 *                        outMod->Flush(ms) and writes from the new position.
 *   Pause / UnPause      UI thread: outMod->Pause(1) / outMod->Pause(0).
 *   Stop                 UI thread: end and join the decoding thread; outMod->Close().
 *
 * ---------------------------------------------------------------------------------------
 * 4. Units, strings and layout
 * ---------------------------------------------------------------------------------------
 * Times are milliseconds. Volume is 0..255, pan -128..128. PCM is interleaved, little
 * endian, signed 16-bit (or unsigned 8-bit when bits is 8). Strings are UTF-8, NUL
 * terminated. File names are paths as the file system has them. Every `int` is 32 bits;
 * pointers are pointer sized; the records use the natural C layout of the platform (so
 * they are not binary compatible with 32-bit Windows plug-ins: rebuild those from source).
 *
 * ---------------------------------------------------------------------------------------
 * 5. A minimal plug-in (silence of one second for files ending in .nul)
 * ---------------------------------------------------------------------------------------
 *   #include "winamp_in.h"
 *   #include <pthread.h>
 *   #include <string.h>
 *   #include <unistd.h>
 *   static WinampInModule mod;
 *   static pthread_t worker;
 *   static volatile int stopping;
 *   static void* decode(void* arg) {
 *       static char block[4410 * 4];          // 0.1 s of 16-bit stereo at 44100 Hz
 *       (void)arg;
 *       for (int n = 0; n < 10 && !stopping;) {
 *           if (mod.outMod->CanWrite() < (int)sizeof block) { usleep(10000); continue; }
 *           mod.outMod->Write(block, sizeof block);
 *           ++n;
 *       }
 *       if (!stopping) mod.hMainWindow->PostMessage(mod.hMainWindow, WINAMP_MSG_EOF, 0, 0);
 *       return 0;
 *   }
 *   static void init(void) {}
 *   static void quit(void) {}
 *   static void info(const char* f, char* title, int* ms) { if (title) strcpy(title, "Silence"); if (ms) *ms = 1000; (void)f; }
 *   static int play(const char* f) {
 *       (void)f; stopping = 0;
 *       if (mod.outMod->Open(44100, 2, 16, -1, -1) < 0) return 1;
 *       return pthread_create(&worker, 0, decode, 0) != 0;
 *   }
 *   static void stop(void) { stopping = 1; pthread_join(worker, 0); mod.outMod->Close(); }
 *   static WinampInModule mod = { WINAMP_IN_VERSION, "Silence 1.0", 0, 0, "NUL\0Silence (*.nul)\0",
 *       0, 1, 0, 0, init, quit, info, 0, 0, play, 0, 0, 0, stop };  // the rest stays 0
 *   WINAMP_EXPORT WinampInModule* winampGetInModule2(void) { return &mod; }
 * (A real plug-in also fills Pause, UnPause, GetOutputTime, SetOutputTime and SetVolume,
 * which the player calls without checking them for NULL: see testplugins/in_tone.c.)
 */
#ifndef AUBADINE_WINAMP_IN_H
#define AUBADINE_WINAMP_IN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The value a plug-in puts into WinampInModule.version. Any other value is refused. */
#define WINAMP_IN_VERSION 0x100
/* The value the player's output module reports in WinampOutModule.version. */
#define WINAMP_OUT_VERSION 0x10

/* Messages a plug-in posts to its main window (WM_USER = 1024). */
#define WINAMP_MSG_EOF 1026        /* WM_USER+2: the plug-in has written the last of its file */
/* Used by the player's output module itself, listed so that a plug-in avoids the number. */
#define WINAMP_MSG_START_PLAY 1125 /* WM_USER+101: the output module's sound has started */

/* Size of the title buffer that GetFileInfo receives, NUL included. */
#define WINAMP_TITLE_SIZE 256

#if defined(__GNUC__)
#define WINAMP_EXPORT __attribute__((visibility("default")))
#else
#define WINAMP_EXPORT
#endif

/* A parent window for a plug-in's own About and Config windows: the X11 window id of the
   player's dialog when it has one, else 0. A plug-in that shows windows with a toolkit of
   its own may make them transient for it; most simply call hMainWindow->MessageBox. */
typedef uintptr_t WinampParentWindow;

/* The plug-in's "main window": an object of the player through which a plug-in talks
   back. The player owns it; it stays valid from Init until Quit returns. Both functions
   may be called from any thread, never block, and return at once. */
typedef struct WinampMainWindow WinampMainWindow;
struct WinampMainWindow {
    /* Queues msg for the player's UI thread (the counterpart of PostMessage). Returns 1
       when queued, 0 when the window no longer exists. A plug-in posts WINAMP_MSG_EOF
       with wParam 0 and lParam 0; other numbers are ignored by the player. */
    int (*PostMessage)(WinampMainWindow* self, uint32_t msg, uintptr_t wParam, intptr_t lParam);
    /* Shows a modal message box with an OK button on the player's UI thread, after the
       call returns (so a plug-in's thread never waits for the user). */
    void (*MessageBox)(WinampMainWindow* self, const char* text, const char* caption);
    void* host; /* the player's; a plug-in leaves it alone */
};

/* The output module: the player's. A plug-in writes its decoded PCM through it. Every
   function is filled; a plug-in never writes into this record. */
typedef struct WinampOutModule WinampOutModule;
struct WinampOutModule {
    int version;                    /* WINAMP_OUT_VERSION */
    const char* description;        /* "BASS Winamp output plug-in emulator" */
    intptr_t id;                    /* 65537 */
    WinampMainWindow* hMainWindow;  /* the same object as the input module's hMainWindow */
    void* hDllInstance;             /* NULL */
    void (*Config)(WinampParentWindow parent); /* shows "No configuration is needed." */
    void (*About)(WinampParentWindow parent);  /* shows what this output module is */
    void (*Init)(void);             /* the player's own: a plug-in never calls it */
    void (*Quit)(void);             /* the player's own: a plug-in never calls it */
    /* Opens the sound for one playback: rate 1000..384000 Hz, 1..8 channels, 8 or 16 bits.
       The last two arguments are ignored. Returns 0 (the latency, always 0), or -1 when
       the sound cannot be opened (the plug-in then refuses Play). Empties the buffer. */
    int (*Open)(int samplerate, int numchannels, int bitspersamp, int bufferlenms, int prebufferms);
    /* Stops and releases the sound of this playback. */
    void (*Close)(void);
    /* Copies len bytes (whole frames) into the buffer. Returns 0 when they were taken, 1
       when they do not fit: then nothing is taken and the player shows "Write error : No
       Space" (once per Open). Never write more than CanWrite() said. */
    int (*Write)(char* buf, int len);
    /* Bytes a Write can take now (0 while the sound is reading from the buffer). */
    int (*CanWrite)(void);
    /* 1 while the sound plays, 0 when it is stopped, paused, waiting for data, or done. */
    int (*IsPlaying)(void);
    /* pause 1 pauses, 0 resumes (or restarts sound that has stopped). Returns 1 when the
       sound was paused before the call, else 0. */
    int (*Pause)(int pause);
    /* 0..255; values outside are clamped. Sets the volume of the player's whole output. */
    void (*SetVolume)(int volume);
    /* -128 (left) .. 128 (right). */
    void (*SetPan)(int pan);
    /* A seek: empties the buffer; t is the time (ms) of the next byte the plug-in writes.
       Sound starts again by itself once 0.4 s are buffered. */
    void (*Flush)(int t);
    /* Time of the sound being heard now, ms from the start of the file. */
    int (*GetOutputTime)(void);
    /* Time up to which the plug-in has written, ms from the start of the file. */
    int (*GetWrittenTime)(void);
};

/* The input module: the plug-in's. "plug-in" below says what the plug-in fills before it
   returns the record; "player" what the player writes into it. Functions marked
   "called" are called by the player on its UI thread; they must all be filled (non-NULL)
   unless marked "may be NULL". Callbacks marked "player" may be called by the plug-in
   from any of its threads; none of them blocks. */
typedef struct WinampInModule WinampInModule;
struct WinampInModule {
    int version;                  /* plug-in: WINAMP_IN_VERSION */
    const char* description;      /* plug-in: name and version shown in the dialog */
    WinampMainWindow* hMainWindow; /* player, before Init: where WINAMP_MSG_EOF goes */
    void* hDllInstance;           /* player, before Init: the dlopen handle of this library */
    /* plug-in: extension lists, upper or lower case, each list followed by a NUL and a
       description followed by a NUL, e.g. "FLAC;FLA\0FLAC audio\0OPUS\0Opus audio\0".
       The player looks only at the first list. A file belongs to the plug-in when the first
       (up to three) letters of its extension occur anywhere in that list and GetFileInfo
       reports a length above 0. Extensions of 1 to 3 letters only: the player never asks
       plug-ins about longer ones, so list "FLA" for ".fla" files. */
    const char* FileExtensions;
    int is_seekable;              /* plug-in: 1 when SetOutputTime works */
    int UsesOutputPlug;           /* plug-in: 1; the player does not look at it */
    void (*Config)(WinampParentWindow parent); /* called: the dialog's "Configure" button */
    void (*About)(WinampParentWindow parent);  /* called: the dialog's "About" button */
    void (*Init)(void);           /* called once, right after loading */
    void (*Quit)(void);           /* called once, before the library is closed */
    /* called: file is a path, or NULL for the file that is playing now. Write the title
       (at most WINAMP_TITLE_SIZE bytes with the NUL; an empty string lets the player use the
       file name) and the length in ms (0 or less: "not my file"). Either pointer may be
       NULL. Must not keep the file open. */
    void (*GetFileInfo)(const char* file, char* title, int* length_in_ms);
    int (*InfoBox)(const char* file, WinampParentWindow parent); /* not called; may be NULL */
    int (*IsOurFile)(const char* file);    /* not called; may be NULL */
    /* called: start playing file (see section 3). 0 = playing, anything else = refused. */
    int (*Play)(const char* file);
    void (*Pause)(void);          /* called */
    void (*UnPause)(void);        /* called */
    int (*IsPaused)(void);        /* not called; may be NULL */
    void (*Stop)(void);           /* called: also after the end of the file */
    int (*GetLength)(void);       /* not called; may be NULL */
    int (*GetOutputTime)(void);   /* called: position heard now, ms (outMod->GetOutputTime()) */
    void (*SetOutputTime)(int time_in_ms); /* called: seek (only when is_seekable) */
    void (*SetVolume)(int volume);         /* called: 0..255 (outMod->SetVolume(volume)) */
    void (*SetPan)(int pan);               /* not called; may be NULL */

    /* player, after Init: visualization and DSP hooks. The player keeps no visualization
       plug-ins: the SA and VSA functions do nothing, the Get*Mode functions return 0,
       dsp_isactive returns 0 and dsp_dosamples returns numsamples untouched. A plug-in may
       call them or not. */
    void (*SAVSAInit)(int maxlatency_in_ms, int srate);
    void (*SAVSADeInit)(void);
    void (*SAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*SAGetMode)(void);
    int (*SAAdd)(void* data, int timestamp, int csa);
    void (*VSAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*VSAGetMode)(int* specNch, int* waveNch);
    int (*VSAAdd)(void* data, int timestamp);
    void (*VSASetInfo)(int srate, int nch);
    int (*dsp_isactive)(void);
    int (*dsp_dosamples)(short* samples, int numsamples, int bps, int nch, int srate);
    void (*EQSet)(int on, char data[10], int preamp); /* not called; may be NULL */
    /* player, after Init: tell the player the stream's bit rate (kbit/s), sample rate (kHz
       or Hz, shown as given) and channel count; -1 leaves a value as it was. The player
       shows them; the fourth argument is ignored. */
    void (*SetInfo)(int bitrate, int srate, int stereo, int synched);
    WinampOutModule* outMod;      /* player, before Init: the output module */
};

/* The one function a plug-in exports. */
typedef WinampInModule* (*WinampGetInModule2Func)(void);
WINAMP_EXPORT WinampInModule* winampGetInModule2(void);

#ifdef __cplusplus
}
#endif

#endif /* AUBADINE_WINAMP_IN_H */
