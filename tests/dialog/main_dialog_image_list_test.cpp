// ImageList1: keyed pictures with the "dummy" picture always first.
#include <gtest/gtest.h>

#include "dialog/main_dialog_image_list.h"

namespace kartoplot::dialog {
namespace {

QImage filled(QColor colour, QSize size = QSize(40, 20)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

std::vector<QString> keys(const ImageList& list) {
    std::vector<QString> out;
    for (int i = 0; i < list.count(); ++i) {
        out.push_back(list.key(i));
    }
    return out;
}

TEST(ImageListTest, DummyStaysFirstWhateverHappens) {
    ImageList list;
    EXPECT_EQ(list.imageSize(), QSize(40, 20));
    EXPECT_EQ(keys(list), std::vector<QString>{"dummy"});
    list.add("key3", filled(Qt::red));
    list.add("key5", filled(Qt::green));
    list.insert(0, "key1", filled(Qt::blue));  // clamped behind the dummy
    EXPECT_EQ(keys(list), (std::vector<QString>{"dummy", "key1", "key3", "key5"}));
    EXPECT_FALSE(list.remove(0));
    EXPECT_FALSE(list.removeKey("dummy"));
    EXPECT_FALSE(list.swap(0, 1));
    EXPECT_FALSE(list.remove(4));
    EXPECT_TRUE(list.swap(1, 3));
    EXPECT_EQ(keys(list), (std::vector<QString>{"dummy", "key5", "key3", "key1"}));
    EXPECT_EQ(list.image(1).pixelColor(0, 0), QColor(Qt::green));
    EXPECT_TRUE(list.removeKey("key3"));
    EXPECT_FALSE(list.removeKey("key3"));
    EXPECT_EQ(list.indexOfKey("key1"), 2);
    EXPECT_EQ(list.indexOfKey("key9"), -1);
    EXPECT_TRUE(list.icon("key9").isNull());
    EXPECT_FALSE(list.icon("key1").isNull());
    list.removeAllExceptDummy();
    EXPECT_EQ(keys(list), std::vector<QString>{"dummy"});
    list.removeAllExceptDummy();  // only the dummy: unchanged
    EXPECT_EQ(list.count(), 1);
    EXPECT_TRUE(list.image(5).isNull());
    EXPECT_TRUE(list.key(-1).isEmpty());
}

TEST(ImageListTest, PicturesTakeTheListsSize) {
    ImageList list;
    list.add("big", filled(Qt::red, QSize(80, 40)));
    EXPECT_EQ(list.image(1).size(), QSize(40, 20));
    EXPECT_EQ(list.image(1).pixelColor(20, 10), QColor(Qt::red));
}

}  // namespace
}  // namespace kartoplot::dialog
