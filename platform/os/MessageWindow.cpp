#include "MessageWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace {

const QEvent::Type kPostedMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class PostedMessage : public QEvent {
public:
    PostedMessage(uint32_t m, WPARAM w, LPARAM l) : QEvent(kPostedMessageEvent), msg(m), wParam(w), lParam(l) {}
    uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
};

class Receiver : public QObject {
public:
    explicit Receiver(TMessageWindow::WindowProc p) : proc(std::move(p)) {}
    bool event(QEvent* e) override
    {
        if (e->type() != kPostedMessageEvent)
            return QObject::event(e);
        auto* m = static_cast<PostedMessage*>(e);
        if (proc)
            proc(m->msg, m->wParam, m->lParam);
        return true;
    }
    TMessageWindow::WindowProc proc;
};

// Live windows by handle. Posting looks the handle up under the lock, so a window that is
// being destroyed on the UI thread is either still registered (and Qt drops the pending
// events with the receiver) or already gone (and the post fails).
std::mutex registryMutex;
std::unordered_map<HWND, Receiver*> registry;
std::atomic<HWND> nextHandle{1};
// Rounds of nested message handling now running on this thread (the UI thread is the one
// that asks).
thread_local int nestedRounds = 0;

}  // namespace

struct TMessageWindow::Impl {
    Receiver receiver;
    explicit Impl(WindowProc p) : receiver(std::move(p)) {}
};

TMessageWindow::TMessageWindow(WindowProc proc) : impl_(std::make_unique<Impl>(std::move(proc)))
{
    handle_ = nextHandle.fetch_add(1);
    std::lock_guard lock(registryMutex);
    registry[handle_] = &impl_->receiver;
}

TMessageWindow::~TMessageWindow()
{
    {
        std::lock_guard lock(registryMutex);
        registry.erase(handle_);
    }
    QCoreApplication::removePostedEvents(&impl_->receiver, kPostedMessageEvent);
}

void TMessageWindow::Send(uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    if (impl_->receiver.proc)
        impl_->receiver.proc(msg, wParam, lParam);
}

bool PostMessage(HWND window, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(registryMutex);
    auto it = registry.find(window);
    if (it == registry.end())
        return false;
    QCoreApplication::postEvent(it->second, new PostedMessage(msg, wParam, lParam));
    return true;
}

bool SendMessage(HWND window, uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    Receiver* receiver = nullptr;
    {
        std::lock_guard lock(registryMutex);
        auto it = registry.find(window);
        if (it == registry.end())
            return false;
        receiver = it->second;
    }
    // UI thread only: the window cannot be destroyed while its own thread is in here.
    if (receiver->proc)
        receiver->proc(msg, wParam, lParam);
    return true;
}

uint32_t RegisterWindowMessage(const char* name)
{
    static std::mutex namesMutex;
    static std::map<std::string, uint32_t> names;
    if (!name || !*name)
        return 0;
    std::lock_guard lock(namesMutex);
    auto [it, added] = names.emplace(name, 0);
    if (added)
        it->second = 0xC000u + static_cast<uint32_t>(names.size() - 1);
    return it->second;
}

void ProcessMessages()
{
    TNestedMessageLoop round;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QCoreApplication::sendPostedEvents();
}

TNestedMessageLoop::TNestedMessageLoop()
{
    ++nestedRounds;
}

TNestedMessageLoop::~TNestedMessageLoop()
{
    --nestedRounds;
}

bool InNestedMessageLoop()
{
    // Our own rounds, and event loops that others run inside the application's (a dialog's).
    return nestedRounds > 0 || QThread::currentThread()->loopLevel() > 1;
}
