#include "dialog/symbol_chooser.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFontComboBox>
#include <QLabel>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "language/messages.h"
#include "preview/draw_symbol.h"
#include "tests/dialog/qt_interaction_test_modal.h"

namespace kartoplot::dialog {
namespace {

using testing::answerModal;

constexpr host::Color kRed{255, 0, 0};
constexpr host::Color kBlue{0, 0, 255};
constexpr host::Color kGreen{0, 160, 0};

// An editing widget by its objectName; a missing one ends the test with its name.
template <class W>
W& widget(const SymbolChooser& chooser, const char* name) {
    W* found = chooser.findChild<W*>(name);
    if (found == nullptr) {
        throw std::runtime_error(std::string("no widget ") + name);
    }
    return *found;
}

template <class Code>
void choose(const SymbolChooser& chooser, const char* name, Code code) {
    auto& list = widget<QComboBox>(chooser, name);
    list.setCurrentIndex(list.findData(static_cast<int>(code)));
    ASSERT_GE(list.currentIndex(), 0) << name << " lists no code " << static_cast<int>(code);
}

// Presses OK and returns the chosen symbol; no symbol ends the test.
template <class S>
S& accepted(SymbolChooser& chooser) {
    widget<QAbstractButton>(chooser, "CmdOK").click();
    if (chooser.result() == nullptr) {
        throw std::runtime_error("OK gave no symbol");
    }
    return static_cast<S&>(*chooser.result());
}

std::shared_ptr<host::SimpleFillSymbol> redFillWithOutline() {
    auto fill = std::make_shared<host::SimpleFillSymbol>();
    fill->color = kRed;
    fill->outline = std::make_shared<host::SimpleLineSymbol>();
    fill->outline->width = 1.0;
    return fill;
}

// The name a style list shows for one code.
template <class Code>
QString styleName(const SymbolChooser& chooser, const char* list, Code code) {
    const auto& box = widget<QComboBox>(chooser, list);
    return box.itemText(box.findData(static_cast<int>(code)));
}

QColor previewCentre(const SymbolChooser& chooser) {
    const QImage picture = widget<QLabel>(chooser, "Preview").pixmap().toImage();
    return picture.pixelColor(picture.width() / 2, picture.height() / 2);
}

// The preview follows the edits; the symbol itself is never changed.
TEST(SymbolChooser, FillEditsACopyOkReturnsItAndCancelNothing) {
    const auto original = redFillWithOutline();
    const auto originalOutline = original->outline;
    SymbolChooser chooser(original);
    EXPECT_EQ(previewCentre(chooser), QColor(255, 0, 0));
    widget<ColorButton>(chooser, "FillColor").setColor(kBlue);
    EXPECT_EQ(previewCentre(chooser), QColor(0, 0, 255));
    choose(chooser, "FillStyle", host::FillStyle::Null);
    EXPECT_EQ(previewCentre(chooser), preview::previewBackground());
    choose(chooser, "FillStyle", host::FillStyle::Cross);
    widget<ColorButton>(chooser, "OutlineColor").setColor(kGreen);
    widget<QDoubleSpinBox>(chooser, "OutlineWidth").setValue(2.5);
    EXPECT_EQ(original->color, kRed);
    EXPECT_EQ(original->outline, originalOutline);
    EXPECT_DOUBLE_EQ(originalOutline->width, 1.0);
    const auto& result = accepted<host::SimpleFillSymbol>(chooser);
    EXPECT_EQ(result.color, kBlue);
    EXPECT_EQ(result.style, host::FillStyle::Cross);
    ASSERT_NE(result.outline, nullptr);
    EXPECT_EQ(result.outline->color, kGreen);
    EXPECT_DOUBLE_EQ(result.outline->width, 2.5);
    SymbolChooser cancelled(original);
    widget<ColorButton>(cancelled, "FillColor").setColor(kBlue);
    widget<QAbstractButton>(cancelled, "CmdCancel").click();
    EXPECT_EQ(cancelled.result(), nullptr);
}

TEST(SymbolChooser, NoOutlineRemovesTheOutlineAndGivesItBack) {
    SymbolChooser chooser(redFillWithOutline());
    auto& noOutline = widget<QCheckBox>(chooser, "NoOutline");
    auto& width = widget<QDoubleSpinBox>(chooser, "OutlineWidth");
    width.setValue(3.0);
    noOutline.setChecked(true);
    const auto& fill = static_cast<const host::FillSymbol&>(*chooser.editedSymbol());
    EXPECT_EQ(fill.outline, nullptr);
    EXPECT_FALSE(width.isEnabled());
    noOutline.setChecked(false);
    ASSERT_NE(fill.outline, nullptr);
    EXPECT_DOUBLE_EQ(fill.outline->width, 3.0);
    EXPECT_TRUE(width.isEnabled());
    noOutline.setChecked(true);
    EXPECT_EQ(accepted<host::SimpleFillSymbol>(chooser).outline, nullptr);
    // A fill without an outline gets one made from the editors.
    SymbolChooser adding(std::make_shared<host::SimpleFillSymbol>());
    EXPECT_TRUE(widget<QCheckBox>(adding, "NoOutline").isChecked());
    widget<ColorButton>(adding, "OutlineColor").setColor(kGreen);
    widget<QDoubleSpinBox>(adding, "OutlineWidth").setValue(0.4);
    widget<QCheckBox>(adding, "NoOutline").setChecked(false);
    const auto& added = accepted<host::SimpleFillSymbol>(adding);
    ASSERT_NE(added.outline, nullptr);
    EXPECT_EQ(added.outline->color, kGreen);
    EXPECT_DOUBLE_EQ(added.outline->width, 0.4);
}

TEST(SymbolChooser, ShowsOnlyTheEditorsOfTheSymbolKind) {
    const std::pair<std::shared_ptr<host::Symbol>, QString> cases[] = {
        {std::make_shared<host::SimpleFillSymbol>(),
         "FillColor FillStyle NoOutline OutlineColor OutlineWidth"},
        {std::make_shared<host::MarkerFillSymbol>(),
         "FillColor NoOutline OutlineColor OutlineWidth"},
        {std::make_shared<host::SimpleLineSymbol>(), "LineColor LineWidth LineStyle"},
        {std::make_shared<host::CartographicLineSymbol>(),
         "LineColor LineWidth LineCap LineJoin Dashed"},
        {std::make_shared<host::TextSymbol>(), "FontFamily FontSize FontBold FontItalic TextColor"},
        {std::make_shared<host::SimpleMarkerSymbol>(), "MarkerStyle MarkerSize MarkerColor"},
        {std::make_shared<host::BarChartSymbol>(), "MarkerSize"},
        {nullptr, ""}};
    QStringList all;  // every editor is some kind's
    for (const auto& [symbol, editors] : cases) {
        all << editors.split(' ', Qt::SkipEmptyParts);
    }
    for (const auto& [symbol, editors] : cases) {
        SCOPED_TRACE(symbol ? symbol->className() : "nothing");
        const SymbolChooser chooser(symbol);
        for (const QString& name : all) {
            EXPECT_EQ(chooser.findChild<QWidget*>(name) != nullptr,
                      editors.split(' ').contains(name))
                << name.toStdString();
        }
    }
}

// A dash made with "Dashed" follows the width; a dash of the symbol's own is kept.
TEST(SymbolChooser, LineEditorsSetWidthStyleCapJoinAndDash) {
    SymbolChooser simpleChooser(std::make_shared<host::SimpleLineSymbol>());
    widget<ColorButton>(simpleChooser, "LineColor").setColor(kBlue);
    widget<QDoubleSpinBox>(simpleChooser, "LineWidth").setValue(1.5);
    choose(simpleChooser, "LineStyle", host::LineStyle::DashDot);
    const auto& line = accepted<host::SimpleLineSymbol>(simpleChooser);
    EXPECT_EQ(line.color, kBlue);
    EXPECT_DOUBLE_EQ(line.width, 1.5);
    EXPECT_EQ(line.style, host::LineStyle::DashDot);
    auto carto = std::make_shared<host::CartographicLineSymbol>();
    carto->width = 2.0;
    SymbolChooser cartoChooser(carto);
    const auto& edited =
        static_cast<const host::CartographicLineSymbol&>(*cartoChooser.editedSymbol());
    choose(cartoChooser, "LineCap", host::LineCap::Round);
    choose(cartoChooser, "LineJoin", host::LineJoin::Bevel);
    widget<QCheckBox>(cartoChooser, "Dashed").setChecked(true);  // mark 1, gap 2 line widths
    EXPECT_EQ(edited.lineTemplate, (host::LineTemplate{1.0, {{2.0, 4.0}}}));
    widget<QDoubleSpinBox>(cartoChooser, "LineWidth").setValue(3.0);
    const host::LineTemplate dashOf3{1.0, {{3.0, 6.0}}};
    EXPECT_EQ(edited.lineTemplate, dashOf3);
    widget<QCheckBox>(cartoChooser, "Dashed").setChecked(false);
    EXPECT_TRUE(edited.lineTemplate.pattern.empty());
    widget<QCheckBox>(cartoChooser, "Dashed").setChecked(true);
    const auto& result = accepted<host::CartographicLineSymbol>(cartoChooser);
    EXPECT_EQ(result.cap, host::LineCap::Round);
    EXPECT_EQ(result.join, host::LineJoin::Bevel);
    EXPECT_EQ(result.lineTemplate, dashOf3);
    carto->lineTemplate = host::LineTemplate{2.0, {{1.0, 1.0}, {3.0, 1.0}}};
    SymbolChooser ownDash(carto);
    EXPECT_TRUE(widget<QCheckBox>(ownDash, "Dashed").isChecked());
    widget<QDoubleSpinBox>(ownDash, "LineWidth").setValue(4.0);
    EXPECT_EQ(accepted<host::CartographicLineSymbol>(ownDash).lineTemplate, carto->lineTemplate);
}

// A text without a sample of its own previews a stand-in, which the result does not get.
TEST(SymbolChooser, TextAndMarkerEditors) {
    auto text = std::make_shared<host::TextSymbol>();
    text->font = host::Font{"Arial", 20.0};
    SymbolChooser untouched(text);
    EXPECT_EQ(widget<QFontComboBox>(untouched, "FontFamily").currentFont().family(),
              "Liberation Sans");
    const QImage picture = widget<QLabel>(untouched, "Preview").pixmap().toImage();
    bool drawn = false;
    for (int x = 0; x < picture.width() && !drawn; ++x) {
        drawn = picture.pixelColor(x, picture.height() / 2) != preview::previewBackground();
    }
    EXPECT_TRUE(drawn);
    const auto& same = accepted<host::TextSymbol>(untouched);
    EXPECT_EQ(same.font.name, "Arial") << "the host name is kept";
    EXPECT_TRUE(same.previewText.empty());
    SymbolChooser chooser(text);
    widget<QFontComboBox>(chooser, "FontFamily").setCurrentFont(QFont("Liberation Serif"));
    widget<QDoubleSpinBox>(chooser, "FontSize").setValue(14.0);
    widget<QCheckBox>(chooser, "FontBold").setChecked(true);
    widget<QCheckBox>(chooser, "FontItalic").setChecked(true);
    widget<ColorButton>(chooser, "TextColor").setColor(kGreen);
    const auto& result = accepted<host::TextSymbol>(chooser);
    EXPECT_EQ(result.font, (host::Font{"Liberation Serif", 14.0, true, true}));
    EXPECT_EQ(result.color, kGreen);
    SymbolChooser dotChooser(std::make_shared<host::SimpleMarkerSymbol>());
    choose(dotChooser, "MarkerStyle", host::MarkerStyle::Diamond);
    widget<QDoubleSpinBox>(dotChooser, "MarkerSize").setValue(12.0);
    widget<ColorButton>(dotChooser, "MarkerColor").setColor(kRed);
    const auto& dot = accepted<host::SimpleMarkerSymbol>(dotChooser);
    EXPECT_EQ(dot.style, host::MarkerStyle::Diamond);
    EXPECT_DOUBLE_EQ(dot.size, 12.0);
    EXPECT_EQ(dot.color, kRed);
}

// Each style list names its codes in the chooser's language (the title's language is checked
// with the interaction service).
TEST(SymbolChooser, StyleListsNameTheirCodesInTheLanguage) {
    const SymbolChooser russian(redFillWithOutline(), std::string(language::kRussian));
    EXPECT_EQ(styleName(russian, "FillStyle", host::FillStyle::Null), "Пустая");
    const SymbolChooser english(redFillWithOutline(), "English");
    EXPECT_EQ(styleName(english, "FillStyle", host::FillStyle::Null), "Hollow");
    const SymbolChooser line(std::make_shared<host::CartographicLineSymbol>(), "English");
    EXPECT_EQ(styleName(line, "LineCap", host::LineCap::Butt), "Flat");
    EXPECT_EQ(styleName(line, "LineJoin", host::LineJoin::Miter), "Mitre");
}

TEST(SymbolChooser, ColourButtonOpensTheColourDialog) {
    SymbolChooser chooser(redFillWithOutline());
    auto& button = widget<ColorButton>(chooser, "FillColor");
    const auto click = [&] {
        button.click();
        return true;
    };
    answerModal<QColorDialog>(click, [](QColorDialog& dialog) {
        EXPECT_EQ(dialog.currentColor(), QColor(255, 0, 0));
        dialog.setCurrentColor(QColor(0, 0, 255));
        dialog.accept();
    });
    EXPECT_EQ(static_cast<const host::FillSymbol&>(*chooser.editedSymbol()).color, kBlue);
    answerModal<QColorDialog>(click, [](QColorDialog& dialog) { dialog.reject(); });
    EXPECT_EQ(button.color(), kBlue);
}

}  // namespace
}  // namespace kartoplot::dialog
