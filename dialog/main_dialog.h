// frmKartoplot: the modeless main dialog of the chart command. The user picks a point layer,
// its key field and the chart fields (each with its fill symbol), the value range and sizes,
// the placement and the run mode, and starts the chart run. Every control carries its system
// name as objectName; control arrays (OpChartPosition, OpAllObjects, OpChartMode, CmdOK,
// CmdUpDown) are separate widgets of one name with a dynamic property "index".
//
// Setting a control's value in code runs the same handling as the user's change. Handlers
// are public under their system names so that the command entry and the tests can call them;
// none lets an exception escape (failures go to HandleError under "frmKartoplot_ListView").
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dialog/main_dialog_chart_fields.h"
#include "dialog/main_dialog_image_list.h"
#include "engine/chart_run.h"
#include "engine/chart_sizing.h"
#include "engine/engine_state.h"
#include "errors/error_handling.h"
#include "host/interaction.h"
#include "host/map.h"
#include "host/property_set.h"
#include "host/signal.h"
#include "host/symbols.h"
#include "language/locale_numbers.h"
#include "language/messages.h"
#include "language/translation.h"
#include "relation/field_relation.h"

class QTreeWidgetItem;

namespace kartoplot::relation {
class FrmRelaFields;
}

namespace kartoplot::fielddelete {
class FrmMultyFieldsDelete;
}
namespace kartoplot::archive {
class FrmOpenSaveGraphLayer;
}

namespace kartoplot::dialog {

// The module name the dialog's error records carry.
inline constexpr const char* kMainDialogModule = "frmKartoplot_ListView";

// Everything CmdOK hands to the chart run.
struct RunRequest {
    std::shared_ptr<host::FeatureLayer> layer;
    int placementCode = 0;  // 0..14, −1 keep the old place, −2 over another layer's charts
    bool selectedOnly = false;
    bool recreate = false;
    std::vector<std::string> fieldNames;  // LstViewFields order
    host::SymbolArray chartSymbols;       // ChartSymbolArray, same order
    engine::ChartRunSettings settings;
};

class frmKartoplot final : public QDialog, public language::TranslatableForm {
    Q_OBJECT

public:
    using RunHook = std::function<void(const RunRequest&)>;

    // Builds the controls with their design values; nothing is loaded until showModeless().
    explicit frmKartoplot(QWidget* parent = nullptr);
    ~frmKartoplot() override;

    // ---- properties the command entry sets before showing the dialog ---------------------
    void setApplication(std::shared_ptr<host::Application> application);
    void setDocument(std::shared_ptr<host::MapDocument> document);
    void setMap(std::shared_ptr<host::Map> map);
    void setLanguage(std::string language);
    void setInteraction(std::shared_ptr<host::UserInteraction> interaction);
    // The decimal separator Form_Load takes instead of the system's (tests only; call it
    // before the dialog loads).
    void setDecimalSeparatorForTests(std::string localeDecimal);
    // Replaces the call of engine::CreateChartElements made by CmdOK (an empty hook restores it).
    void setRunHook(RunHook hook);

    // Loads the dialog the first time (Form_Load), then shows it modeless, raises and
    // activates it.
    void showModeless();
    bool isLoaded() const noexcept { return loaded_; }
    // Start-up: separators, engine state, layer list, default symbols, language, opening values.
    void Form_Load();
    // Shut-down (Form_Unload): releases the application, document, map and symbols, clears
    // the engine state's references and puts every control back to its design value; the
    // next showModeless() loads afresh. closeEvent calls it.
    void unload();

    // The control of that system name; for a control array the element `index`. nullptr when
    // there is none (an array asked without index gives nullptr as well).
    QWidget* control(const QString& name, int index = -1) const;

    // ---- state ------------------------------------------------------------------------------
    // The chart field rows that LstViewFields, LstViewLegend and ImageList1 show.
    const ChartFieldModel& chartFields() const noexcept { return chartFields_; }
    // The fill symbols of the chart rows in list order (the rows' own symbol objects).
    const host::SymbolArray& ChartSymbolArray() const noexcept { return chartFields_.symbolArray(); }
    const ImageList& imageList() const noexcept { return chartFields_.imageList(); }
    const std::string& language() const noexcept { return language_; }
    const std::string& LocaleDecimal() const noexcept { return separators_.localeDecimal; }
    const std::string& OtherDecimal() const noexcept { return separators_.otherDecimal; }
    const std::string& LastFolder() const noexcept { return lastFolder_; }
    engine::EngineState& engineState() noexcept { return engine_; }
    const language::MainFormMessages& messages() const noexcept { return messages_; }
    // The point layers offered in CmbLayers, in the same order.
    const std::vector<std::shared_ptr<host::FeatureLayer>>& layerCollection() const noexcept {
        return layers_;
    }
    // The layer chosen in CmbLayers, or nullptr.
    std::shared_ptr<host::FeatureLayer> chosenLayer() const;
    const std::shared_ptr<host::TextSymbol>& labelTextSymbol() const noexcept { return labelText_; }
    const std::shared_ptr<host::TextSymbol>& legendTextSymbol() const noexcept { return legendText_; }
    const std::shared_ptr<host::LineSymbol>& breakLineSymbol() const noexcept { return breakLine_; }
    const std::shared_ptr<host::LineSymbol>& outlineLineSymbol() const noexcept { return outlineLine_; }
    const std::shared_ptr<host::LineSymbol>& leaderLineSymbol() const noexcept { return leaderLine_; }
    // The run settings as the controls hold them now.
    engine::ChartRunSettings runSettings() const;

    // ---- layer and field selection ------------------------------------------------------
    // Number of features in the layer's current selection.
    long SelectedObjects(const host::FeatureLayer& layer) const;
    // Refreshes caption and enabling of OpAllObjects(1) for the chosen layer.
    void ChekSelectedOnLayer();
    // Refills CmbOldChartLayer with the map's graphics layers except currFLayerName + "_charts".
    void PopulateGraphLayers(const std::string& currFLayerName);
    void CmbLayers_Change();
    void CmdRefreshLayers_Click();
    void CmdFieldsTo_Click();
    void CmdFieldsBack_Click();
    void CmdFieldsBackAll_Click();
    void CmdUpDown_Click(int index);
    void LstViewFields_DblClick();
    // Header click on LstViewFields; columnIndex counts from 1 as the list's headers do.
    void LstViewFields_ColumnClick(int columnIndex);

    // ---- value range and sizes -------------------------------------------------------------
    void CmdCalcMax_Click();
    void CmdCalcMin_Click();
    void TxtMinValue_LostFocus();
    void TxtMaxValue_LostFocus();
    void TxtMinValueMM_LostFocus();
    void TxtChartMarkerSize_Change();
    void SpinBtnChartSize_Change();
    void TglBtnLockMin_Click();
    void TxtLeaderWidth_LostFocus();
    void TxtOutlineWidth_LostFocus();

    // ---- create and recreate -----------------------------------------------------------------
    // CmdOK(0) runs with the chosen run mode; CmdOK(1) ("Recreate") chooses OpChartMode(1)
    // first.
    void CmdOK_Click(int index = 0);
    void OpChartMode_Click(int index);
    void OpChartPosition_Click(int index);

    // ---- symbols and styles ------------------------------------------------------------------
    void CmdLabelTextSymbol_Click();
    void CmdLegendTextSymbol_Click();
    void CmdZigZagLine_Click();
    void CmdDiagrOutLine_Click();
    void CmdLeaderLine_Click();
    void CmdLeaderColor_Click();
    void CmdOutlineColor_Click();
    void CmdFont_Click();
    void CmdRandomStyles_Click();
    // Gives chart row `row` (0-based) a random fill symbol, its swatch and the swatch key
    // "key" + field position; true when done, false (reported, the row unchanged) otherwise.
    bool SetRandomColor(int row);
    // Applies one symbol to all / the selected chart rows (context menu of LstViewFields).
    void mnuAllElements_Click();
    void mnuSelectedElements_Click();

    // ---- language and the rest ----------------------------------------------------------------
    void CmbLanguage_Click();
    void CmdCancel_Click();
    void CmdMailTo_Click();
    // The mail link CmdMailTo opens for the current body text.
    std::string mailLink() const;
    void ChkAddLegendMin_Click();
    void ChkAddLegendMax_Click();

    // ---- legend files ----------------------------------------------------------------------------
    // Chooses a legend or layer file for TxtLegendFile (remembering its folder in LastFolder).
    void CmdLegendFileName_Click();
    // Ticked while TxtLegendFile is empty: chooses the file at once.
    void ChkLoadLegend_Click();
    // Writes the legend of the one chart selected on the map to a *.leg file chosen in a save
    // dialog; none or several selected elements get "Select ONLY ONE chart on the map" first.
    // "was saved to file" follows only a written file.
    void CmdSaveLegend_Click();
    // Reads a *.leg or *.lyr file chosen in an open dialog, relates its fields to the chart
    // fields (FrmRelaFields) and gives each row its partner's fill symbol, the rows ordered by
    // their partners' places in the legend (rows without partner last, with the legend's first
    // symbol). A file that gives nothing, or an empty chart field list, changes no row. Errors
    // are passed over and reported at the end with the failing statement's line.
    void CmdLoadLegend_Click();
    // The fill symbols and the fields (name, position) of the legend CmdLoadLegend read last.
    const host::SymbolArray& loadedLegendSymbols() const noexcept { return loadedLegendSymbols_; }
    const relation::FieldTable& savedLegendFields() const noexcept { return savedLegendFields_; }
    // Shows the field relation dialog for CmdLoadLegend and returns when it has closed (tests);
    // empty: the dialog's modal exec().
    using RelationShow = std::function<void(relation::FrmRelaFields&)>;
    void setRelationShow(RelationShow show);
    // Commands not built yet: they say so through the interaction service.
    void showFunctionNotAvailable();

    // ---- graphics archive ----------------------------------------------------------------------
    // Open the one shared archive dialog (made on first use) in save / load mode with this
    // dialog's document, language and interaction service, shown without blocking.
    void CmdSaveGraphicsLayerToFile_Click();
    void CmdLoadGraphicsLayerFromFile_Click();
    // The shared archive dialog, or nullptr before its first use.
    archive::FrmOpenSaveGraphLayer* archiveDialog() const noexcept { return archiveDialog_.get(); }

    // ---- chart tools and field deletion (main_dialog_tools.cpp) -------------------------------
    // Removes the value labels (text members) of the selected chart groups after a Yes, and
    // updates each chart in the graphics layer that holds it. The dialog steps aside meanwhile;
    // a failure ends the command and is reported.
    void CmdRemoveLabels_Click();
    // Shows the data attached to each selected chart ("info# N Key= KEY"), OK on the last one,
    // OK and Cancel on the others (Cancel ends the command); "no attached data" for an element
    // without. A failure ends the command and is reported.
    void CmdIdentityGraphics_Click();
    // Opens FrmMultyFieldsDelete for the layer chosen in CmbLayers; when fields were deleted,
    // the layer's field lists are filled again, keeping the chart rows (with their symbols and
    // legend labels) and the key field that still exist.
    void CmdMultyFieldsDelete_Click();
    // Shows the field deletion dialog and returns when it has closed (tests); empty: exec().
    using FieldDeleteShow = std::function<void(fielddelete::FrmMultyFieldsDelete&)>;
    void setFieldDeleteShow(FieldDeleteShow show);

    // ---- parameter files ------------------------------------------------------------------------
    // A new set of the 24 parameter entries (TxtMinValue ... CmdOutlineColor) read from the
    // controls: texts as typed, check boxes "True"/"False", the placement option's index
    // (empty when none is on), colour values as decimal text. Nothing after a report.
    std::shared_ptr<host::PropertySet> PopulateParameters();
    // Applies the set's entries in its order to the parameter controls of the same names (in
    // any letter case), running their change handling. Every entry is checked first: a value
    // that does not convert or a placement outside 0..14 is reported and nothing changes
    // (false). Other names are never looked up: each shows "Unsupported Control Type". An old
    // placement in create mode follows the mode's rule (message, placement 1).
    bool PopulateControls(const host::PropertySet& parameters);
    // Save / load a parameter file (*.par) chosen in a file dialog; cancel changes nothing.
    void CmdSaveParam_Click();
    void CmdLoadParam_Click();

    // ---- translation (language::TranslatableForm; controls by objectName, arrays by index) --
    void setFormCaption(const std::string& text) override;
    std::vector<std::string> controlNames() const override;
    bool setCaption(const std::string& control, const std::string& text) override;
    bool setToolTip(const std::string& control, const std::string& text) override;
    bool setElementCaption(const std::string& control, int index, const std::string& text) override;
    bool setElementToolTip(const std::string& control, int index, const std::string& text) override;
    bool setTabCaption(const std::string& control, int tab, const std::string& text) override;
    int currentTab(const std::string& control) const override;
    void setCurrentTab(const std::string& control, int tab) override;
    bool setColumnHeader(const std::string& control, int column, const std::string& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows a file dialog through the interaction service, starting in LastFolder and proposing
    // the current layer's name followed by `ending`; the chosen file's folder becomes LastFolder.
    // Empty when cancelled (LastFolder kept). Throws HostError without an interaction service.
    std::optional<std::string> chooseFile(host::FileDialogRequest request, const std::string& ending,
                                          bool forSaving);
    struct Ui;

    void buildUi();
    void buildMainTab(QWidget* page);
    void buildChartTab(QWidget* page);
    void buildLegendTab(QWidget* page);
    void buildToolsTab(QWidget* page);
    void connectUi();
    void registerControl(QWidget* widget, const char* name, int index = -1);

    // Runs body under an error trap of the procedure; false when it failed (reported). A body
    // taking an ErrorTrap& gets the trap to mark its statements ("Line : N" in the record).
    template <class Body>
    bool trapped(const char* procedure, Body&& body);

    host::Map& requireMap() const;
    void setLayerIndexAndChange(int index);
    void clearChartFields();
    // Shows the chart rows in LstViewFields and LstViewLegend, reusing their items by
    // position. selected: the chart rows to select afterwards; without it every item keeps
    // its selection (right when rows were only appended or changed in place).
    void showChartFields(const std::optional<std::vector<int>>& selected = std::nullopt);
    std::vector<int> selectedChartRows() const;
    // A label typed into LstViewLegend goes to its chart row.
    void LstViewLegend_Edited(QTreeWidgetItem* entry, int column);
    void sortAvailableFields();
    void moveChartRowsBack(bool all);
    QImage swatchOf(const host::Symbol& symbol) const;
    QImage buttonPicture(const host::Symbol& symbol) const;
    void showButtonPicture(const char* button, const host::Symbol& symbol);
    void replaceRowSymbol(int row, const std::shared_ptr<host::Symbol>& symbol);
    void changeRowsSymbol(bool selectedOnly, ErrorTrap& trap);
    // The symbol pattern's statements 1 to 3 (missing symbol, chooser, button picture).
    std::shared_ptr<host::Symbol> chooseDialogSymbol(std::shared_ptr<host::Symbol>& symbol,
                                                     const char* button, ErrorTrap& trap);
    void chooseLineColor(const char* colorButton, const std::shared_ptr<host::LineSymbol>& line,
                         const char* lineButton, ErrorTrap& trap);
    void setButtonColor(const char* button, const host::Color& color);
    // The colour a button shows (system colour values resolved through the palette).
    host::Color buttonColor(const char* button) const;
    // A colour button's 32-bit colour value as stored: host RGB, or a system colour (negative).
    void setButtonColorValue(const char* button, std::int32_t value);
    std::int32_t buttonColorValue(const char* button) const;
    // The colour a 32-bit colour value stands for; system colours come from the palette.
    static host::Color colorOfValue(std::int32_t value);
    void CalcFieldExtreme(bool isMax);
    void resizeStep();
    engine::SizeTexts sizeTexts() const;
    engine::MapScales mapScales() const;
    void writeNumber(const char* textBox, double value);
    void message(const std::string& text, host::MessageIcon icon = host::MessageIcon::None);
    void showArchiveDialog(bool saving);
    void applyLanguageTexts();
    void createDefaultSymbols();

    std::unique_ptr<Ui> ui_;
    std::shared_ptr<host::Application> application_;
    std::shared_ptr<host::MapDocument> document_;
    std::shared_ptr<host::Map> map_;
    std::string language_ = std::string(language::kRussian);
    std::shared_ptr<host::UserInteraction> interaction_;
    std::string injectedDecimal_;
    RunHook runHook_;

    bool loaded_ = false;
    std::vector<std::shared_ptr<host::FeatureLayer>> layers_;
    std::vector<std::shared_ptr<host::GraphicsLayer>> graphicsLayers_;
    ChartFieldModel chartFields_;
    // ChartSymbolArray under the name the create command reads.
    const host::SymbolArray& chartSymbols_ = chartFields_.symbolArray();
    language::DecimalSeparators separators_;
    std::string lastFolder_;
    // The legend CmdLoadLegend read last: its fill symbols and its fields (name, position).
    host::SymbolArray loadedLegendSymbols_;
    relation::FieldTable savedLegendFields_;
    RelationShow relationShow_;
    FieldDeleteShow fieldDeleteShow_;
    // The graphics archive dialog: one instance, a dialog window of its own over this one.
    std::unique_ptr<archive::FrmOpenSaveGraphLayer> archiveDialog_;
    std::shared_ptr<host::TextSymbol> labelText_;
    std::shared_ptr<host::TextSymbol> legendText_;
    std::shared_ptr<host::LineSymbol> breakLine_;
    std::shared_ptr<host::LineSymbol> outlineLine_;
    double lineWidth_ = 1.0;  // points: the outline width new chart fills take (TxtOutlineWidth)
    std::shared_ptr<host::LineSymbol> leaderLine_;
    language::MainFormMessages messages_;
    engine::EngineState engine_;
    std::shared_ptr<host::FeatureLayer> watchedLayer_;
    host::Connection watchedConnection_;
    // Set while the marker size text updates the spin button, so that the spin's change does
    // not write the text back over what the user is typing.
    bool spinFollowsText_ = false;
};

}  // namespace kartoplot::dialog
