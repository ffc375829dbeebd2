#include "Artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

// A stylised sunrise (an aubade is a dawn song) over a sound wave.
void PaintSunrise(QPainter& p, const QRectF& r, bool withText)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(r.topLeft(), r.bottomLeft());
    sky.setColorAt(0.0, QColor(28, 22, 68));
    sky.setColorAt(0.55, QColor(160, 64, 110));
    sky.setColorAt(1.0, QColor(250, 160, 90));
    p.fillRect(r, sky);

    QPointF sunCentre(r.center().x(), r.top() + r.height() * 0.74);
    qreal sunRadius = r.height() * 0.30;
    QRadialGradient sun(sunCentre, sunRadius);
    sun.setColorAt(0.0, QColor(255, 244, 200));
    sun.setColorAt(0.7, QColor(255, 200, 110));
    sun.setColorAt(1.0, QColor(255, 170, 90, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(sunCentre, sunRadius, sunRadius);

    // The wave across the horizon.
    QPainterPath wave;
    qreal baseY = r.top() + r.height() * 0.78;
    wave.moveTo(r.left(), baseY);
    for (int x = 0; x <= 100; ++x) {
        qreal t = x / 100.0;
        qreal envelope = std::sin(t * M_PI);
        qreal y = baseY - envelope * r.height() * 0.10 * std::sin(t * 6 * 2 * M_PI);
        wave.lineTo(r.left() + t * r.width(), y);
    }
    p.setPen(QPen(QColor(255, 255, 255, 220), std::max<qreal>(1.0, r.height() / 80.0)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);

    if (withText) {
        QFont title(QStringLiteral("DejaVu Serif"));
        title.setPixelSize(static_cast<int>(r.height() * 0.2));
        title.setItalic(true);
        p.setFont(title);
        p.setPen(QColor(255, 240, 220));
        p.drawText(QRectF(r.left(), r.top() + r.height() * 0.10, r.width(), r.height() * 0.25), Qt::AlignCenter,
                   QStringLiteral("Aubadine"));
        QFont small(QStringLiteral("DejaVu Sans"));
        small.setPixelSize(static_cast<int>(r.height() * 0.06));
        p.setFont(small);
        p.setPen(QColor(255, 225, 200, 220));
        p.drawText(QRectF(r.left(), r.top() + r.height() * 0.34, r.width(), r.height() * 0.1), Qt::AlignCenter,
                   QStringLiteral("music at first light  ·  Velkor"));
    }
}

}  // namespace

QPixmap ProductPicture()
{
    QPixmap pm(300, 200);
    QPainter p(&pm);
    PaintSunrise(p, QRectF(0, 0, 300, 200), true);
    return pm;
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(0, 0, size, size), size * 0.2, size * 0.2);
        p.setClipPath(clip);
        PaintSunrise(p, QRectF(0, 0, size, size), false);
        icon.addPixmap(pm);
    }
    return icon;
}
