#include "render/export.h"

#include <QFile>
#include <QImage>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <vector>

#include "host/atomic_file.h"
#include "host/host.h"
#include "tests/render/pixels.h"

namespace kartoplot::render {
namespace {

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> namesIn(const std::filesystem::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

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
    }
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"map.png", "map.svg", "map.pdf"})) << "no temporaries left";
    const QImage png(QString::fromStdString((dir / "map.png").string()));
    ASSERT_EQ(png.size(), QSize(400, 200));
    // Both points are in view: the full extent is centred and fitted.
    const auto red = [](QRgb p) { return qRed(p) > 150 && qGreen(p) < 80; };
    EXPECT_GT(testing::countPixels(png, red), 2 * 40) << "two markers of about 12 × 12 pixels, cut at the edges";
    // The SVG and PDF are parsed in ASetOfFormatsWrittenThroughDevicesAppearsTogetherAndWellFormed.
}

TEST_F(Export, RefusesWhatCannotBeWrittenInWordsLeavingNothing) {
    std::filesystem::create_directory(dir / "taken.png");
    ExportOptions noSize;
    noSize.width = 0;
    struct Case {
        std::string path;
        ExportOptions options;
        std::string reason;
    };
    const Case cases[] = {
        {(dir / "map.jpg").string(), {}, "the name must end in .png, .svg or .pdf."},
        {(dir / "missing-folder" / "map.png").string(), {}, "does not exist"},
        {(dir / "taken.png").string(), {}, "a folder of that name is in the way"},
        {(dir / "empty.pdf").string(), noSize, "the picture has no size."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string error = exportMap(*document.focusMap(), c.path, c.options);
        EXPECT_EQ(error.rfind("Cannot write " + c.path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    EXPECT_EQ(namesIn(dir), std::set<std::string>{"taken.png"});
}

TEST_F(Export, PdfPagesStayWithinTheLargestPdfPage) {
    struct Case {
        int width, height;
        double pageWidth, pageHeight;  // points
    };
    for (const Case c : {Case{400, 200, 300, 150}, Case{20000, 12000, 14400, 8640}, Case{12000, 20000, 8640, 14400}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        ExportOptions options;
        options.width = c.width;
        options.height = c.height;
        options.dpi = 96;
        const auto path = (dir / "big.pdf").string();
        ASSERT_EQ(exportMap(*document.focusMap(), path, options), "");
        const std::string pdf = readBytes(path);
        std::smatch box;
        const std::regex mediaBox(R"(/MediaBox\s*\[\s*0\s+0\s+([0-9.]+)\s+([0-9.]+)\s*\])");
        ASSERT_TRUE(std::regex_search(pdf, box, mediaBox));
        EXPECT_NEAR(std::stod(box[1]), c.pageWidth, 1.0);
        EXPECT_NEAR(std::stod(box[2]), c.pageHeight, 1.0);
    }
}

TEST_F(Export, ASetOfFormatsWrittenThroughDevicesAppearsTogetherAndWellFormed) {
    ExportOptions options;
    options.width = 300;
    options.height = 200;
    {
        host::AtomicFileSet files;
        // The devices stay open over the commit: the writer must have flushed them itself.
        std::vector<std::unique_ptr<QFile>> devices;
        for (const auto format : {ExportFormat::Png, ExportFormat::Svg, ExportFormat::Pdf}) {
            const std::string path = (dir / "set").string() + fileEnding(format);
            host::AtomicFile& file = files.add(path);
            QFile& device = *devices.emplace_back(std::make_unique<QFile>());
            ASSERT_TRUE(device.open(file.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle));
            EXPECT_EQ(exportMap(*document.focusMap(), format, device, path, options), "");
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "set.png")) << "nothing appears before commit";
        files.commit();
    }
    EXPECT_EQ(namesIn(dir), (std::set<std::string>{"set.png", "set.svg", "set.pdf"}));
    EXPECT_EQ(QImage(QString::fromStdString((dir / "set.png").string())).size(), QSize(300, 200));
    QXmlStreamReader svg(QByteArray::fromStdString(readBytes(dir / "set.svg")));
    while (!svg.atEnd()) {
        svg.readNext();
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    const std::string pdf = readBytes(dir / "set.pdf");
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0u);
    EXPECT_NE(pdf.find("%%EOF", pdf.size() > 16 ? pdf.size() - 16 : 0), std::string::npos) << "complete to the end";
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
