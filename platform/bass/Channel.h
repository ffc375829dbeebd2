// One playing thing (stream or module) of the device: its source, the processing chain
// decode -> DSP callbacks -> effects -> volume and pan -> resampling to the device rate, its
// state, syncs, and the record of which of its frames went into which device frames, so
// that positions, levels and data describe what is being heard.
//
// Locking: two recursive locks. mutex_ guards the channel's state and is held only briefly,
// never while a user callback runs. sourceMutex_ is held (by the mixer thread) while the
// source is read (STREAMPROCs) and the DSP callbacks run, and by calls that touch the source
// (seeking, the source's tags, adding and removing DSPs): only those wait for a slow
// callback; everything else on the channel (state, positions, levels, data, attributes,
// syncs, effects) answers at once. Order: sourceMutex_ before mutex_. Sync callbacks run on
// the sync thread, under no lock.
#pragma once

#include "CBoundary.h"
#include "Resampler.h"
#include "Source.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace aubadine::dsp {
class Effect;
class SpectrumAnalyzer;
}

namespace aubadine::bass {

class Mixer;
class SyncThread;

enum class ChannelState { Stopped, Playing, Ending, Paused };

class Channel {
public:
    Channel(DWORD handle, std::unique_ptr<Source> source, DWORD flags, ChannelKind kind,
            std::shared_ptr<Mixer> mixer);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    DWORD handle() const { return handle_; }
    ChannelKind kind() const { return kind_; }
    // A decoding channel (BASS_STREAM_DECODE) is never mixed: BASS_ChannelGetData pulls its
    // sound, in its own format, on the caller's thread.
    bool decoding() const { return decoding_; }
    std::recursive_mutex& mutex() { return sourceMutex_; }  // the lock for source()
    Source& source() { return *source_; }  // under mutex()

    BASS_CHANNELINFO info();
    uint32_t bytesPerFrame() const { return bytesPerFrame_; }
    uint32_t rate();  // the playback rate (frequency attribute)

    void play(bool restart);  // throws Failure
    void stop();
    void pause();              // throws Failure(BASS_ERROR_NOPLAY) when not playing
    DWORD activity();          // BASS_ACTIVE_xxx

    std::optional<QWORD> lengthBytes();
    QWORD position();                 // heard position, bytes
    void setPosition(QWORD position);  // bytes, or the module forms; throws Failure
    void setFlags(DWORD flags);

    void setAttributes(int freq, int volume, int pan);  // -1 (pan -101) leaves one unchanged
    void attributes(DWORD* freq, DWORD* volume, int* pan);

    DWORD level();                          // throws Failure(BASS_ERROR_NOPLAY)
    DWORD data(void* buffer, DWORD length);  // BASS_ChannelGetData; throws Failure

    HSYNC addSync(DWORD type, QWORD param, SYNCPROC* proc, void* user);
    bool removeSync(HSYNC sync);
    // Runs the syncs of `type` (BASS_SYNC_META, BASS_SYNC_DOWNLOAD, ...) on the sync thread.
    void fireSyncs(DWORD type, uintptr_t data);

    HDSP addDsp(DSPPROC* proc, void* user, int priority);
    bool removeDsp(HDSP dsp);

    HFX addEffect(DWORD type, DWORD priority);  // throws Failure(BASS_ERROR_ILLTYPE)
    bool removeEffect(HFX fx);
    bool setEffectParameters(HFX fx, const void* params);  // false: out of range
    bool effectParameters(HFX fx, void* params);

    // After this, the channel neither plays nor calls anything (its queued syncs are dropped
    // and a running one waited for, unless called from inside it). Not under mutex().
    void markFreed();

    // Decode thread: while the channel plays, decodes and processes its sound until
    // `aheadFrames` device frames are queued; false when the channel neither plays nor waits
    // for its end to be heard.
    bool fill(size_t aheadFrames);
    // Device frames queued; SIZE_MAX when the channel needs none (not playing, its source
    // ended or stalled).
    size_t queued();
    // Decode thread, after filling: the channel plays and its source gave less than asked
    // (a stalled stream, a user stream without data): worth asking again soon.
    bool wantsMore(size_t aheadFrames);
    // Output thread: adds this channel's next `frames` queued device frames (stereo floats)
    // to mix, as device frames `at`.. ; false when the channel neither plays nor waits for
    // its end to be heard (the mixer may then rest).
    bool mix(float* mix, size_t frames, uint64_t at);
    // The device has been heard up to `heard`: end syncs whose last frame is heard fire.
    void noticeHeard(uint64_t heard, SyncThread& syncs);

private:
    struct Mark {  // device frames [device, device + frames) carried channel frames from src
        uint64_t device;
        size_t frames;
        double src;   // source frame
        double proc;  // processed-frame count (index into the history)
        double step;  // channel frames per device frame
    };
    struct Sync {
        HSYNC handle;
        DWORD type;
        QWORD param;
        SYNCPROC* proc;
        void* user;
    };
    struct Dsp {
        HDSP handle;
        DSPPROC* proc;
        void* user;
        int priority;
    };
    struct Fx {
        HFX handle;
        DWORD type;
        DWORD priority;
        std::unique_ptr<dsp::Effect> effect;
    };
    struct Heard {
        double src;
        double proc;
    };
    struct Due {  // a sync to call once device frame `device` has been heard
        uint64_t device;
        HSYNC sync;
    };
    enum class SyncTime { Any, Heard, Mixed };  // which syncs: any, those without or with MIXTIME

    void seekTo(uint64_t frame);
    // Under mutex_: posts the calls of the syncs of `kind` chosen by `when` (one-time syncs
    // are taken off the channel).
    void postSyncs(DWORD kind, SyncTime when, uintptr_t data = 0);
    void postSync(const Sync& s, uintptr_t data);
    // Under mutex_: the event of sync s has been mixed at device frame `device`. MIXTIME
    // syncs (and every sync of a decoding channel) are posted now, the others once that
    // frame is heard. True when s was posted and is one-time, so the caller takes it off.
    bool reached(const Sync& s, uint64_t device);
    // Under mutex_: the position syncs whose position lies in source frames [src, src + frames)
    // (in device frames from `device`, `step` source frames each): MIXTIME ones are posted
    // now, the others are due when their frame is heard. For decoding channels (device
    // unused), all are posted now.
    void notePositions(double src, double frames, uint64_t device, double step);
    // Mixer thread, under mutex_: device frames [at, at + frames) carry the fifo's next
    // frames; records them as marks, split where the source looped.
    void recordMarks(uint64_t at, size_t frames, double step);
    // Decoding channels: the next `frames` frames through the DSP callbacks and effects into
    // out (the channel's own format); returns the frames given, fewer only at the end.
    size_t decode(void* out, size_t frames);
    // Reads up to `frames` 16-bit frames into pcm and runs them through the DSP callbacks
    // and effects in place.
    size_t decodeChunk(int16_t* pcm, size_t frames);
    // The DSP callbacks and effects on `frames` decoded frames, in place; false when the
    // channel was freed by a callback.
    bool process16(int16_t* pcm, size_t frames);
    DWORD decodedLevel();
    DWORD decodedData(void* buffer, DWORD length);
    void produce(size_t deviceFrames);
    void process(size_t frames);
    void configureResampler();
    Heard heardAt(uint64_t deviceFrame) const;
    uint64_t heardDeviceFrame() const;
    // Copies the `frames` processed frames that end at `end` from the history, front-padded
    // with silence where the history does not reach back that far; returns the frames copied.
    size_t historyBefore(uint64_t end, size_t frames, float* out) const;
    size_t historyAvailable(uint64_t end) const;

    const DWORD handle_;
    const ChannelKind kind_;
    const bool decoding_;
    std::recursive_mutex sourceMutex_;
    std::recursive_mutex mutex_;
    std::unique_ptr<Source> source_;
    std::weak_ptr<Mixer> mixer_;
    std::weak_ptr<SyncThread> syncThread_;  // the device's, for posting syncs
    const uint32_t deviceRate_;
    SourceFormat format_;
    std::optional<uint64_t> lengthFrames_;  // the source's, as of its last read or seek
    uint32_t bytesPerFrame_;
    DWORD flags_;

    ChannelState state_ = ChannelState::Stopped;
    std::atomic<bool> freed_{false};
    bool sourceEnded_ = false;
    bool stalled_ = false;
    uint64_t endDeviceFrame_ = 0;

    uint32_t playRate_;
    float volume_ = 1.0f;  // 0..1 (attribute 0..100)
    float pan_ = 0.0f;     // -1..1 (attribute -100..100)

    std::vector<int16_t> pcm_;
    std::vector<float> floats_;
    Resampler resampler_;
    std::vector<float> fifo_;  // stereo frames at the device rate, from fifoHead_
    size_t fifoHead_ = 0;      // in frames
    double fifoSrc_ = 0;       // source frame of the fifo's first frame
    double fifoProc_ = 0;
    uint64_t processed_ = 0;   // frames that have gone through process()
    uint64_t decodedFrames_ = 0;  // decoding channels: source frame of the next frame given
    bool endSynced_ = false;      // decoding channels: the end syncs of this end have run

    std::vector<float> history_;  // ring of processed frames (format_.channels each)
    size_t historyFrames_;

    std::deque<Mark> marks_;
    Heard base_{0, 0};  // what is heard before the first mark
    std::deque<double> loops_;  // processed-frame counts where a looping source started again
    std::vector<Due> dues_;     // by device frame
    std::optional<double> notedUpTo_;  // source frame up to which position syncs were looked for

    std::vector<Sync> syncs_;
    std::vector<Dsp> dsps_;
    std::vector<Dsp> dspScratch_;
    std::vector<Fx> effects_;
    std::unique_ptr<dsp::SpectrumAnalyzer> spectrum_;
    std::vector<float> window_;
};

}  // namespace aubadine::bass
