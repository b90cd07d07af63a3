// frmKartoplot: the create/recreate command, the run mode and the placement options.
#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"
#include "engine/chart_run.h"

namespace kartoplot::dialog {

namespace {

// Engine placement codes of the options that are not passed as they are.
constexpr int kCodeCentre = 0;
constexpr int kCodeKeepOldPlace = -1;
constexpr int kCodeOverOldCharts = -2;

}  // namespace

engine::ChartRunSettings frmKartoplot::runSettings() const {
    const Ui& u = *ui_;
    const auto text = [](const QLineEdit* box) { return box->text().toStdString(); };
    engine::ChartRunSettings s;
    s.TxtMinValue = text(u.TxtMinValue);
    s.TxtMaxValue = text(u.TxtMaxValue);
    s.TxtNullValue = text(u.TxtNullValue);
    s.TxtSignNumber = text(u.TxtSignNumber);
    s.CmbKey = u.CmbKey->currentText().toStdString();
    s.txtChartSpacing = text(u.txtChartSpacing);
    s.TxtChartWidth = text(u.TxtChartWidth);
    s.Txt3DThickness = text(u.Txt3DThickness);
    s.TxtChartMarkerSize = text(u.TxtChartMarkerSize);
    s.Chk3D = u.Chk3D->isChecked();
    s.TxtLabelDistance = text(u.TxtLabelDistance);
    s.ChkShowLeader = u.ChkShowLeader->isChecked();
    s.TxtLeaderWidth = text(u.TxtLeaderWidth);
    s.CmdLeaderColor = buttonColor("CmdLeaderColor");
    s.ChkLabelDiagramm = u.ChkLabelDiagramm->isChecked();
    s.TxtMinLabelValue = text(u.TxtMinLabelValue);
    s.ChkSaveLyrFile = u.ChkSaveLyrFile->isChecked();
    s.CmbOldChartLayer = u.CmbOldChartLayer->currentText().toStdString();
    s.labelTextSymbol = labelText_;
    s.leaderLineSymbol = leaderLine_;
    s.breakLineSymbol = breakLine_;
    return s;
}

void frmKartoplot::CmdOK_Click(int index) {
    if (index == 1) {
        // The "Recreate" button: recreate mode, then the same run.
        ui_->OpChartMode[1]->setChecked(true);
    }
    trapped("CmdOK_Click", [&] {
        Ui& u = *ui_;
        const auto layer = chosenLayer();
        if (!layer) {
            // Nothing to chart: say so rather than run over no layer.
            language::NoticeMessages notices;
            notices.load(language_);
            message(notices.text(language::NoticeMessage::NoPointLayer),
                    host::MessageIcon::Exclamation);
            return;
        }
        ChekSelectedOnLayer();

        RunRequest request;
        request.layer = layer;
        if (!u.OpAllObjects[0]->isChecked()) {
            request.selectedOnly = true;
            if (SelectedObjects(*layer) == 0) {
                message(messages_.text(language::MainFormMessage::NoSelectedFeaturesOnLayer) +
                        layer->name());
                return;
            }
        }

        int placement = 0;
        for (int i = 0; i < kPlacementOptions; ++i) {
            if (u.OpChartPosition[static_cast<std::size_t>(i)]->isChecked()) {
                placement = i;
                break;
            }
        }

        if (u.LstViewFields->topLevelItemCount() == 0) {
            message(messages_.text(language::MainFormMessage::NoSelectedFields));
            return;
        }
        for (int k = 0; k < u.LstViewFields->topLevelItemCount(); ++k) {
            request.fieldNames.push_back(u.LstViewFields->topLevelItem(k)->text(kColFields).toStdString());
        }

        if (u.OpChartMode[0]->isChecked()) {
            request.placementCode = placement == kPlacementOld ? kCodeCentre : placement;
            request.recreate = false;
        } else {
            request.placementCode = placement == kPlacementOld       ? kCodeKeepOldPlace
                                    : placement == kPlacementOverOld ? kCodeOverOldCharts
                                                                     : placement;
            request.recreate = true;
        }
        request.chartSymbols = chartSymbols_;
        request.settings = runSettings();

        if (runHook_) {
            runHook_(request);
        } else {
            const engine::ChartRunResult result = engine::CreateChartElements(
                engine_, *request.layer, request.placementCode, request.selectedOnly,
                request.recreate, request.fieldNames, request.chartSymbols, request.settings,
                // The layer-file step starts in LastFolder and keeps the dialog out of reach
                // while its file dialog is open.
                engine::LayerFileStep{&lastFolder_, [this](bool reachable) { setEnabled(reachable); }});
            // The error log holds the run's record; the user reads what went wrong in words.
            if (!result.completed && !result.failure.empty()) {
                message(result.failure, host::MessageIcon::Exclamation);
            }
        }
    });
}

void frmKartoplot::OpChartMode_Click(int index) {
    trapped("OpChartMode_Click", [&] {
        Ui& u = *ui_;
        const bool recreate = index != 0;
        {
            // Called directly, the handler chooses its option as a click would.
            const QSignalBlocker block(u.OpChartModeGroup);
            u.OpChartMode[static_cast<std::size_t>(recreate ? 1 : 0)]->setChecked(true);
        }
        u.OpChartPosition[kPlacementOld]->setEnabled(recreate);
        u.OpChartPosition[kPlacementOverOld]->setEnabled(recreate);
        u.CmbOldChartLayer->setEnabled(recreate);
        if (!recreate && (u.OpChartPosition[kPlacementOld]->isChecked() ||
                          u.OpChartPosition[kPlacementOverOld]->isChecked())) {
            message(messages_.text(language::MainFormMessage::OnlyRecreateOnOldPlacement),
                    host::MessageIcon::Exclamation);
            u.OpChartPosition[1]->setChecked(true);
        }
    });
}

void frmKartoplot::OpChartPosition_Click(int index) {
    trapped("OpChartPosition_Click", [&] {
        Ui& u = *ui_;
        if (index >= 0 && index < kPlacementOptions) {
            const QSignalBlocker block(u.OpChartPositionGroup);
            u.OpChartPosition[static_cast<std::size_t>(index)]->setChecked(true);
        }
        u.FrameChartPosition->setTitle(
            QString::fromStdString(messages_.text(language::MainFormMessage::PlacementCaption) +
                                   language::PlacementName(messages_, index)));
    });
}

}  // namespace kartoplot::dialog
