// Whole-picture pixel counts for tests that judge a drawing by its colours.
#pragma once

#include <QImage>
#include <QRect>

#include <algorithm>
#include <cstdlib>
#include <functional>

namespace kartoplot::testing {

// The largest difference of the red, green and blue channels of two colours.
inline int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// How many pixels of the image are `wanted`.
inline int countPixels(const QImage& image, const std::function<bool(QRgb)>& wanted) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += wanted(image.pixel(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// How many pixels two images of one size differ in by more than `tolerance` in some channel.
inline int countDiffering(const QImage& a, const QImage& b, int tolerance) {
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            count += channelDistance(a.pixel(x, y), b.pixel(x, y)) > tolerance ? 1 : 0;
        }
    }
    return count;
}

// The smallest rectangle holding every `wanted` pixel; a null rectangle when there is none.
inline QRect boundsOf(const QImage& image, const std::function<bool(QRgb)>& wanted) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (wanted(image.pixel(x, y))) {
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    return bounds;
}

}  // namespace kartoplot::testing
