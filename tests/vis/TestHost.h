// A visualization host written from docs/vis-protocol.md alone (it includes nothing of
// the player): it connects to the socket, speaks the frames, maps the block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testhost {

struct Frame {
    uint32_t code = 0;
    uint32_t value = 0;
    std::vector<uint8_t> record;
};

std::string SocketPath();

class Host {
public:
    ~Host();
    // Called while waiting, so that a player in the same process can serve us.
    std::function<void()> pump;

    bool Connect(const std::string& path);
    void Close();
    int fd() const { return fd_; }

    // One frame: header (code, value, size = record length) and the record.
    bool Send(uint32_t code, uint32_t value, const std::vector<uint8_t>& record = {});
    bool SendRaw(const std::vector<uint8_t>& bytes);
    // The next frame within timeout_ms; false on time-out. eof is set when the player hung up.
    bool Receive(Frame& f, int timeout_ms, bool* eof = nullptr);
    // Waits for a frame with this code, skipping others (they are kept in skipped).
    bool WaitFor(uint32_t code, Frame& f, int timeout_ms);
    // True when the player closes the connection within timeout_ms (frames before are skipped).
    bool WaitForHangUp(int timeout_ms);

    bool Hello(uint32_t version, std::string* name = nullptr, uint32_t* spoken = nullptr);
    bool Link(uint32_t hostValue = 7) { return Send(0x3C, 0, Words({0, hostValue})); }
    bool Request(uint32_t period, uint32_t spectrum, uint32_t wave)
    {
        return Send(0x37, 0, Words({0, period, spectrum, wave}));
    }
    bool Unlink() { return Send(0x46, 0); }

    bool OpenBlock(const std::string& name);
    uint32_t U32(size_t offset) const;
    void SetU32(size_t offset, uint32_t v);
    const uint8_t* Block() const { return block_; }
    std::string Title() const;

    std::vector<Frame> skipped;
    static std::vector<uint8_t> Words(std::initializer_list<uint32_t> words);

private:
    int fd_ = -1;
    uint8_t* block_ = nullptr;
};

}  // namespace testhost
