// frmKartoplot: the value range, the size of the minimum in millimetres, the marker size with
// its spin button and the scale lock, and the leader and outline widths.
#include <cmath>
#include <limits>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"
#include "engine/attribute_statistics.h"
#include "engine/chart_sizing.h"
#include "preview/make_symbols.h"

namespace kartoplot::dialog {

namespace {

// A leader needs a visible width: 0 or less becomes this, in points.
constexpr double kThinnestLeader = 0.1;

}  // namespace

engine::SizeTexts frmKartoplot::sizeTexts() const {
    const Ui& u = *ui_;
    engine::SizeTexts t;
    t.minValue = u.TxtMinValue->text().toStdString();
    t.maxValue = u.TxtMaxValue->text().toStdString();
    t.chartMarkerSize = u.TxtChartMarkerSize->text().toStdString();
    t.chartMarkerSizeMM = u.TxtChartMarkerSizeMM->text().toStdString();
    t.minValueMM = u.TxtMinValueMM->text().toStdString();
    t.spinValue = u.SpinBtnChartSize->value();
    return t;
}

engine::MapScales frmKartoplot::mapScales() const {
    if (!engine_.map) {
        return {};
    }
    return {engine_.map->referenceScale(), engine_.map->mapScale()};
}

void frmKartoplot::writeNumber(const char* textBox, double value) {
    auto* box = qobject_cast<QLineEdit*>(control(QString::fromLatin1(textBox)));
    if (box != nullptr) {
        box->setText(QString::fromStdString(language::trimBlanks(separators_.format(value))));
    }
}

void frmKartoplot::resizeStep() {
    if (ui_->TglBtnLockMin->isChecked()) {
        if (const auto size = engine::tryCalcChartSize(sizeTexts(), mapScales(), separators_)) {
            writeNumber("TxtChartMarkerSize", *size);
        }
    } else if (const auto mm = engine::tryCalcMinMM(sizeTexts(), mapScales(), separators_)) {
        writeNumber("TxtMinValueMM", *mm);
    }
}

void frmKartoplot::CalcFieldExtreme(bool isMax) {
    const auto layer = chosenLayer();
    if (!layer) {
        throw HostError(errnum::kObjectMissing, kMainDialogModule, "No layer is chosen");
    }
    const bool selectedOnly = ui_->OpAllObjects[1]->isChecked();
    double result = 0.0;
    bool first = true;
    for (const int k : selectedChartRows()) {
        const host::Variant value = engine::DataStatistic(
            *layer, chartFields_.row(k).fieldName, isMax ? "MAX" : "min", selectedOnly);
        if (value.isEmpty() || value.isNull()) {
            // The statistic failed (and was reported): the box keeps its value rather than
            // showing a made-up 0.
            return;
        }
        const double v = value.toDouble();
        if (first) {
            result = v;
            first = false;
        } else {
            result = isMax ? std::max(result, v) : std::min(result, v);
        }
    }
    const std::string text =
        engine::ReplaceAll(",", language::trimBlanks(separators_.format(result)), ".");
    (isMax ? ui_->TxtMaxValue : ui_->TxtMinValue)->setText(QString::fromStdString(text));
}

void frmKartoplot::CmdCalcMax_Click() {
    trapped("CmdCalcMax_Click", [&] {
        ChekSelectedOnLayer();
        CalcFieldExtreme(true);
        resizeStep();
    });
}

void frmKartoplot::CmdCalcMin_Click() {
    trapped("CmdCalcMin_Click", [&] {
        ChekSelectedOnLayer();
        CalcFieldExtreme(false);
        resizeStep();
    });
}

void frmKartoplot::TxtMinValue_LostFocus() {
    trapped("TxtMinValue_LostFocus", [&] { resizeStep(); });
}

void frmKartoplot::TxtMaxValue_LostFocus() {
    trapped("TxtMaxValue_LostFocus", [&] { resizeStep(); });
}

void frmKartoplot::TxtMinValueMM_LostFocus() {
    trapped("TxtMinValueMM_LostFocus", [&] {
        if (ui_->TglBtnLockMin->isChecked()) {
            if (const auto size = engine::tryCalcChartSize(sizeTexts(), mapScales(), separators_)) {
                writeNumber("TxtChartMarkerSize", *size);
            }
        } else if (const auto minValue =
                       engine::tryCalcMinValueFromMM(sizeTexts(), mapScales(), separators_)) {
            writeNumber("TxtMinValue", *minValue);
        }
    });
}

void frmKartoplot::TxtChartMarkerSize_Change() {
    if (!loaded_) {
        return;  // design values; Form_Load sets the marker size and runs this then
    }
    trapped("TxtChartMarkerSize_Change", [&] {
        if (const auto mm = engine::tryCalcSizeMM(sizeTexts(), mapScales(), separators_)) {
            writeNumber("TxtChartMarkerSizeMM", *mm);
        }
        // The spin button mirrors the size as a 16-bit whole number, rounded half to even.
        const double size = separators_.toNumberOrThrow(ui_->TxtChartMarkerSize->text().toStdString());
        const double whole = language::roundHalfEven(size, 0);
        if (whole < std::numeric_limits<std::int16_t>::min() ||
            whole > std::numeric_limits<std::int16_t>::max()) {
            throw HostError(errnum::kOverflow, kMainDialogModule, "Overflow");
        }
        {
            spinFollowsText_ = true;
            ui_->SpinBtnChartSize->setValue(static_cast<int>(whole));
            spinFollowsText_ = false;
        }
        if (!ui_->TglBtnLockMin->isChecked()) {
            if (const auto mm = engine::tryCalcMinMM(sizeTexts(), mapScales(), separators_)) {
                writeNumber("TxtMinValueMM", *mm);
            }
        }
    });
    spinFollowsText_ = false;
}

void frmKartoplot::SpinBtnChartSize_Change() {
    if (spinFollowsText_ || !loaded_) {
        return;
    }
    ui_->TxtChartMarkerSize->setText(QString::number(ui_->SpinBtnChartSize->value()));
}

void frmKartoplot::TxtLeaderWidth_LostFocus() {
    trapped("TxtLeaderWidth_LostFocus", [&] {
        double width = separators_.toNumberOrThrow(ui_->TxtLeaderWidth->text().toStdString());
        if (width <= 0) {
            width = kThinnestLeader;
        }
        writeNumber("TxtLeaderWidth", width);
        if (leaderLine_) {
            leaderLine_->width = width;
            showButtonPicture("CmdLeaderLine", *leaderLine_);
        }
    });
}

void frmKartoplot::TxtOutlineWidth_LostFocus() {
    trapped("TxtOutlineWidth_LostFocus", [&] {
        const double width = separators_.toNumberOrThrow(ui_->TxtOutlineWidth->text().toStdString());
        lineWidth_ = width;
        writeNumber("TxtOutlineWidth", width);
        if (outlineLine_) {
            outlineLine_->width = width;
            showButtonPicture("CmdDiagrOutLine", *outlineLine_);
        }
    });
}

}  // namespace kartoplot::dialog
