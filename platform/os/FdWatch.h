// Watching a file descriptor from the UI thread's event loop (the counterpart of a window
// that receives socket notifications): OnReadable runs on the UI thread whenever the
// descriptor can be read without blocking. The watch neither owns nor closes the
// descriptor; destroy the watch before closing it.
#pragma once

#include <functional>
#include <memory>

class TFdWatch {
public:
    // Must be created and destroyed on the UI thread.
    explicit TFdWatch(int fd);
    ~TFdWatch();
    TFdWatch(const TFdWatch&) = delete;
    TFdWatch& operator=(const TFdWatch&) = delete;

    // A disabled watch calls nothing. A watch must not be destroyed from inside its own
    // OnReadable: disable it there and destroy it later.
    void SetEnabled(bool on);

    std::function<void()> OnReadable;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
