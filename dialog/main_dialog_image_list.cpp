#include "dialog/main_dialog_image_list.h"

#include <QPixmap>

#include <algorithm>
#include <utility>

#include "preview/draw_symbol.h"

namespace kartoplot::dialog {

ImageList::ImageList(QSize size) : size_(size) {
    QImage dummy(size_, QImage::Format_ARGB32);
    dummy.fill(preview::previewBackground());
    entries_.push_back({kDummyKey, dummy});
}

QString ImageList::key(int position) const {
    if (position < 0 || position >= count()) {
        return {};
    }
    return entries_[static_cast<std::size_t>(position)].key;
}

QImage ImageList::image(int position) const {
    if (position < 0 || position >= count()) {
        return {};
    }
    return entries_[static_cast<std::size_t>(position)].image;
}

int ImageList::indexOfKey(const QString& key) const {
    for (int i = 0; i < count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)].key == key) {
            return i;
        }
    }
    return -1;
}

QIcon ImageList::icon(const QString& key) const {
    const int i = indexOfKey(key);
    if (i < 0) {
        return {};
    }
    return QIcon(QPixmap::fromImage(entries_[static_cast<std::size_t>(i)].image));
}

QImage ImageList::fitted(const QImage& image) const {
    if (image.isNull() || image.size() == size_) {
        return image;
    }
    return image.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void ImageList::add(const QString& key, const QImage& image) {
    entries_.push_back({key, fitted(image)});
}

void ImageList::insert(int position, const QString& key, const QImage& image) {
    position = std::clamp(position, 1, count());
    entries_.insert(entries_.begin() + position, Entry{key, fitted(image)});
}

bool ImageList::remove(int position) {
    if (position < 1 || position >= count()) {
        return false;
    }
    entries_.erase(entries_.begin() + position);
    return true;
}

bool ImageList::removeKey(const QString& key) {
    for (int i = 1; i < count(); ++i) {
        if (entries_[static_cast<std::size_t>(i)].key == key) {
            return remove(i);
        }
    }
    return false;
}

bool ImageList::swap(int a, int b) {
    if (a < 1 || b < 1 || a >= count() || b >= count()) {
        return false;
    }
    std::swap(entries_[static_cast<std::size_t>(a)], entries_[static_cast<std::size_t>(b)]);
    return true;
}

void ImageList::removeAllExceptDummy() {
    std::erase_if(entries_, [](const Entry& e) { return e.key != kDummyKey; });
}

}  // namespace kartoplot::dialog
