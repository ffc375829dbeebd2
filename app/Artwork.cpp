#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

// The picture is a dawn (an aubade is a song at daybreak): a sky turning from night to
// morning, a sun rising behind hills, its light drawn as the bars of a spectrum. The
// bottom band stays calm and light, so the about window's maroon address and its button
// read well on it.
constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr qreal kHorizon = 124;    // where the sun rises
constexpr qreal kFooterTop = 156;  // the light band under the scene

const QColor kNight(18, 22, 58);
const QColor kDusk(86, 52, 118);
const QColor kRose(214, 104, 118);
const QColor kAmber(252, 184, 112);
const QColor kCream(250, 244, 234);

// A small fixed pseudo-random sequence, so the picture is the same on every run.
class Sequence {
public:
    explicit Sequence(uint32_t seed) : state_(seed) {}
    qreal Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<qreal>(state_ >> 8) / static_cast<qreal>(1u << 24);
    }

private:
    uint32_t state_;
};

QLinearGradient SkyGradient(const QRectF& r, qreal horizonY)
{
    QLinearGradient sky(r.topLeft(), QPointF(r.left(), horizonY));
    sky.setColorAt(0.0, kNight);
    sky.setColorAt(0.45, kDusk);
    sky.setColorAt(0.78, kRose);
    sky.setColorAt(1.0, kAmber);
    return sky;
}

// Hills as a smooth ridge: a sum of two slow waves above baseY, filled down to bottomY.
QPainterPath Ridge(qreal left, qreal width, qreal baseY, qreal bottomY, qreal amplitude, qreal phase)
{
    QPainterPath path;
    path.moveTo(left, bottomY);
    for (int i = 0; i <= 60; ++i) {
        qreal t = i / 60.0;
        qreal y = baseY - amplitude * (0.6 * std::sin(t * 2.1 * M_PI + phase) + 0.4 * std::sin(t * 5.3 * M_PI + 2 * phase));
        path.lineTo(left + t * width, y);
    }
    path.lineTo(left + width, bottomY);
    path.closeSubpath();
    return path;
}

void PaintSun(QPainter& p, QPointF centre, qreal radius)
{
    QRadialGradient halo(centre, radius * 3.2);
    halo.setColorAt(0.0, QColor(255, 236, 190, 200));
    halo.setColorAt(0.35, QColor(255, 200, 140, 90));
    halo.setColorAt(1.0, QColor(255, 170, 120, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(centre, radius * 3.2, radius * 3.2);

    QRadialGradient disc(centre, radius);
    disc.setColorAt(0.0, QColor(255, 252, 236));
    disc.setColorAt(0.75, QColor(255, 226, 160));
    disc.setColorAt(1.0, QColor(255, 196, 120));
    p.setBrush(disc);
    p.drawEllipse(centre, radius, radius);
}

// The sun's light as spectrum bars standing on the horizon, tallest at the sun.
void PaintSpectrum(QPainter& p, qreal centreX, qreal horizonY, qreal span, qreal maxHeight, int bars)
{
    Sequence seq(7);
    qreal pitch = span / bars;
    for (int i = 0; i < bars; ++i) {
        qreal x = centreX - span / 2 + (i + 0.5) * pitch;
        qreal d = (x - centreX) / (span / 2);
        qreal envelope = std::exp(-3.2 * d * d);
        qreal h = maxHeight * envelope * (0.55 + 0.45 * seq.Next());
        QLinearGradient bar(QPointF(x, horizonY - h), QPointF(x, horizonY));
        bar.setColorAt(0.0, QColor(255, 250, 235, 0));
        bar.setColorAt(0.5, QColor(255, 244, 220, 110));
        bar.setColorAt(1.0, QColor(255, 240, 210, 190));
        p.setPen(Qt::NoPen);
        p.setBrush(bar);
        p.drawRoundedRect(QRectF(x - pitch * 0.3, horizonY - h, pitch * 0.6, h), pitch * 0.3, pitch * 0.3);
    }
}

void PaintStars(QPainter& p, const QRectF& r, qreal lowestY, int count)
{
    Sequence seq(2026);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < count; ++i) {
        qreal x = r.left() + seq.Next() * r.width();
        qreal y = r.top() + seq.Next() * (lowestY - r.top());
        qreal fade = 1.0 - (y - r.top()) / (lowestY - r.top());  // fainter towards the dawn
        qreal size = 0.5 + seq.Next() * 0.9;
        p.setBrush(QColor(255, 250, 240, static_cast<int>(40 + 190 * fade * fade)));
        p.drawEllipse(QPointF(x, y), size, size);
    }
}

void PaintScene(QPainter& p, const QRectF& r, qreal horizonY, qreal bottomY, bool detailed)
{
    p.fillRect(QRectF(r.left(), r.top(), r.width(), bottomY - r.top()), SkyGradient(r, horizonY));
    if (detailed)
        PaintStars(p, r, horizonY - 50, 38);
    qreal scale = r.width() / kWidth;
    qreal sunRadius = 30 * scale;
    PaintSun(p, QPointF(r.center().x(), horizonY + 4 * scale), sunRadius);
    PaintSpectrum(p, r.center().x(), horizonY + 2 * scale, r.width() * 0.78, 58 * scale, detailed ? 27 : 7);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(128, 62, 104));
    p.drawPath(Ridge(r.left(), r.width(), horizonY + 6 * scale, bottomY, 5 * scale, 0.4));
    QLinearGradient near(QPointF(r.left(), horizonY), QPointF(r.left(), bottomY));
    near.setColorAt(0.0, QColor(62, 34, 78));
    near.setColorAt(1.0, QColor(34, 20, 48));
    p.setBrush(near);
    p.drawPath(Ridge(r.left(), r.width(), horizonY + 18 * scale, bottomY, 7 * scale, 2.2));
}

void PaintTitle(QPainter& p)
{
    QFont title(QStringLiteral("DejaVu Serif"));
    title.setPixelSize(38);
    title.setItalic(true);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    p.setFont(title);
    QRectF titleBox(0, 14, kWidth, 46);
    p.setPen(QColor(10, 8, 30, 120));
    p.drawText(titleBox.translated(1.2, 1.6), Qt::AlignCenter, QStringLiteral("Aubadine"));
    p.setPen(QColor(255, 242, 226));
    p.drawText(titleBox, Qt::AlignCenter, QStringLiteral("Aubadine"));

    QFont tagline(QStringLiteral("DejaVu Sans"));
    tagline.setPixelSize(9);
    tagline.setCapitalization(QFont::AllUppercase);
    tagline.setLetterSpacing(QFont::AbsoluteSpacing, 2.4);
    p.setFont(tagline);
    p.setPen(QColor(255, 226, 210, 225));
    p.drawText(QRectF(0, 60, kWidth, 14), Qt::AlignCenter, QStringLiteral("music at first light"));
}

void PaintFooter(QPainter& p)
{
    QRectF band(0, kFooterTop, kWidth, kHeight - kFooterTop);
    QLinearGradient cream(band.topLeft(), band.bottomLeft());
    cream.setColorAt(0.0, kCream);
    cream.setColorAt(1.0, QColor(236, 226, 212));
    p.fillRect(band, cream);
    p.setPen(QPen(QColor(214, 150, 120), 1.0));
    p.drawLine(QPointF(0, kFooterTop + 0.5), QPointF(kWidth, kFooterTop + 0.5));

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(9);
    p.setFont(small);
    p.setPen(QColor(120, 96, 88));
    p.drawText(QRectF(8, 178, 200, 14), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("© Velkor  ·  Aubadine 1.0"));
}

}  // namespace

QPixmap ProductPicture()
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    PaintScene(p, QRectF(0, 0, kWidth, kHeight), kHorizon, kFooterTop, true);
    PaintTitle(p);
    PaintFooter(p);
    // A fine edge keeps the borderless window apart from any desktop behind it.
    p.setPen(QPen(QColor(40, 28, 56), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1));
    p.end();
    return QPixmap::fromImage(image);
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QRectF r(0, 0, size, size);
        qreal radius = size * 0.22;
        QPainterPath tile;
        tile.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
        p.setClipPath(tile);
        // The picture's dawn, reduced: sky, rising sun, light bars, the near hill.
        qreal horizon = size * 0.70;
        p.fillRect(r, SkyGradient(r, horizon));
        PaintSun(p, QPointF(size / 2.0, horizon + size * 0.04), size * 0.20);
        PaintSpectrum(p, size / 2.0, horizon, size * 0.80, size * 0.42, size >= 32 ? 9 : 5);
        QLinearGradient hill(QPointF(0, horizon), QPointF(0, size));
        hill.setColorAt(0.0, QColor(62, 34, 78));
        hill.setColorAt(1.0, QColor(34, 20, 48));
        p.setPen(Qt::NoPen);
        p.setBrush(hill);
        p.drawPath(Ridge(0, size, horizon + size * 0.08, size, size * 0.03, 2.2));
        p.setClipping(false);
        p.setPen(QPen(QColor(30, 20, 48, 200), std::max(1.0, size / 32.0)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(tile);
        p.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}
