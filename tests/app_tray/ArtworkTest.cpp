// The product picture and the application icon, drawn by code. Both are also saved under
// build/tests/artifacts/ so a person can look at them.
#include "Artwork.h"

#include <QDir>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

namespace {

double Luminance(QColor c)
{
    auto channel = [](double v) {
        v /= 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(QColor a, QColor b)
{
    double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString Artifacts()
{
    QString dir = QStringLiteral(AUBADINE_TEST_BIN_DIR "/artifacts");
    QDir().mkpath(dir);
    return dir;
}

}  // namespace

TEST(Artwork, PictureFillsTheWindowAndLeavesTheAddressReadable)
{
    QImage picture = ProductPicture().toImage();
    ASSERT_EQ(picture.size(), QSize(300, 200));
    picture.save(Artifacts() + "/product-picture.png");

    QSet<QRgb> colours;
    for (int y = 0; y < 200; y += 4)
        for (int x = 0; x < 300; x += 4)
            colours.insert(picture.pixel(x, y));
    EXPECT_GT(colours.size(), 200) << "a drawing, not a flat placeholder";

    // The about window's address (maroon, at 8,160, 115 x 13) needs a calm light ground.
    const QColor maroon(128, 0, 0);
    for (int y = 160; y < 173; ++y)
        for (int x = 8; x < 123; ++x)
            ASSERT_GE(Contrast(maroon, picture.pixelColor(x, y)), 4.5) << x << "," << y;
}

TEST(Artwork, IconHasTheTraySizesAndIsOpaqueInside)
{
    QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    QList<QSize> sizes = icon.availableSizes();
    for (int s : {16, 22, 24, 32, 48, 64}) {
        SCOPED_TRACE(s);
        ASSERT_TRUE(sizes.contains(QSize(s, s)));
        QImage image = icon.pixmap(s, s).toImage();
        EXPECT_EQ(qAlpha(image.pixel(s / 2, s / 2)), 255);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "rounded corners";
    }
    icon.pixmap(64, 64).save(Artifacts() + "/application-icon-64.png");
    icon.pixmap(22, 22).save(Artifacts() + "/application-icon-22.png");
}
