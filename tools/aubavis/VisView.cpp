#include "VisView.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

// The dawn of the player's picture: night above, dusk, rose, amber at the horizon, cream light.
const QColor kNight(18, 22, 58);
const QColor kDusk(86, 52, 118);
const QColor kRose(214, 104, 118);
const QColor kAmber(252, 184, 112);
const QColor kCream(250, 244, 234);

const char* ModeName(uint32_t mode)
{
    switch (mode) {
    case 0: return "standby";
    case 1: return "ready";
    case 2: return "stopped";
    case 3: return "playing";
    case 4: return "paused";
    default: return "?";
    }
}

QString Clock(uint32_t ms)
{
    const uint32_t s = ms / 1000;
    return QString("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

}  // namespace

VisView::VisView(VisClient& client, QWidget* parent) : QWidget(parent), client_(client)
{
    setWindowTitle("aubavis — waiting for Lirren…");
    resize(760, 420);
    setMinimumSize(420, 260);
    // Bars on a logarithmic frequency scale over bins 1..576 (about 21 Hz to 12.4 kHz at
    // 44100 Hz); the lowest bars take one bin each.
    firstBin_.resize(kBars + 1);
    int last = 0;
    for (int b = 0; b <= kBars; ++b) {
        int bin = static_cast<int>(std::lround(std::pow(576.0, static_cast<double>(b) / kBars))) - 1;
        bin = std::clamp(std::max(bin, b == 0 ? 0 : last + 1), 0, 576);
        firstBin_[static_cast<size_t>(b)] = last = bin;
    }
    firstBin_[kBars] = 576;
    connect(&client_, &VisClient::Changed, this, &VisView::OnChanged);
    animation_.setInterval(33);
    connect(&animation_, &QTimer::timeout, this, &VisView::Decay);
    animation_.start();
}

void VisView::OnChanged()
{
    const VisSnapshot& s = client_.Snapshot();
    const QString caption = "aubavis — " + (s.connected ? s.title : QString("waiting for Lirren…"));
    if (windowTitle() != caption)
        setWindowTitle(caption);
    for (size_t set = 0; set < 2; ++set) {
        for (size_t b = 0; b < kBars; ++b) {
            int v = 0;
            for (int k = firstBin_[b]; k < std::max(firstBin_[b + 1], firstBin_[b] + 1) && k < 576; ++k)
                v = std::max<int>(v, s.spectrum[set][static_cast<size_t>(k)]);
            const double level = s.connected ? std::sqrt(v / 255.0) : 0.0;  // quiet bins stay visible
            level_[set][b] = std::max(level, level_[set][b]);
            if (level >= peak_[set][b]) {
                peak_[set][b] = level;
                hold_[set][b] = 12;
            }
        }
    }
    update();
}

void VisView::Decay()
{
    for (size_t set = 0; set < 2; ++set)
        for (size_t b = 0; b < kBars; ++b) {
            level_[set][b] = std::max(0.0, level_[set][b] - 0.06);
            if (hold_[set][b] > 0)
                --hold_[set][b];
            else
                peak_[set][b] = std::max(level_[set][b], peak_[set][b] - 0.015);
        }
    update();
}

void VisView::paintEvent(QPaintEvent*)
{
    const VisSnapshot& s = client_.Snapshot();
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = rect();

    // The sky.
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0.0, kNight);
    sky.setColorAt(0.55, kDusk);
    sky.setColorAt(0.78, kRose.darker(150));
    sky.setColorAt(1.0, kNight);
    p.fillRect(r, sky);

    const double margin = 18;
    const double headH = 64;
    const double scopeH = std::max(50.0, r.height() * 0.2);
    const QRectF field(margin, headH + 6, r.width() - 2 * margin, r.height() - headH - scopeH - 30);
    const QRectF scope(margin, field.bottom() + 10, r.width() - 2 * margin, scopeH);
    const double horizon = field.top() + field.height() * 0.68;

    // The sun behind the bars.
    QRadialGradient sun(QPointF(r.center().x(), horizon), field.height() * 0.55);
    sun.setColorAt(0.0, QColor(255, 226, 170, s.connected ? 150 : 70));
    sun.setColorAt(0.4, QColor(252, 184, 112, s.connected ? 60 : 25));
    sun.setColorAt(1.0, QColor(252, 184, 112, 0));
    p.fillRect(field, sun);

    // Title and format.
    QFont big = font();
    big.setPointSizeF(15);
    big.setBold(true);
    QFont small = font();
    small.setPointSizeF(9.5);
    p.setFont(big);
    p.setPen(kCream);
    QString title = s.connected ? (s.title.isEmpty() ? QString("(untitled)") : s.title) : QString("waiting for Lirren…");
    p.drawText(QRectF(margin, 8, r.width() - 2 * margin, 28), Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(title, Qt::ElideRight, static_cast<int>(r.width() - 2 * margin)));
    p.setFont(small);
    p.setPen(kAmber);
    QString line;
    if (s.connected) {
        line = QString("%1   ·   %2 Hz   ·   %3 kbit/s   ·   %4 ch   ·   %5 / %6")
                   .arg(ModeName(s.mode))
                   .arg(s.sampleRate)
                   .arg(s.bitRate)
                   .arg(s.channels)
                   .arg(Clock(s.position_ms), Clock(s.duration_ms));
    } else {
        line = "start the player: this window links to it by itself";
    }
    p.drawText(QRectF(margin, 36, r.width() - 2 * margin, 22), Qt::AlignLeft | Qt::AlignVCenter, line);

    // The spectrum: set 1 rising from the horizon, set 2 as its reflection below.
    const double slot = field.width() / kBars;
    const double barW = std::max(1.0, slot * 0.72);
    const double upH = horizon - field.top();
    const double downH = field.bottom() - horizon;
    QLinearGradient rise(0, horizon, 0, field.top());
    rise.setColorAt(0.0, kRose);
    rise.setColorAt(0.55, kAmber);
    rise.setColorAt(1.0, kCream);
    QLinearGradient fall(0, horizon, 0, field.bottom());
    fall.setColorAt(0.0, QColor(214, 104, 118, 170));
    fall.setColorAt(1.0, QColor(86, 52, 118, 40));
    for (int b = 0; b < kBars; ++b) {
        const double x = field.left() + b * slot + (slot - barW) / 2;
        const double up = level_[0][static_cast<size_t>(b)] * upH;
        const double down = level_[1][static_cast<size_t>(b)] * downH;
        p.fillRect(QRectF(x, horizon - up, barW, up), rise);
        p.fillRect(QRectF(x, horizon + 1, barW, down), fall);
        if (peak_[0][static_cast<size_t>(b)] > 0.02)
            p.fillRect(QRectF(x, horizon - peak_[0][static_cast<size_t>(b)] * upH - 3, barW, 2), kCream);
        if (peak_[1][static_cast<size_t>(b)] > 0.02)
            p.fillRect(QRectF(x, horizon + 1 + peak_[1][static_cast<size_t>(b)] * downH + 1, barW, 1.5),
                       QColor(250, 244, 234, 120));
    }
    p.setPen(QPen(QColor(255, 236, 200, 140), 1));
    p.drawLine(QPointF(field.left(), horizon + 0.5), QPointF(field.right(), horizon + 0.5));

    // The scope: both channels over 576 samples.
    p.fillRect(scope, QColor(10, 12, 34, 150));
    p.setPen(QPen(QColor(86, 52, 118, 200), 1));
    p.drawLine(QPointF(scope.left(), scope.center().y()), QPointF(scope.right(), scope.center().y()));
    const QColor traces[2] = {kAmber, QColor(214, 104, 118, 200)};
    for (int c = s.dataChannels >= 2 ? 1 : 0; c >= 0; --c) {
        QPainterPath path;
        for (int i = 0; i < 576; ++i) {
            const double x = scope.left() + scope.width() * i / 575.0;
            const double y = scope.center().y() - s.wave[static_cast<size_t>(c)][static_cast<size_t>(i)] / 128.0 * scope.height() / 2;
            if (i == 0)
                path.moveTo(x, y);
            else
                path.lineTo(x, y);
        }
        p.setPen(QPen(traces[c], 1.4));
        p.drawPath(path);
    }
}
