/* in_tone: a deterministic input plug-in for tests and an example of the plug-in interface.
 *
 * It plays a sine tone described by a small text file with the extension ".ton":
 *
 *     frequency=440      Hz (default 440)
 *     length=2000        ms (default 1000)
 *     rate=44100         Hz (default 44100)
 *     channels=2         1 or 2 (default 2)
 *     title=A tone       (default: empty, the player then shows the file name)
 *     misbehave=...      "overwrite": writes without asking CanWrite first (more than fits);
 *                        "noend": never posts the end of its file
 *
 * Lines that are empty or start with '#' are skipped; a file without "frequency=" is not a
 * tone file (length 0). Pause, seek and stop work; the length is reported.
 *
 * The environment variable IN_TONE_MISBEHAVE makes the whole plug-in misbehave at load:
 * "null" (winampGetInModule2 returns NULL), "version" (a record of another version) or
 * "crashinit" (Init aborts the process).
 */
#include "winamp_in.h"

#include <math.h>
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct {
    double frequency;
    int length_ms, rate, channels;
    int overwrite, noend;
    char title[WINAMP_TITLE_SIZE];
} Tone;

static WinampInModule mod;
static Tone playing;
static char playingFile[4096];
static pthread_t worker;
static int workerRunning;
static atomic_int stopping;
static atomic_int seekTo = -1;  /* ms, or -1 */

static void sleep_ms(int ms)
{
    struct timespec t = {ms / 1000, (long)(ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

/* 1 when file is a tone file; fills *t. */
static int read_tone(const char* file, Tone* t)
{
    FILE* f = file ? fopen(file, "r") : NULL;
    char line[512];
    int hasFrequency = 0;
    memset(t, 0, sizeof *t);
    t->frequency = 440;
    t->length_ms = 1000;
    t->rate = 44100;
    t->channels = 2;
    if (!f)
        return 0;
    while (fgets(line, sizeof line, f)) {
        char* eq = strchr(line, '=');
        char* end = line + strcspn(line, "\r\n");
        *end = 0;
        if (line[0] == '#' || !eq)
            continue;
        *eq = 0;
        const char* v = eq + 1;
        if (!strcmp(line, "frequency")) {
            t->frequency = atof(v);
            hasFrequency = 1;
        } else if (!strcmp(line, "length")) {
            t->length_ms = atoi(v);
        } else if (!strcmp(line, "rate")) {
            t->rate = atoi(v);
        } else if (!strcmp(line, "channels")) {
            t->channels = atoi(v);
        } else if (!strcmp(line, "title")) {
            snprintf(t->title, sizeof t->title, "%s", v);
        } else if (!strcmp(line, "misbehave")) {
            t->overwrite = strstr(v, "overwrite") != NULL;
            t->noend = strstr(v, "noend") != NULL;
        }
    }
    fclose(f);
    if (t->rate < 1000 || t->rate > 384000 || t->channels < 1 || t->channels > 2 || t->length_ms <= 0)
        return 0;
    return hasFrequency;
}

/* The decoding thread: sine blocks of 441 frames (10 ms at 44100 Hz). */
static void* decode(void* arg)
{
    enum { kFrames = 441 };
    short block[kFrames * 2];
    const long long total = (long long)playing.length_ms * playing.rate / 1000;
    long long frame = 0;
    int ended = 0;
    (void)arg;
    while (!atomic_load(&stopping)) {
        int seek = atomic_exchange(&seekTo, -1);
        if (seek >= 0) {
            frame = (long long)seek * playing.rate / 1000;
            if (frame > total)
                frame = total;
            mod.outMod->Flush(seek);
            ended = 0;
        }
        if (frame >= total) {
            if (!ended && !playing.noend)
                mod.hMainWindow->PostMessage(mod.hMainWindow, WINAMP_MSG_EOF, 0, 0);
            ended = 1;
            sleep_ms(10);
            continue;
        }
        int n = (int)(total - frame < kFrames ? total - frame : kFrames);
        int bytes = n * playing.channels * 2;
        if (!playing.overwrite && mod.outMod->CanWrite() < bytes) {
            sleep_ms(5);
            continue;
        }
        for (int i = 0; i < n; ++i) {
            double phase = 2.0 * M_PI * playing.frequency * (double)(frame + i) / playing.rate;
            short s = (short)lrint(sin(phase) * 9830.0); /* 0.3 of full scale */
            for (int c = 0; c < playing.channels; ++c)
                block[i * playing.channels + c] = s;
        }
        mod.dsp_dosamples(block, n, 16, playing.channels, playing.rate);
        mod.outMod->Write((char*)block, bytes);
        frame += n;
    }
    return NULL;
}

static void config(WinampParentWindow parent)
{
    (void)parent;
    mod.hMainWindow->MessageBox(mod.hMainWindow, "The tone plug-in has nothing to configure: its .ton files say it all.",
                                "in_tone");
}

static void about(WinampParentWindow parent)
{
    (void)parent;
    mod.hMainWindow->MessageBox(mod.hMainWindow, "Tone generator 1.0: sine tones from .ton files.", "About in_tone");
}

static void init(void)
{
    const char* m = getenv("IN_TONE_MISBEHAVE");
    if (m && !strcmp(m, "crashinit"))
        abort();
}

static void quit(void) {}

static void get_file_info(const char* file, char* title, int* length_in_ms)
{
    Tone t;
    int ok = read_tone(file ? file : playingFile, &t);
    if (title)
        snprintf(title, WINAMP_TITLE_SIZE, "%s", ok ? t.title : "");
    if (length_in_ms)
        *length_in_ms = ok ? t.length_ms : 0;
}

static void stop(void);

static int play(const char* file)
{
    if (workerRunning)
        stop();
    if (!read_tone(file, &playing))
        return 1;
    snprintf(playingFile, sizeof playingFile, "%s", file);
    if (mod.outMod->Open(playing.rate, playing.channels, 16, -1, -1) < 0)
        return 1;
    mod.SetInfo(playing.rate * playing.channels * 16 / 1000, playing.rate / 1000, playing.channels, 1);
    atomic_store(&stopping, 0);
    atomic_store(&seekTo, -1);
    if (pthread_create(&worker, NULL, decode, NULL) != 0) {
        mod.outMod->Close();
        return 1;
    }
    workerRunning = 1;
    return 0;
}

static void pause_(void) { mod.outMod->Pause(1); }
static void unpause(void) { mod.outMod->Pause(0); }

static void stop(void)
{
    if (!workerRunning)
        return;
    atomic_store(&stopping, 1);
    pthread_join(worker, NULL);
    workerRunning = 0;
    mod.outMod->Close();
}

static int get_output_time(void) { return mod.outMod->GetOutputTime(); }
static void set_output_time(int ms) { atomic_store(&seekTo, ms < 0 ? 0 : ms); }
static void set_volume(int v) { mod.outMod->SetVolume(v); }

static WinampInModule mod = {
    .version = WINAMP_IN_VERSION,
    .description = "Tone generator 1.0",
    .FileExtensions = "TON\0Tone files (*.ton)\0",
    .is_seekable = 1,
    .UsesOutputPlug = 1,
    .Config = config,
    .About = about,
    .Init = init,
    .Quit = quit,
    .GetFileInfo = get_file_info,
    .Play = play,
    .Pause = pause_,
    .UnPause = unpause,
    .Stop = stop,
    .GetOutputTime = get_output_time,
    .SetOutputTime = set_output_time,
    .SetVolume = set_volume,
};

WINAMP_EXPORT WinampInModule* winampGetInModule2(void)
{
    const char* m = getenv("IN_TONE_MISBEHAVE");
    if (m && !strcmp(m, "null"))
        return NULL;
    mod.version = (m && !strcmp(m, "version")) ? WINAMP_IN_VERSION + 1 : WINAMP_IN_VERSION;
    return &mod;
}
