#include "TestHost.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace testhost {

namespace {

uint32_t Get32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

}  // namespace

std::string SocketPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return std::string(runtime) + "/aubadine/vis.sock";
    return "/tmp/aubadine-" + std::to_string(::getuid()) + "/vis.sock";
}

std::vector<uint8_t> Host::Words(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> v;
    for (uint32_t w : words)
        Put32(v, w);
    return v;
}

Host::~Host()
{
    Close();
    if (block_)
        ::munmap(block_, 2600);
}

bool Host::Connect(const std::string& path)
{
    Close();
    fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof(a.sun_path) - 1);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        Close();
        return false;
    }
    return true;
}

void Host::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool Host::SendRaw(const std::vector<uint8_t>& bytes)
{
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

bool Host::Send(uint32_t code, uint32_t value, const std::vector<uint8_t>& record)
{
    std::vector<uint8_t> f;
    Put32(f, code);
    Put32(f, value);
    Put32(f, static_cast<uint32_t>(record.size()));
    f.insert(f.end(), record.begin(), record.end());
    return SendRaw(f);
}

bool Host::Receive(Frame& f, int timeout_ms, bool* eof)
{
    if (eof)
        *eof = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (pump)
            pump();
        uint8_t buf[512];
        ssize_t n = ::recv(fd_, buf, sizeof(buf), MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            if (eof)
                *eof = true;
            return false;
        }
        if (n >= 12) {
            f.code = Get32(buf);
            f.value = Get32(buf + 4);
            const uint32_t size = Get32(buf + 8);
            f.record.assign(buf + 12, buf + 12 + std::min<size_t>(size, static_cast<size_t>(n) - 12));
            return true;
        }
        if (std::chrono::steady_clock::now() >= end)
            return false;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, pump ? 2 : 20);
    }
}

bool Host::WaitFor(uint32_t code, Frame& f, int timeout_ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (!Receive(f, static_cast<int>(left.count())))
            return false;
        if (f.code == code)
            return true;
        skipped.push_back(f);
    }
    return false;
}

bool Host::WaitForHangUp(int timeout_ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        Frame f;
        bool eof = false;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (Receive(f, static_cast<int>(left.count()), &eof))
            skipped.push_back(f);
        else if (eof)
            return true;
    }
    return false;
}

bool Host::Hello(uint32_t version, std::string* name, uint32_t* spoken)
{
    Frame f;
    if (!Send(0x48, 0, Words({version})) || !WaitFor(0x57, f, 2000))
        return false;
    if (name)
        name->assign(f.record.begin(), f.record.end());
    if (spoken)
        *spoken = f.value;
    return true;
}

bool Host::OpenBlock(const std::string& name)
{
    int fd = ::shm_open(name.c_str(), O_RDWR, 0);
    if (fd < 0)
        return false;
    void* p = ::mmap(nullptr, 2600, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (p == MAP_FAILED)
        return false;
    block_ = static_cast<uint8_t*>(p);
    return true;
}

uint32_t Host::U32(size_t offset) const
{
    uint32_t v;
    std::memcpy(&v, block_ + offset, 4);
    return v;
}

void Host::SetU32(size_t offset, uint32_t v)
{
    std::memcpy(block_ + offset, &v, 4);
}

std::string Host::Title() const
{
    const char* t = reinterpret_cast<const char*>(block_ + 20);
    return std::string(t, strnlen(t, 256));
}

}  // namespace testhost
