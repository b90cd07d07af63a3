// An in-memory map for engine tests: a document, its focus map at 1 : 72 / 0.0254 (one point
// is one metre, so sizes in points read as map units), a scripted user interface and a
// capturing error log.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "errors/error_handling.h"
#include "engine/chart_run.h"
#include "engine/engine_state.h"
#include "host/host.h"

namespace kartoplot::engine::testing {

inline constexpr double kOnePointPerMetre = 72 / 0.0254;

// The procedure line of an error record: "<procedure> <module> Line : <n>".
inline std::string reportedProcedure(const std::string& record) {
    const std::size_t start = record.find("\r\n\r\n\t") + 5;
    return record.substr(start, record.find("\r\n", start) - start);
}

// Whether the envelope has the lower-left corner (x, y) and the size w × h.
inline ::testing::AssertionResult hasBox(const host::Envelope& e, double x, double y, double w,
                                         double h) {
    const double tolerance = 1e-9;
    if (std::abs(e.xMin() - x) <= tolerance && std::abs(e.yMin() - y) <= tolerance &&
        std::abs(e.width() - w) <= tolerance && std::abs(e.height() - h) <= tolerance) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "box " << e << ", expected corner (" << x << ", " << y
                                         << ") size " << w << " x " << h;
}

// The dialog's opening values for a range of 1 to 10, keys from NAME, 20-point charts.
inline ChartRunSettings runSettings() {
    ChartRunSettings settings = ChartRunSettings::openingValues();
    settings.TxtMinValue = "1";
    settings.TxtMaxValue = "10";
    settings.CmbKey = "NAME";
    settings.TxtChartMarkerSize = "20";
    return settings;
}

// Three solid fills, red 0, 80 and 160.
inline host::SymbolArray threeFills() {
    host::SymbolArray fills;
    for (std::uint8_t i = 0; i < 3; ++i) {
        auto fill = std::make_shared<host::SimpleFillSymbol>();
        fill->color = host::Color{static_cast<std::uint8_t>(80 * i), 0, 0};
        fills.add(fill);
    }
    return fills;
}

// The chart symbol of the marker that leads a chart group.
inline const host::BarChartSymbol& chartSymbolOf(const host::Element& group) {
    const auto& marker = *static_cast<const host::GroupElement&>(group).element(0);
    return static_cast<const host::BarChartSymbol&>(
        *static_cast<const host::MarkerElement&>(marker).symbol);
}

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() {
        application->setDocument(document);
        state.application = application;
        state.document = document;
        state.map = document->focusMap();
        state.map->setMapScale(kOnePointPerMetre);
        state.separators = language::DecimalSeparators::fromLocaleDecimal(".");
        state.messages.load("English");
        state.notices.load("English");
        state.interaction = ui;
    }

    // A point layer "Cities" with fields NAME (text), a, b, c (double) and the given rows.
    struct Row {
        std::string name;
        host::Point at;
        host::Variant a;
        host::Variant b;
        host::Variant c;
    };
    std::shared_ptr<host::FeatureLayer> addCities(const std::vector<Row>& rows,
                                                  const std::string& layerName = "Cities") {
        auto fc = std::make_shared<host::FeatureClass>(layerName, host::GeometryType::Point);
        fc->addField({"NAME", "", host::FieldType::String, 40});
        fc->addField({"a", "", host::FieldType::Double, 0});
        fc->addField({"b", "", host::FieldType::Double, 0});
        fc->addField({"c", "", host::FieldType::Double, 0});
        for (const Row& r : rows) {
            fc->createFeature(r.at, {host::Variant(r.name), r.a, r.b, r.c});
        }
        auto layer = std::make_shared<host::FeatureLayer>(layerName, fc);
        auto renderer = std::make_shared<host::SimpleRenderer>();
        auto marker = std::make_shared<host::SimpleMarkerSymbol>();
        marker->size = 10;
        renderer->symbol = marker;
        layer->setRenderer(renderer);
        state.map->addLayer(layer);
        return layer;
    }

    // The procedure lines of the records logged so far, and of the last one ("" without any).
    std::vector<std::string> reportedProcedures() const {
        std::vector<std::string> out;
        for (const std::string& record : log->records()) {
            out.push_back(reportedProcedure(record));
        }
        return out;
    }
    std::string lastReport() const {
        return log->records().empty() ? "" : reportedProcedure(log->records().back());
    }

    // The front end owns the application, document and map; the state only borrows them.
    std::shared_ptr<host::Application> application = std::make_shared<host::Application>();
    std::shared_ptr<host::MapDocument> document = std::make_shared<host::MapDocument>();
    EngineState state;
    std::shared_ptr<host::ScriptedInteraction> ui = std::make_shared<host::ScriptedInteraction>();
    std::shared_ptr<CapturingErrorLog> log = std::make_shared<CapturingErrorLog>();
    ScopedErrorLog scopedLog{log};
};

}  // namespace kartoplot::engine::testing
