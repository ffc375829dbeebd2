#include "Timer.h"

#include <QTimer>

struct TTimer::Impl {
    QTimer timer;
};

TTimer::TTimer() : impl_(std::make_unique<Impl>())
{
    impl_->timer.setInterval(1000);
    QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
        if (OnTimer)
            OnTimer();
    });
}

TTimer::~TTimer() = default;

void TTimer::SetInterval(int ms)
{
    impl_->timer.setInterval(ms);
}

int TTimer::Interval() const
{
    return impl_->timer.interval();
}

void TTimer::SetEnabled(bool on)
{
    if (on)
        impl_->timer.start();
    else
        impl_->timer.stop();
}

bool TTimer::Enabled() const
{
    return impl_->timer.isActive();
}
