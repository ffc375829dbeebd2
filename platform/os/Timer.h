// A UI-thread timer (the toolkit timer): calls OnTimer every Interval ms while Enabled.
#pragma once

#include <functional>
#include <memory>

class TTimer {
public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    void SetInterval(int ms);
    int Interval() const;
    void SetEnabled(bool on);
    bool Enabled() const;
    std::function<void()> OnTimer;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
