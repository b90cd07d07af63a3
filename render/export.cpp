#include "render/export.h"

#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>

#include "errors/error_handling.h"
#include "host/atomic_file.h"
#include "render/png_writer.h"

namespace kartoplot::render {

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kMetresPerInch = 0.0254;

using Paint = std::function<void(QPainter&)>;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string cannotWrite(const std::string& path, const std::string& reason) {
    return "Cannot write " + path + ": " + reason + ".";
}

// The PDF page of a picture, in points: its size at the resolution, scaled down to the format's
// largest page when a side would exceed it.
QSizeF pdfPagePoints(QSize size, double dpi) {
    QSizeF points(size.width() / dpi * kPointsPerInch, size.height() / dpi * kPointsPerInch);
    const double largest = std::max(points.width(), points.height());
    if (largest > kMaxPdfPagePoints) {
        const double scale = kMaxPdfPagePoints / largest;
        // The limit is a hard one: rounding must not push the larger side past it.
        points = QSizeF(std::min(points.width() * scale, kMaxPdfPagePoints),
                        std::min(points.height() * scale, kMaxPdfPagePoints));
    }
    return points;
}

// Paints through `paint` into the open device in the format and flushes it.
std::string paintInto(QIODevice& device, const std::string& path, ExportFormat format, QSize size, double dpi,
                      int threads, const Paint& paint) {
    if (size.width() <= 0 || size.height() <= 0) {
        return cannotWrite(path, "the picture has no size");
    }
    if (!device.isOpen() || !device.isWritable()) {
        return cannotWrite(path, "the file is not open for writing");
    }
    bool painted = false;
    switch (format) {
        case ExportFormat::Png: {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            if (image.isNull()) {
                return cannotWrite(path, "not enough memory for a picture of " + std::to_string(size.width()) +
                                             " × " + std::to_string(size.height()) + " pixels");
            }
            const int dotsPerMetre = static_cast<int>(std::lround(dpi / kMetresPerInch));
            image.setDotsPerMeterX(dotsPerMetre);
            image.setDotsPerMeterY(dotsPerMetre);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                paint(painter);
            }
            painted = writePng(image, device, threads);
            break;
        }
        case ExportFormat::Svg: {
            QSvgGenerator svg;
            svg.setOutputDevice(&device);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setResolution(static_cast<int>(std::lround(dpi)));
            svg.setTitle("Kartoplot map");
            QPainter painter;
            if (painter.begin(&svg)) {
                paint(painter);
                painted = painter.end();
            }
            break;
        }
        case ExportFormat::Pdf: {
            QPdfWriter pdf(&device);
            pdf.setResolution(static_cast<int>(std::lround(dpi)));
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            pdf.setPageSize(QPageSize(pdfPagePoints(size, dpi), QPageSize::Point, QString(), QPageSize::ExactMatch));
            pdf.setCreator("Kartoplot");
            QPainter painter;
            if (painter.begin(&pdf)) {
                // The writer's device pixels match the resolution asked for; a page scaled down
                // to the largest PDF page scales the drawing with it.
                const double scale = pdf.width() / static_cast<double>(size.width());
                painter.scale(scale, scale);
                paint(painter);
                painted = painter.end();
            }
            break;
        }
    }
    auto* file = qobject_cast<QFileDevice*>(&device);
    if (file != nullptr && (!file->flush() || file->error() != QFileDevice::NoError)) {
        return cannotWrite(path, "the file could not be written (" + file->errorString().toStdString() + ")");
    }
    if (!painted) {
        return cannotWrite(path, "the picture could not be drawn into the file");
    }
    return {};
}

// Writes the picture to a temporary file that replaces `path` once it is complete.
std::string writeFile(const std::string& path, ExportFormat format, QSize size, double dpi, int threads,
                      const Paint& paint) {
    if (size.width() <= 0 || size.height() <= 0) {
        return cannotWrite(path, "the picture has no size");
    }
    try {
        host::AtomicFile file = host::AtomicFile::create(path);
        QFile device;
        if (!device.open(file.descriptor(), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
            return cannotWrite(path, "the temporary file could not be opened");
        }
        if (std::string error = paintInto(device, path, format, size, dpi, threads, paint); !error.empty()) {
            return error;
        }
        device.close();
        file.commit();
    } catch (const HostError& error) {
        return error.description();
    }
    return {};
}

}  // namespace

const char* fileEnding(ExportFormat format) {
    switch (format) {
        case ExportFormat::Png:
            return ".png";
        case ExportFormat::Svg:
            return ".svg";
        case ExportFormat::Pdf:
            return ".pdf";
    }
    return "";
}

std::optional<ExportFormat> exportFormatFromPath(const std::string& path) {
    const std::string ext = lower(std::filesystem::path(path).extension().string());
    if (ext == ".png") {
        return ExportFormat::Png;
    }
    if (ext == ".svg") {
        return ExportFormat::Svg;
    }
    if (ext == ".pdf") {
        return ExportFormat::Pdf;
    }
    return std::nullopt;
}

host::DisplayTransformation exportView(const host::Map& map, const ExportOptions& options) {
    host::DisplayTransformation view = map.screenDisplay().transformation();
    view.setResolution(options.dpi);
    view.setDeviceFrame(options.width, options.height);
    const host::Envelope extent = options.extent ? *options.extent : map.fullExtent();
    if (!extent.isEmpty()) {
        view.setVisibleBounds(extent);
    }
    return view;
}

std::string exportMap(const host::Map& map, const std::string& path, const ExportOptions& options) {
    const auto format = exportFormatFromPath(path);
    if (!format) {
        return "Cannot write " + path + ": the name must end in .png, .svg or .pdf.";
    }
    const host::DisplayTransformation view = exportView(map, options);
    return writeFile(path, *format, QSize(options.width, options.height), options.dpi, options.render.threads,
                     [&](QPainter& painter) { drawMap(painter, map, view, options.render); });
}

std::string exportMap(const host::Map& map, ExportFormat format, QIODevice& device,
                      const std::string& pathForMessages, const ExportOptions& options) {
    const host::DisplayTransformation view = exportView(map, options);
    return paintInto(device, pathForMessages, format, QSize(options.width, options.height), options.dpi,
                     options.render.threads, [&](QPainter& painter) { drawMap(painter, map, view, options.render); });
}

std::string exportPageLayout(const host::MapDocument& document, const std::string& path, double dpi,
                             const RenderOptions& render) {
    const auto format = exportFormatFromPath(path);
    if (!format) {
        return "Cannot write " + path + ": the name must end in .png, .svg or .pdf.";
    }
    const QSize size = pageSizeInPixels(*document.pageLayout(), dpi);
    return writeFile(path, *format, size, dpi, render.threads,
                     [&](QPainter& painter) { drawPageLayout(painter, document, dpi, render); });
}

}  // namespace kartoplot::render
