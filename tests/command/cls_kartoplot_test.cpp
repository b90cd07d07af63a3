#include "command/cls_kartoplot.h"

#include <gtest/gtest.h>

#include <set>

#include "errors/error_handling.h"
#include "dialog/main_dialog.h"

namespace kartoplot::command {
namespace {

// An application whose document's focus map holds `layers` point layers.
std::shared_ptr<host::Application> applicationWithLayers(int layers) {
    auto app = std::make_shared<host::Application>();
    app->setDocument(std::make_shared<host::MapDocument>());
    for (int i = 0; i < layers; ++i) {
        auto fc = std::make_shared<host::FeatureClass>("Cities", host::GeometryType::Point);
        app->document()->focusMap()->addLayer(std::make_shared<host::FeatureLayer>("Cities", fc));
    }
    return app;
}

class Command : public ::testing::Test {
protected:
    ~Command() override { releaseSharedDialog(); }
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

TEST_F(Command, AnswersTheHostWithItsTextsAndA16ColourBitmap) {
    ClsKartoplot command;
    EXPECT_EQ(command.Name(), "Quillfern_Plotkarta");
    EXPECT_EQ(command.Caption(), "Plotkarta_4(rus)");
    EXPECT_EQ(command.Tooltip(), "Расстановка диаграмм на слое аннотаций");
    EXPECT_EQ(command.Category(), "Quillfern");
    EXPECT_NE(command.Bitmap(), 0);
    EXPECT_EQ(command.Bitmap(), command.Bitmap()) << "one bitmap, loaded once";
    const QImage& bitmap = command.bitmap();
    ASSERT_EQ(bitmap.size(), QSize(32, 32));
    EXPECT_LE(bitmap.colorCount(), 16);
    std::set<QRgb> used;
    for (int i = 0; i < 32 * 32; ++i) {
        used.insert(bitmap.pixel(i % 32, i / 32));
    }
    EXPECT_GE(used.size(), 4u) << "a picture, not a blank";
    EXPECT_TRUE(loadBitmapResource(102).isNull());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(Command, EnabledOnlyWhenTheFocusMapHasALayerAndAClickWithoutADocumentIsReported) {
    ClsKartoplot command;
    EXPECT_FALSE(command.Enabled()) << "no application yet";
    command.OnCreate(applicationWithLayers(0));
    EXPECT_FALSE(command.Enabled());
    command.OnCreate(applicationWithLayers(1));
    EXPECT_TRUE(command.Enabled());
    command.OnCreate(std::make_shared<host::Application>());
    EXPECT_FALSE(command.Enabled()) << "an application without a document";
    command.OnClick();
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records()[0].find("\tICommand_OnClick clsKartoplot Line : 1\r\n"),
              std::string::npos);
    EXPECT_FALSE(command.dialogShown());
}

TEST_F(Command, ClicksShowTheOneSharedDialogOverTheMapInTheCommandsLanguage) {
    ClsKartoplot command;
    command.setInteraction(std::make_shared<host::ScriptedInteraction>());
    command.OnCreate(applicationWithLayers(1));
    EXPECT_EQ(sharedDialogIfLoaded(), nullptr);
    command.OnClick();
    dialog::frmKartoplot* first = sharedDialogIfLoaded();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(command.dialogShown());
    EXPECT_EQ(first->language(), "Русский");
    EXPECT_EQ(first->layerCollection().size(), 1u);
    first->hide();
    command.OnClick();
    EXPECT_EQ(sharedDialogIfLoaded(), first) << "the same dialog again";
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(log->records().empty());
}

}  // namespace
}  // namespace kartoplot::command
