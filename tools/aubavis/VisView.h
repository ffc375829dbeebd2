// The window of aubavis: the track's title and format, the spectrum as bars with falling
// peaks (the first set rising from a horizon, the second mirrored below it like a
// reflection), and the waveform as a scope, in the colours of the player's dawn picture.
#pragma once

#include "VisClient.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <vector>

class VisView : public QWidget {
    Q_OBJECT
public:
    explicit VisView(VisClient& client, QWidget* parent = nullptr);

    static constexpr int kBars = 72;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void OnChanged();
    void Decay();

    VisClient& client_;
    QTimer animation_;
    // Per set and bar: the level shown (0..1) and its peak cap with the cap's hold time.
    std::array<std::array<double, kBars>, 2> level_{};
    std::array<std::array<double, kBars>, 2> peak_{};
    std::array<std::array<int, kBars>, 2> hold_{};
    std::vector<int> firstBin_;  // bar b takes bins firstBin_[b] .. firstBin_[b + 1] - 1
};
