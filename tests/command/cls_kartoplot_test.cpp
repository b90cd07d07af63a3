#include "command/cls_kartoplot.h"

#include <gtest/gtest.h>

#include <set>

#include "command/error_handling.h"
#include "dialog/main_dialog.h"

namespace kartoplot::command {
namespace {

std::shared_ptr<host::Application> applicationWithLayers(int layers) {
    auto app = std::make_shared<host::Application>();
    auto doc = std::make_shared<host::MapDocument>();
    app->setDocument(doc);
    for (int i = 0; i < layers; ++i) {
        auto fc = std::make_shared<host::FeatureClass>("Cities", host::GeometryType::Point);
        fc->addField({"a", "", host::FieldType::Double, 0});
        fc->createFeature(host::Point{1, 2}, {host::Variant(3.0)});
        doc->focusMap()->addLayer(std::make_shared<host::FeatureLayer>("Cities", fc));
    }
    return app;
}

class Command : public ::testing::Test {
protected:
    ~Command() override { releaseSharedDialog(); }
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scoped{log};
};

TEST_F(Command, AnswersTheHostWithItsFixedTexts) {
    ClsKartoplot command;
    EXPECT_FALSE(command.Checked());
    EXPECT_EQ(command.Name(), "Quillfern_Plotkarta");
    EXPECT_EQ(command.Caption(), "Plotkarta_4(rus)");
    EXPECT_EQ(command.Tooltip(), "Расстановка диаграмм на слое аннотаций");
    EXPECT_EQ(command.Message(), "");
    EXPECT_EQ(command.HelpFile(), "");
    EXPECT_EQ(command.HelpContextID(), 0);
    EXPECT_EQ(command.Category(), "Quillfern");
    EXPECT_EQ(command.Language, "Русский");
    EXPECT_NE(command.Bitmap(), 0);
    EXPECT_EQ(command.Bitmap(), command.Bitmap()) << "one bitmap, loaded once";
    EXPECT_TRUE(log->records().empty());
}

TEST_F(Command, BitmapIs32By32InSixteenColours) {
    const QImage bitmap = loadBitmapResource(kCommandBitmapId);
    ASSERT_FALSE(bitmap.isNull());
    EXPECT_EQ(bitmap.size(), QSize(32, 32));
    EXPECT_LE(bitmap.colorCount(), 16);
    std::set<QRgb> used;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            used.insert(bitmap.pixel(x, y));
        }
    }
    EXPECT_GE(used.size(), 4u) << "a picture, not a blank";
    EXPECT_TRUE(loadBitmapResource(102).isNull());
}

TEST_F(Command, EnabledOnlyWhenTheFocusMapHasALayer) {
    ClsKartoplot command;
    EXPECT_FALSE(command.Enabled()) << "no application yet";
    command.OnCreate(applicationWithLayers(0));
    EXPECT_FALSE(command.Enabled());
    command.OnCreate(applicationWithLayers(1));
    EXPECT_TRUE(command.Enabled());
    command.OnCreate(std::make_shared<host::Application>());
    EXPECT_FALSE(command.Enabled()) << "an application without a document";
}

TEST_F(Command, ClicksShowTheOneSharedDialogWithTheCommandsLanguage) {
    ClsKartoplot command;
    command.setInteraction(std::make_shared<host::ScriptedInteraction>());
    const auto app = applicationWithLayers(1);
    command.OnCreate(app);
    EXPECT_EQ(sharedDialogIfLoaded(), nullptr);
    command.OnClick();
    dialog::frmKartoplot* first = sharedDialogIfLoaded();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(command.dialogShown());
    EXPECT_EQ(first->language(), "Русский");
    first->hide();
    command.OnClick();
    EXPECT_EQ(sharedDialogIfLoaded(), first) << "the same dialog again";
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(log->records().empty());
}

TEST_F(Command, ClickWithoutADocumentIsReportedNotThrown) {
    ClsKartoplot command;
    command.OnCreate(std::make_shared<host::Application>());
    command.OnClick();
    ASSERT_EQ(log->records().size(), 1u);
    EXPECT_NE(log->records()[0].find("\tICommand_OnClick clsKartoplot Line : 1\r\n"), std::string::npos);
    EXPECT_FALSE(command.dialogShown());
}

}  // namespace
}  // namespace kartoplot::command
