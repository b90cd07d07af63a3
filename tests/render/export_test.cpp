#include "render/export.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/host.h"

namespace kartoplot::render {
namespace {

class Export : public ::testing::Test {
protected:
    Export() {
        dir = std::filesystem::temp_directory_path() /
              ("kp-export-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        auto fc = std::make_shared<host::FeatureClass>("pts", host::GeometryType::Point);
        fc->createFeature(host::Point{0, 0}, {});
        fc->createFeature(host::Point{1000, 500}, {});
        auto layer = std::make_shared<host::FeatureLayer>("pts", fc);
        auto renderer = std::make_shared<host::SimpleRenderer>();
        auto marker = std::make_shared<host::SimpleMarkerSymbol>();
        marker->size = 12;
        marker->color = host::Color{200, 0, 0};
        renderer->symbol = marker;
        layer->setRenderer(renderer);
        document.focusMap()->addLayer(layer);
    }
    ~Export() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    host::MapDocument document;
};

TEST_F(Export, WritesEachFormatWithTheDataInView) {
    ExportOptions options;
    options.width = 400;
    options.height = 200;
    for (const char* name : {"map.png", "map.svg", "map.pdf"}) {
        SCOPED_TRACE(name);
        const auto path = (dir / name).string();
        EXPECT_EQ(exportMap(*document.focusMap(), path, options), "");
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_GT(std::filesystem::file_size(path), 100u);
        EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    }
    const QImage png(QString::fromStdString((dir / "map.png").string()));
    ASSERT_EQ(png.size(), QSize(400, 200));
    // Both points are in view: the full extent is centred and fitted.
    int red = 0;
    for (int y = 0; y < png.height(); ++y) {
        for (int x = 0; x < png.width(); ++x) {
            red += qRed(png.pixel(x, y)) > 150 && qGreen(png.pixel(x, y)) < 80 ? 1 : 0;
        }
    }
    EXPECT_GT(red, 2 * 40) << "two markers of about 12 × 12 pixels, cut at the edges";
    std::ifstream svg(dir / "map.svg");
    const std::string text((std::istreambuf_iterator<char>(svg)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<svg"), std::string::npos);
    std::ifstream pdf(dir / "map.pdf", std::ios::binary);
    char head[5] = {};
    pdf.read(head, 4);
    EXPECT_EQ(std::string(head), "%PDF");
}

TEST_F(Export, RefusesUnknownEndingsAndUnwritablePlacesLeavingNothing) {
    const std::string wrong = (dir / "map.jpg").string();
    EXPECT_EQ(exportMap(*document.focusMap(), wrong, {}),
              "Cannot write " + wrong + ": the name must end in .png, .svg or .pdf.");
    const std::string nowhere = (dir / "missing-folder" / "map.png").string();
    const std::string error = exportMap(*document.focusMap(), nowhere, {});
    EXPECT_NE(error.find("Cannot write " + nowhere), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_FALSE(std::filesystem::exists(nowhere + ".part"));
}

TEST_F(Export, PageLayoutIsThePageSizeAtTheResolution) {
    const auto path = (dir / "page.png").string();
    EXPECT_EQ(exportPageLayout(document, path, 50), "");
    const QImage page(QString::fromStdString(path));
    EXPECT_EQ(page.width(), 413);   // 210 mm at 50 dpi
    EXPECT_EQ(page.height(), 585);  // 297 mm
    EXPECT_EQ(page.pixel(5, 5), qRgb(255, 255, 255)) << "paper outside the map frame";
}

TEST(ExportFormat, FromTheFileEnding) {
    EXPECT_EQ(exportFormatFromPath("a/b.PNG"), ExportFormat::Png);
    EXPECT_EQ(exportFormatFromPath("b.svg"), ExportFormat::Svg);
    EXPECT_EQ(exportFormatFromPath("b.Pdf"), ExportFormat::Pdf);
    EXPECT_FALSE(exportFormatFromPath("b.tif"));
    EXPECT_FALSE(exportFormatFromPath("png"));
}

}  // namespace
}  // namespace kartoplot::render
