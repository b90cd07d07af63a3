#include "render/export.h"

#include <QFile>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>

namespace kartoplot::render {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// Paints through `paint` into a file of the format, writing a temporary file first so that
// a failure never leaves a half file behind.
std::string writeFile(const std::string& path, ExportFormat format, QSize size, double dpi,
                      const std::function<void(QPainter&)>& paint) {
    const QString target = QString::fromStdString(path);
    if (size.width() <= 0 || size.height() <= 0) {
        return "Cannot write " + path + ": the picture has no size.";
    }
    const QString temporary = target + ".part";
    bool painted = false;
    switch (format) {
        case ExportFormat::Png: {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            if (image.isNull()) {
                return "Cannot write " + path + ": not enough memory for a picture of " +
                       std::to_string(size.width()) + " × " + std::to_string(size.height()) + " pixels.";
            }
            const int dotsPerMetre = static_cast<int>(std::lround(dpi / 0.0254));
            image.setDotsPerMeterX(dotsPerMetre);
            image.setDotsPerMeterY(dotsPerMetre);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                paint(painter);
            }
            painted = image.save(temporary, "PNG");
            break;
        }
        case ExportFormat::Svg: {
            QSvgGenerator svg;
            svg.setFileName(temporary);
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
            QPdfWriter pdf(temporary);
            pdf.setResolution(static_cast<int>(std::lround(dpi)));
            pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
            pdf.setPageSize(QPageSize(QSizeF(size.width() / dpi * 72.0, size.height() / dpi * 72.0),
                                      QPageSize::Point, QString(), QPageSize::ExactMatch));
            pdf.setCreator("Kartoplot");
            QPainter painter;
            if (painter.begin(&pdf)) {
                // The writer's device pixels match the resolution asked for.
                const double sx = pdf.width() / static_cast<double>(size.width());
                painter.scale(sx, sx);
                paint(painter);
                painted = painter.end();
            }
            break;
        }
    }
    if (!painted || !QFile::exists(temporary)) {
        QFile::remove(temporary);
        return "Cannot write " + path + ": the file could not be created there.";
    }
    QFile::remove(target);
    if (!QFile::rename(temporary, target)) {
        QFile::remove(temporary);
        return "Cannot write " + path + ": the file could not be moved into place.";
    }
    return {};
}

}  // namespace

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
    return writeFile(path, *format, QSize(options.width, options.height), options.dpi,
                     [&](QPainter& painter) { drawMap(painter, map, view, options.render); });
}

std::string exportPageLayout(const host::MapDocument& document, const std::string& path, double dpi,
                             const RenderOptions& render) {
    const auto format = exportFormatFromPath(path);
    if (!format) {
        return "Cannot write " + path + ": the name must end in .png, .svg or .pdf.";
    }
    const QSize size = pageSizeInPixels(*document.pageLayout(), dpi);
    return writeFile(path, *format, size, dpi,
                     [&](QPainter& painter) { drawPageLayout(painter, document, dpi, render); });
}

}  // namespace kartoplot::render
