// The visualization host protocol on the wire: frames exchanged over the player's
// per-user local socket (docs/vis-protocol.md is the manual; this header is its code).
//
// The socket is a Unix SOCK_SEQPACKET socket: every packet is one frame, never split or
// merged. A frame is a 12-byte header of three little-endian unsigned 32-bit numbers,
// Code, Value and Size, followed by exactly Size bytes of record. Host to player: the
// commands below with their records; player to host: the notifications, whose Value is
// the length the notification names (the bytes of the block that changed).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace visproto {

inline constexpr uint32_t kVersion = 1;
inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kMaxRecordSize = 256;
inline constexpr size_t kMaxFrameSize = kHeaderSize + kMaxRecordSize;
// More command frames than this within one second end the connection.
inline constexpr int kMaxFramesPerSecond = 100;

// Commands (host to player).
inline constexpr uint32_t cmdHello = 0x48;    // 'H': record u32 version the host speaks
inline constexpr uint32_t cmdRequest = 0x37;  // '7': TVisRequest (16 bytes), or none
inline constexpr uint32_t cmdLink = 0x3C;     // '<': TVisLink (8 bytes), or none
inline constexpr uint32_t cmdUnlink = 0x46;   // 'F': no record

// Notifications (player to host).
inline constexpr uint32_t ntfData = 10;
inline constexpr uint32_t ntfClosing = 20;
inline constexpr uint32_t ntfMode = 81;
inline constexpr uint32_t ntfStreamInfo = 82;
inline constexpr uint32_t ntfSyncVis = 83;
inline constexpr uint32_t ntfWelcome = 0x57;  // 'W': Value version, record the block's name
inline constexpr uint32_t ntfError = 0x45;    // 'E': Value one of TVisError; the player then hangs up

enum TVisError : uint32_t {
    errNone = 0,
    errNoHello = 1,       // the first frame was not cmdHello
    errVersion = 2,       // cmdHello asked for version 0
    errShort = 3,         // fewer than 12 bytes
    errOversized = 4,     // more than 268 bytes
    errUnknownCommand = 5,
    errRecordSize = 6,    // Size disagrees with the bytes sent or with the command's record
    errFlood = 7,         // more than kMaxFramesPerSecond frames in a second
};

struct TVisFrame {
    uint32_t Code = 0;
    uint32_t Value = 0;
    uint32_t Size = 0;
    const uint8_t* Record = nullptr;  // Size bytes inside the parsed packet
};

// Checks one received packet of Length bytes as a host command. Length may exceed the
// bytes actually held (a truncated receive); only the first min(Length, kMaxFrameSize)
// are read. errNone fills Frame.
TVisError ParseCommand(const uint8_t* Packet, size_t Length, TVisFrame& Frame);

// Writes a frame into Out (at least kHeaderSize + Size bytes); returns its length.
size_t EncodeFrame(uint32_t Code, uint32_t Value, const void* Record, uint32_t Size, uint8_t* Out);

uint32_t ReadU32(const uint8_t* p);
void WriteU32(uint8_t* p, uint32_t v);

// Where the player listens: $XDG_RUNTIME_DIR/aubadine/vis.sock, or
// /tmp/aubadine-<uid>/vis.sock when XDG_RUNTIME_DIR is not set.
std::string SocketFolder();
std::string SocketPath();

}  // namespace visproto
