#include "VisHostServer.h"

#include "FdWatch.h"
#include "VisDrive.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace visproto;

namespace {

// More hosts than this at once are turned away (each costs a descriptor).
constexpr size_t kMaxConnections = 16;

bool FillAddress(const std::string& Path, sockaddr_un& Address)
{
    std::memset(&Address, 0, sizeof(Address));
    Address.sun_family = AF_UNIX;
    if (Path.size() >= sizeof(Address.sun_path))
        return false;
    std::memcpy(Address.sun_path, Path.c_str(), Path.size() + 1);
    return true;
}

// The socket's folder exists, is a real folder of ours, and only we can enter it.
bool PrepareFolder(const std::string& Folder)
{
    if (::mkdir(Folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 0777) != 0700 && ::chmod(Folder.c_str(), 0700) != 0)
        return false;
    return true;
}

// A socket file at Path that still answers belongs to a running player.
bool SocketAnswers(const sockaddr_un& Address)
{
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool answers = ::connect(fd, reinterpret_cast<const sockaddr*>(&Address), sizeof(Address)) == 0;
    ::close(fd);
    return answers;
}

}  // namespace

struct TVisHostServer::Connection {
    int Fd = -1;
    bool Greeted = false;
    std::chrono::steady_clock::time_point WindowStart{};
    int FramesInWindow = 0;
    std::unique_ptr<TFdWatch> Watch;
};

TVisHostServer::TVisHostServer(HWND Window, uint32_t Message, std::string BlockName, std::string Path)
    : FWindow(Window), FMessage(Message), FBlockName(std::move(BlockName)), FPath(std::move(Path))
{
    sockaddr_un address{};
    const std::string folder = FPath.substr(0, FPath.rfind('/'));
    if (!FillAddress(FPath, address) || folder.empty() || !PrepareFolder(folder))
        return;
    struct stat st {};
    if (::lstat(FPath.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode) || SocketAnswers(address))
            return;  // not a socket, or another player serves it
        ::unlink(FPath.c_str());  // left behind by a player that died
    }
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(FPath.c_str(), 0600) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    FListen = fd;
    FListenWatch = std::make_unique<TFdWatch>(FListen);
    FListenWatch->OnReadable = [this] { Accept(); };
}

TVisHostServer::~TVisHostServer()
{
    std::lock_guard lock(FMutex);
    FRetired.clear();
    for (auto& [id, c] : FConnections) {
        c->Watch.reset();
        Send(c->Fd, ntfClosing, 0, nullptr, 0);
        ::close(c->Fd);
    }
    FConnections.clear();
    if (FListen >= 0) {
        FListenWatch.reset();
        ::close(FListen);
        ::unlink(FPath.c_str());
    }
}

size_t TVisHostServer::ConnectionCount() const
{
    std::lock_guard lock(FMutex);
    return FConnections.size();
}

bool TVisHostServer::Send(int Fd, uint32_t Code, uint32_t Value, const void* Record, uint32_t Size)
{
    uint8_t frame[kMaxFrameSize];
    size_t length = EncodeFrame(Code, Value, Record, Size, frame);
    return ::send(Fd, frame, length, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(length);
}

bool TVisHostServer::Post(uint32_t Connection, uint32_t Code, uint32_t Value)
{
    std::lock_guard lock(FMutex);
    auto it = FConnections.find(Connection);
    if (it == FConnections.end())
        return false;
    return Send(it->second->Fd, Code, Value, nullptr, 0);
}

void TVisHostServer::Accept()
{
    FRetired.clear();
    for (;;) {
        int fd = ::accept4(FListen, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        std::lock_guard lock(FMutex);
        if (FConnections.size() >= kMaxConnections) {
            ::close(fd);
            continue;
        }
        const uint32_t id = FNextId++;
        auto c = std::make_unique<Connection>();
        c->Fd = fd;
        c->WindowStart = std::chrono::steady_clock::now();
        c->Watch = std::make_unique<TFdWatch>(fd);
        c->Watch->OnReadable = [this, id] { Serve(id); };
        FConnections.emplace(id, std::move(c));
    }
}

void TVisHostServer::Serve(uint32_t Id)
{
    FRetired.clear();  // none of them is the watch calling us now
    uint8_t packet[kMaxFrameSize + 1];
    for (;;) {
        int fd;
        {
            std::lock_guard lock(FMutex);
            auto it = FConnections.find(Id);
            if (it == FConnections.end())
                return;
            fd = it->second->Fd;
        }
        // MSG_TRUNC: the packet's whole length even when it does not fit.
        ssize_t n = ::recv(fd, packet, sizeof(packet), MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                return;
            Drop(Id, errNone);
            return;
        }
        if (n == 0) {  // the host hung up
            Drop(Id, errNone);
            return;
        }
        TVisFrame frame;
        TVisError error = ParseCommand(packet, static_cast<size_t>(n), frame);
        bool greeted = false;
        {
            std::lock_guard lock(FMutex);
            Connection& c = *FConnections.at(Id);
            auto now = std::chrono::steady_clock::now();
            if (now - c.WindowStart >= std::chrono::seconds(1)) {
                c.WindowStart = now;
                c.FramesInWindow = 0;
            }
            if (error == errNone && ++c.FramesInWindow > kMaxFramesPerSecond)
                error = errFlood;
            if (error == errNone && !c.Greeted && frame.Code != cmdHello)
                error = errNoHello;
            if (error == errNone && frame.Code == cmdHello && ReadU32(frame.Record) == 0)
                error = errVersion;
            if (error == errNone && frame.Code == cmdHello) {
                c.Greeted = true;
                Send(c.Fd, ntfWelcome, kVersion, FBlockName.data(), static_cast<uint32_t>(FBlockName.size()));
            }
            greeted = c.Greeted;
        }
        if (error != errNone) {
            Drop(Id, error);
            return;
        }
        if (greeted && frame.Code != cmdHello)
            Deliver(Id, frame);
    }
}

void TVisHostServer::Deliver(uint32_t Id, const TVisFrame& Frame)
{
    switch (Frame.Code) {
    case cmdLink:
        if (Frame.Size == 0) {
            SendMessage(FWindow, FMessage, cmdLink, 0);  // no record: ignored by the engine
        } else {
            // The host's own thread number means nothing here: its connection stands in.
            TVisLink link{Id, ReadU32(Frame.Record + 4)};
            FLinked = Id;
            SendMessage(FWindow, FMessage, cmdLink, reinterpret_cast<LPARAM>(&link));
        }
        break;
    case cmdRequest:
        if (Frame.Size == 0) {
            SendMessage(FWindow, FMessage, cmdRequest, 0);
        } else {
            TVisRequest request{ReadU32(Frame.Record), ReadU32(Frame.Record + 4), ReadU32(Frame.Record + 8),
                                ReadU32(Frame.Record + 12)};
            SendMessage(FWindow, FMessage, cmdRequest, reinterpret_cast<LPARAM>(&request));
        }
        break;
    case cmdUnlink:
        // Only the linked host may unlink: a stale host must not cut off the current one.
        if (FLinked == Id) {
            FLinked = 0;
            SendMessage(FWindow, FMessage, cmdUnlink, 0);
        }
        break;
    default:
        break;
    }
}

void TVisHostServer::Drop(uint32_t Id, TVisError Error)
{
    {
        std::lock_guard lock(FMutex);
        auto it = FConnections.find(Id);
        if (it == FConnections.end())
            return;
        if (Error != errNone)
            Send(it->second->Fd, ntfError, Error, nullptr, 0);
        // We may be inside this connection's own watch: retire it instead of freeing it.
        it->second->Watch->SetEnabled(false);
        FRetired.push_back(std::move(it->second->Watch));
        ::close(it->second->Fd);
        FConnections.erase(it);
    }
    if (FLinked == Id) {
        FLinked = 0;
        SendMessage(FWindow, FMessage, cmdUnlink, 0);
    }
}
