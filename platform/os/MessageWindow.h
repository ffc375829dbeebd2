// Hidden message windows: the Linux counterpart of a hidden utility window and PostMessage.
//
// A message window lives on the UI thread. Any thread may post (message, wParam, lParam)
// to it through its handle; the window procedure then runs on the UI thread, in post
// order, from the event loop. Handles are plain numbers, never reused within a process,
// so a post to a window that has been destroyed fails (like PostMessage to a stale
// window) instead of touching freed memory.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

using HWND = uintptr_t;   // message window handle; 0 = none
using WPARAM = uintptr_t;
using LPARAM = intptr_t;

constexpr uint32_t WM_USER = 1024;
constexpr uint32_t WM_QUERYENDSESSION = 17;

class TMessageWindow {
public:
    using WindowProc = std::function<void(uint32_t msg, WPARAM wParam, LPARAM lParam)>;

    // Must be created on the UI thread (the thread that runs the Qt event loop).
    explicit TMessageWindow(WindowProc proc);
    ~TMessageWindow();
    TMessageWindow(const TMessageWindow&) = delete;
    TMessageWindow& operator=(const TMessageWindow&) = delete;

    HWND Handle() const { return handle_; }

    // Calls the window procedure directly, on the calling thread (SendMessage).
    void Send(uint32_t msg, WPARAM wParam, LPARAM lParam);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    HWND handle_ = 0;
};

// Queues a message for the window; thread-safe. False when the window no longer exists.
bool PostMessage(HWND window, uint32_t msg, WPARAM wParam, LPARAM lParam);

// Lets the UI thread's event loop handle whatever is pending ("process messages").
void ProcessMessages();

// Calls the window's procedure at once on the calling thread, which must be the UI thread
// (SendMessage). False when the window no longer exists.
bool SendMessage(HWND window, uint32_t msg, WPARAM wParam, LPARAM lParam);

// The number of a message named by text (RegisterWindowMessage): the same text gives the
// same number for the life of the process, numbers start at 0xC000 so they never meet a
// WM_USER-based message. 0 for an empty name.
uint32_t RegisterWindowMessage(const char* name);

// Nested message handling on the UI thread: a message box waiting for its answer, a wait
// that processes messages, or any event loop run inside the main one. The code below such a
// round on the stack is still running, so nothing it uses may be destroyed until the round
// has returned. True while at least one round runs.
bool InNestedMessageLoop();

// Marks one round of nested message handling for as long as it lives (UI thread only).
class TNestedMessageLoop {
public:
    TNestedMessageLoop();
    ~TNestedMessageLoop();
    TNestedMessageLoop(const TNestedMessageLoop&) = delete;
    TNestedMessageLoop& operator=(const TNestedMessageLoop&) = delete;
};
