// The widgets of frmKartoplot, shared by its source files (not part of the public interface).
#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>

#include <array>
#include <map>
#include <type_traits>
#include <vector>

#include "errors/error_handling.h"
#include "dialog/main_dialog.h"

namespace kartoplot::dialog {

// Columns of LstViewFields: the item text (swatch) and sub-items 1..5.
enum FieldColumn : int {
    kColSymbol = 0,
    kColFields = 1,     // field name
    kColFieldsID = 2,   // field position in the layer
    kColFieldsOld = 3,  // legend field name
    kColFIDOld = 4,     // legend field position
    kColSymbolID = 5,   // swatch key
    kFieldColumnCount = 6,
};

// Columns of LstFields and LstViewLegend.
inline constexpr int kAvailName = 0;
inline constexpr int kAvailPosition = 1;
inline constexpr int kLegendLabel = 0;
inline constexpr int kLegendField = 1;

inline constexpr int kPlacementOptions = 15;
inline constexpr int kPlacementOld = 5;
inline constexpr int kPlacementOverOld = 14;

// Button pictures and their silver margin, pixels.
inline constexpr int kPictureWidth = 40;
inline constexpr int kPictureHeight = 20;
inline constexpr int kPictureGap = 2;

// A spin button: the up/down arrows only, without a text field of its own.
class SpinButton final : public QSpinBox {
public:
    explicit SpinButton(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }
};

struct frmKartoplot::Ui {
    QWidget* content = nullptr;  // everything below; rebuilt by unload()
    std::map<QString, std::vector<QWidget*>> controls;
    std::vector<std::string> order;  // control names in creation order, arrays once per element

    QTabWidget* SSTab = nullptr;

    // Main tab
    QGroupBox* Frame7 = nullptr;
    QLabel* LblLayers = nullptr;
    QComboBox* CmbLayers = nullptr;
    QPushButton* CmdRefreshLayers = nullptr;
    QLabel* LblKey = nullptr;
    QComboBox* CmbKey = nullptr;
    std::array<QRadioButton*, 2> OpAllObjects{};
    QButtonGroup* OpAllObjectsGroup = nullptr;
    QGroupBox* Frame1 = nullptr;
    QTreeWidget* LstFields = nullptr;
    QPushButton* CmdFieldsTo = nullptr;
    QPushButton* CmdFieldsBack = nullptr;
    QPushButton* CmdFieldsBackAll = nullptr;
    QPushButton* CmdRandomStyles = nullptr;
    QTreeWidget* LstViewFields = nullptr;
    std::array<QPushButton*, 2> CmdUpDown{};
    QMenu* mnuChangeSymbol = nullptr;
    QAction* mnuAllElements = nullptr;
    QAction* mnuSelectedElements = nullptr;
    QGroupBox* Frame2 = nullptr;
    QLabel* LblMinValue = nullptr;
    QLineEdit* TxtMinValue = nullptr;
    QPushButton* CmdCalcMin = nullptr;
    QLabel* LblMaxValue = nullptr;
    QLineEdit* TxtMaxValue = nullptr;
    QPushButton* CmdCalcMax = nullptr;
    QLabel* LblMinValueMM = nullptr;
    QLineEdit* TxtMinValueMM = nullptr;
    QToolButton* TglBtnLockMin = nullptr;
    QLabel* LblChartMarkerSize = nullptr;
    QLineEdit* TxtChartMarkerSize = nullptr;
    SpinButton* SpinBtnChartSize = nullptr;
    QLineEdit* TxtChartMarkerSizeMM = nullptr;
    QLabel* Label2 = nullptr;
    QGroupBox* Frame4 = nullptr;
    std::array<QRadioButton*, 2> OpChartMode{};
    QButtonGroup* OpChartModeGroup = nullptr;
    QComboBox* CmbOldChartLayer = nullptr;

    // Chart tab
    QGroupBox* FrameChartPosition = nullptr;
    std::array<QRadioButton*, kPlacementOptions> OpChartPosition{};
    QButtonGroup* OpChartPositionGroup = nullptr;
    QLabel* LblChartPosition = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* TxtLabelDistance = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* LblCharWidth = nullptr;
    QLineEdit* TxtChartWidth = nullptr;
    QLabel* lblChartSpacing = nullptr;
    QLineEdit* txtChartSpacing = nullptr;
    QCheckBox* Chk3D = nullptr;
    QLabel* Lbl3DThickness = nullptr;
    QLineEdit* Txt3DThickness = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* TxtNullValue = nullptr;
    QLabel* lblChartBorder = nullptr;
    QPushButton* CmdDiagrOutLine = nullptr;
    QPushButton* CmdOutlineColor = nullptr;
    QLineEdit* TxtOutlineWidth = nullptr;
    QLabel* lblZigZag = nullptr;
    QPushButton* CmdZigZagLine = nullptr;
    QCheckBox* ChkShowLeader = nullptr;
    QPushButton* CmdLeaderLine = nullptr;
    QPushButton* CmdLeaderColor = nullptr;
    QLineEdit* TxtLeaderWidth = nullptr;
    QGroupBox* FrameLabelDiagramm = nullptr;
    QCheckBox* ChkLabelDiagramm = nullptr;
    QPushButton* CmdLabelTextSymbol = nullptr;
    QLabel* LblFontName = nullptr;
    QLineEdit* TxtFontName = nullptr;
    QLineEdit* TxtFontSize = nullptr;
    QPushButton* CmdFont = nullptr;
    QLabel* LblSignNumber = nullptr;
    QLineEdit* TxtSignNumber = nullptr;
    QLabel* LblMinLabelValue = nullptr;
    QLineEdit* TxtMinLabelValue = nullptr;

    // Legend tab
    QLabel* lblLegendWidth = nullptr;
    QLineEdit* txtLegendWidth = nullptr;
    QLabel* lblLegendHeight = nullptr;
    QLineEdit* txtLegendHeight = nullptr;
    QLabel* lblLegendZazorW = nullptr;
    QLineEdit* txtLegendZazorW = nullptr;
    QLabel* lblLegendZazorH = nullptr;
    QLineEdit* txtLegendZazorH = nullptr;
    QLabel* lblLegendPrefix = nullptr;
    QLineEdit* txtLegendPrefix = nullptr;
    QLabel* lblAddMinMax = nullptr;
    QCheckBox* ChkAddLegendMin = nullptr;
    QCheckBox* ChkAddLegendMax = nullptr;
    QLabel* lblAddSuffix = nullptr;
    QLineEdit* txtLegendSuffixMin = nullptr;
    QLineEdit* txtLegendSuffixMax = nullptr;
    QLabel* LblLegendTextSymbol = nullptr;
    QPushButton* CmdLegendTextSymbol = nullptr;
    QTreeWidget* LstViewLegend = nullptr;
    QPushButton* CmdCreateLegend = nullptr;
    QGroupBox* Frame6 = nullptr;
    QPushButton* CmdSaveLegend = nullptr;
    QLineEdit* TxtLegendFile = nullptr;
    QPushButton* CmdLegendFileName = nullptr;
    QCheckBox* ChkLoadLegend = nullptr;
    QPushButton* CmdLoadLegend = nullptr;
    QCheckBox* ChkAutoMapping = nullptr;
    QCheckBox* ChkSkipPropPage = nullptr;
    QCheckBox* ChkSaveLyrFile = nullptr;

    // Tools tab
    QGroupBox* Frame5 = nullptr;
    QPushButton* CmdLoadParam = nullptr;
    QPushButton* CmdSaveParam = nullptr;
    QPushButton* CmdLoadGraphicsLayerFromFile = nullptr;
    QPushButton* CmdSaveGraphicsLayerToFile = nullptr;
    QPushButton* CmdRemoveLabels = nullptr;
    QPushButton* CmdIdentityGraphics = nullptr;
    QPushButton* CmdMultyFieldsDelete = nullptr;
    // Each tool button has a label beside it repeating its tooltip (kept in step by the translation).
    std::vector<std::pair<QPushButton*, QLabel*>> toolLabels;
    QPlainTextEdit* TxtMailBody = nullptr;
    QPushButton* CmdMailTo = nullptr;

    // Below the pages
    std::array<QPushButton*, 2> CmdOK{};
    QPushButton* CmdCancel = nullptr;
    QComboBox* CmbLanguage = nullptr;
};

template <class Body>
bool frmKartoplot::trapped(const char* procedure, Body&& body) {
    ErrorTrap trap(procedure, kMainDialogModule);
    if constexpr (std::is_invocable_v<Body&, ErrorTrap&>) {
        return trap.run([&] { body(trap); });
    } else {
        return trap.run(std::forward<Body>(body));
    }
}

}  // namespace kartoplot::dialog
