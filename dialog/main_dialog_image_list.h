// ImageList1 of the main dialog: the ordered, keyed swatch pictures of the chart field list.
// Position 0 always holds the picture keyed "dummy"; the swatch of chart row r (0-based)
// stands at position r + 1.
#pragma once

#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>

#include <vector>

namespace kartoplot::dialog {

class ImageList {
public:
    static inline const QString kDummyKey = QStringLiteral("dummy");

    // Swatch size of the chart field list, in pixels.
    static constexpr int kSwatchWidth = 40;
    static constexpr int kSwatchHeight = 20;

    // An image list of pictures of `size` holding only the "dummy" picture.
    explicit ImageList(QSize size = QSize(kSwatchWidth, kSwatchHeight));

    QSize imageSize() const noexcept { return size_; }
    int count() const noexcept { return static_cast<int>(entries_.size()); }

    // Key and picture at 0-based position; an empty key / null image outside the list.
    QString key(int position) const;
    QImage image(int position) const;
    // Position of the first picture with that key, or −1.
    int indexOfKey(const QString& key) const;
    // The picture of that key as an icon; a null icon for an unknown key.
    QIcon icon(const QString& key) const;

    // Appends / inserts the picture under the key (position clamped to 1..count: the dummy
    // stays first). Pictures of another size are scaled to the list's size.
    void add(const QString& key, const QImage& image);
    void insert(int position, const QString& key, const QImage& image);
    // Removes the picture at position; the dummy (position 0) and positions outside the list
    // are left alone. True when a picture was removed.
    bool remove(int position);
    // Removes the first picture with that key (never the dummy); true when one was removed.
    bool removeKey(const QString& key);
    // Exchanges two pictures with their keys (positions ≥ 1); false outside the list.
    bool swap(int a, int b);
    // The image cleanup: every picture except "dummy" goes.
    void removeAllExceptDummy();

private:
    struct Entry {
        QString key;
        QImage image;
    };
    QImage fitted(const QImage& image) const;

    QSize size_;
    std::vector<Entry> entries_;
};

}  // namespace kartoplot::dialog
