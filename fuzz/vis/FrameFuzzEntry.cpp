#include "FrameFuzzEntry.h"

#include "VisProtocol.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

void FuzzVisFrame(const uint8_t* data, size_t size)
{
    // As the server receives it: at most kMaxFrameSize + 1 bytes held, the whole length told.
    std::vector<uint8_t> held(data, data + std::min(size, visproto::kMaxFrameSize + 1));
    visproto::TVisFrame frame;
    if (visproto::ParseCommand(held.data(), size, frame) == visproto::errNone) {
        if (frame.Size > visproto::kMaxRecordSize || (frame.Size && !frame.Record))
            std::abort();
        // The record must lie inside what was received.
        if (frame.Record && (frame.Record < held.data() || frame.Record + frame.Size > held.data() + held.size()))
            std::abort();
        uint8_t out[visproto::kMaxFrameSize];
        visproto::EncodeFrame(frame.Code, frame.Value, frame.Record, frame.Size, out);
    }
}
