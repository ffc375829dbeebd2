#include "VisProtocol.h"

#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace visproto {

uint32_t ReadU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void WriteU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

TVisError ParseCommand(const uint8_t* Packet, size_t Length, TVisFrame& Frame)
{
    if (Length < kHeaderSize)
        return errShort;
    if (Length > kMaxFrameSize)
        return errOversized;
    TVisFrame f;
    f.Code = ReadU32(Packet);
    f.Value = ReadU32(Packet + 4);
    f.Size = ReadU32(Packet + 8);
    if (f.Size != Length - kHeaderSize)
        return errRecordSize;
    f.Record = f.Size ? Packet + kHeaderSize : nullptr;
    switch (f.Code) {
    case cmdHello:
        if (f.Size != 4)
            return errRecordSize;
        break;
    case cmdLink:
        if (f.Size != 0 && f.Size != 8)
            return errRecordSize;
        break;
    case cmdRequest:
        if (f.Size != 0 && f.Size != 16)
            return errRecordSize;
        break;
    case cmdUnlink:
        if (f.Size != 0)
            return errRecordSize;
        break;
    default:
        return errUnknownCommand;
    }
    Frame = f;
    return errNone;
}

size_t EncodeFrame(uint32_t Code, uint32_t Value, const void* Record, uint32_t Size, uint8_t* Out)
{
    WriteU32(Out, Code);
    WriteU32(Out + 4, Value);
    WriteU32(Out + 8, Size);
    if (Size)
        std::memcpy(Out + kHeaderSize, Record, Size);
    return kHeaderSize + Size;
}

std::string SocketFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/aubadine";
    return "/tmp/aubadine-" + std::to_string(::geteuid());
}

std::string SocketPath()
{
    return SocketFolder() + "/vis.sock";
}

}  // namespace visproto
