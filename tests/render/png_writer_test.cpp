#include "render/png_writer.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace kartoplot::render {
namespace {

// A picture with flat areas, smooth gradients, antialiased edges and (optionally) translucent
// pixels, so that every filter and the band joins are exercised.
QImage picture(int width, int height, bool translucent) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(translucent ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(250, 20, 40, translucent ? 90 : 255));
    gradient.setColorAt(1, QColor(10, 120, 240));
    painter.setBrush(gradient);
    painter.setPen(QPen(Qt::black, 1.3));
    painter.drawEllipse(QRectF(width * 0.1, height * 0.1, width * 0.7, height * 0.85));
    painter.drawLine(QPointF(0, height), QPointF(width, 0));
    return image;
}

// Whatever the number of threads and bands, the file decodes to the very pixels (straight
// alpha) and resolution of the image; a refusing device or an empty image gives false.
TEST(PngWriter, FilesDecodeToTheImage) {
    struct Case {
        const char* name;
        QImage image;
        int threads;
    };
    const Case cases[] = {
        {"opaque, three bands", picture(600, 400, false), 3},
        {"translucent, two bands", picture(600, 400, true), 2},
        {"one thread", picture(600, 400, false), 1},
        {"fewer rows than threads", picture(40, 1, true), 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image = c.image;
        image.setDotsPerMeterX(4724);
        image.setDotsPerMeterY(3780);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(writePng(image, buffer, c.threads));
        const QImage decoded = QImage::fromData(bytes, "PNG");
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(decoded.dotsPerMeterX(), 4724);
        EXPECT_EQ(decoded.dotsPerMeterY(), 3780);
    }
    QByteArray bytes;
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_FALSE(writePng(picture(8, 8, false), readOnly));
    QBuffer writable(&bytes);
    writable.open(QIODevice::WriteOnly);
    EXPECT_FALSE(writePng(QImage(), writable));
    EXPECT_TRUE(bytes.isEmpty());
}

}  // namespace
}  // namespace kartoplot::render
