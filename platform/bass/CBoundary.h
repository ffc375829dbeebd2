// The C boundary of the audio library: the per-thread error code and the wrapper that every
// exported function runs its body in, so that no C++ exception crosses into the caller.
#pragma once

#include "bass.h"

#include <new>

// Internal C++ entry points of libbass.so that the add-ons (libbasswma.so, libbasscd.so)
// reach by linking against it; everything else stays hidden.
#define AUBADINE_BASS_INTERNAL __attribute__((visibility("default")))

namespace aubadine::bass {

// Thrown inside the library to fail the current call with a BASS_ERROR_xxx code; caught
// by boundary() and turned into the calling thread's error code.
struct Failure {
    int code;
};

[[noreturn]] inline void fail(int code) { throw Failure{code}; }

// The calling thread's error code (BASS_ErrorGetCode).
AUBADINE_BASS_INTERNAL void setError(int code) noexcept;
AUBADINE_BASS_INTERNAL int lastError() noexcept;

// Runs body() for an exported function: sets BASS_OK first, and on any exception sets the
// matching error code and returns `failed` instead.
template <class R, class F>
R boundary(R failed, F&& body) noexcept {
    try {
        setError(BASS_OK);
        return body();
    } catch (const Failure& f) {
        setError(f.code);
    } catch (const std::bad_alloc&) {
        setError(BASS_ERROR_MEM);
    } catch (...) {
        setError(BASS_ERROR_UNKNOWN);
    }
    return failed;
}

// For the names that the library carries only so that the whole interface binds.
template <class R>
R unavailable(R failed) noexcept {
    setError(BASS_ERROR_NOTAVAIL);
    return failed;
}

}  // namespace aubadine::bass
