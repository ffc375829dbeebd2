// TVisHostServer: the player's end of the visualization host protocol (VisProtocol.h,
// docs/vis-protocol.md). It listens on the per-user socket, greets each host with the name
// of the shared block, turns each host's commands into the message "WM_SendingData" to the
// engine's window (wParam the command, lParam the address of a copy of the record, as the
// engine's window procedure expects), and carries the player's notifications back.
//
// A host is known by a connection number (never 0, never reused in a run); the link
// command hands the engine that number as the host thread, so notifications for that
// "thread" go to that connection. A host that closes its connection, dies, or sends a
// malformed frame is dropped (after an error frame, when it still listens); if it was the
// linked host the engine gets cmdUnlink, as if it had unlinked itself.
//
// Threads: created, served and destroyed on the UI thread, from its event loop, never
// blocking it. Post may be called from any thread.
#pragma once

#include "MessageWindow.h"
#include "VisProtocol.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TFdWatch;

class TVisHostServer {
public:
    // Window and Message: where the commands go. BlockName: the shared block's system name,
    // told to each host in the welcome frame. Path: the socket (visproto::SocketPath()).
    TVisHostServer(HWND Window, uint32_t Message, std::string BlockName, std::string Path);
    ~TVisHostServer();
    TVisHostServer(const TVisHostServer&) = delete;
    TVisHostServer& operator=(const TVisHostServer&) = delete;

    bool Listening() const { return FListen >= 0; }
    const std::string& Path() const { return FPath; }

    // Sends notification Code with Value to connection Connection without waiting; false
    // when the connection is gone or its queue is full (the notification is then lost, as
    // a thread message to a vanished thread is).
    bool Post(uint32_t Connection, uint32_t Code, uint32_t Value);

    // Number of open host connections (for tests and the benchmark).
    size_t ConnectionCount() const;

private:
    struct Connection;
    void Accept();
    void Serve(uint32_t Id);
    void Drop(uint32_t Id, visproto::TVisError Error);
    bool Send(int Fd, uint32_t Code, uint32_t Value, const void* Record, uint32_t Size);
    void Deliver(uint32_t Id, const visproto::TVisFrame& Frame);

    HWND FWindow;
    uint32_t FMessage;
    std::string FBlockName;
    std::string FPath;
    int FListen = -1;
    std::unique_ptr<TFdWatch> FListenWatch;
    mutable std::mutex FMutex;  // guards FConnections' descriptors against Post
    std::map<uint32_t, std::unique_ptr<Connection>> FConnections;
    std::vector<std::unique_ptr<TFdWatch>> FRetired;  // watches of dropped hosts, freed later
    uint32_t FNextId = 1;
    uint32_t FLinked = 0;       // the connection that linked last, 0 = none
};
