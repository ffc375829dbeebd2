#include "FdWatch.h"

#include <QSocketNotifier>

struct TFdWatch::Impl {
    explicit Impl(int fd) : notifier(fd, QSocketNotifier::Read) {}
    QSocketNotifier notifier;
};

TFdWatch::TFdWatch(int fd) : impl_(std::make_unique<Impl>(fd))
{
    QObject::connect(&impl_->notifier, &QSocketNotifier::activated, [this] {
        if (OnReadable)
            OnReadable();
    });
}

TFdWatch::~TFdWatch() = default;

void TFdWatch::SetEnabled(bool on)
{
    impl_->notifier.setEnabled(on);
}
