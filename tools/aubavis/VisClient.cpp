#include "VisClient.h"

#include <atomic>
#include <cstring>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr uint32_t kHello = 0x48, kLink = 0x3C, kRequest = 0x37, kUnlink = 0x46;
constexpr uint32_t kData = 10, kClosing = 20, kMode = 81, kStreamInfo = 82, kWelcome = 0x57, kError = 0x45;
constexpr size_t kBlockSize = 2600;

uint32_t Le32(const uint8_t* p)
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

VisClient::VisClient(QString socketPath, uint32_t period_ms, QObject* parent)
    : QObject(parent), path_(std::move(socketPath)), period_(period_ms)
{
    retry_.setInterval(1000);
    connect(&retry_, &QTimer::timeout, this, &VisClient::TryConnect);
    retry_.start();
    QTimer::singleShot(0, this, &VisClient::TryConnect);
}

VisClient::~VisClient()
{
    if (fd_ >= 0)
        SendFrame(kUnlink, nullptr, 0);
    Disconnect();
}

void VisClient::SendFrame(uint32_t code, const uint32_t* words, uint32_t count)
{
    uint8_t frame[12 + 16] = {};
    const uint32_t header[3] = {code, 0, count * 4};
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 4; ++b)
            frame[i * 4 + b] = static_cast<uint8_t>(header[i] >> (8 * b));
    for (uint32_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b)
            frame[12 + i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    ::send(fd_, frame, 12 + count * 4, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void VisClient::TryConnect()
{
    if (fd_ >= 0)
        return;
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const QByteArray p = path_.toLocal8Bit();
    if (fd < 0 || p.size() >= static_cast<int>(sizeof(a.sun_path))) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    std::memcpy(a.sun_path, p.constData(), static_cast<size_t>(p.size()));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        ::close(fd);
        return;  // no player yet: the retry timer comes back
    }
    fd_ = fd;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &VisClient::OnReadable);
    const uint32_t version = 1;
    SendFrame(kHello, &version, 1);
}

void VisClient::Disconnect()
{
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (block_)
        ::munmap(block_, kBlockSize);
    block_ = nullptr;
    const bool was = snap_.connected;
    snap_ = VisSnapshot{};
    if (was)
        emit Changed();
}

void VisClient::ReadTrack()
{
    if (!block_)
        return;
    snap_.mode = Le32(block_);
    snap_.sampleRate = Le32(block_ + 4);
    snap_.bitRate = Le32(block_ + 8);
    snap_.channels = Le32(block_ + 12);
    snap_.duration_ms = Le32(block_ + 16);
    const char* t = reinterpret_cast<const char*>(block_ + 20);
    snap_.title = QString::fromUtf8(t, static_cast<qsizetype>(strnlen(t, 256)));
}

void VisClient::ReadData()
{
    std::atomic_ref<uint32_t> ready(*reinterpret_cast<uint32_t*>(block_ + 280));
    if (ready.load(std::memory_order_acquire) != 1)
        return;
    snap_.dataChannels = Le32(block_ + 288);
    snap_.position_ms = Le32(block_ + 292);
    const uint8_t* d = block_ + 296;
    for (int s = 0; s < 2; ++s)
        std::memcpy(snap_.spectrum[s].data(), d + 576 * s, 576);
    for (int c = 0; c < 2; ++c)
        std::memcpy(snap_.wave[c].data(), d + 1152 + 576 * c, 576);
    ready.store(0, std::memory_order_release);
    ++snap_.blocks;
}

void VisClient::OnReadable()
{
    for (;;) {
        uint8_t f[512];
        ssize_t n = ::recv(fd_, f, sizeof(f), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) {
            Disconnect();  // the player quit or died: wait for the next one
            return;
        }
        if (n < 12)
            continue;
        const uint32_t code = Le32(f), size = Le32(f + 8);
        switch (code) {
        case kWelcome: {
            const std::string name(reinterpret_cast<const char*>(f + 12), std::min<size_t>(size, static_cast<size_t>(n) - 12));
            int shm = ::shm_open(name.c_str(), O_RDWR, 0);
            if (shm < 0) {
                Disconnect();
                return;
            }
            void* p = ::mmap(nullptr, kBlockSize, PROT_READ | PROT_WRITE, MAP_SHARED, shm, 0);
            ::close(shm);
            if (p == MAP_FAILED) {
                Disconnect();
                return;
            }
            block_ = static_cast<uint8_t*>(p);
            const uint32_t link[2] = {0, 0};
            SendFrame(kLink, link, 2);
            const uint32_t request[4] = {0, period_, 2, 2};
            SendFrame(kRequest, request, 4);
            snap_.connected = true;
            ReadTrack();
            emit Changed();
            break;
        }
        case kMode:
        case kStreamInfo:
            ReadTrack();
            emit Changed();
            break;
        case kData:
            if (block_) {
                ReadData();
                emit Changed();
            }
            break;
        case kClosing:
        case kError:
            Disconnect();
            return;
        default:
            break;  // codes of later versions
        }
    }
}
