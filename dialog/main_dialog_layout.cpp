// The controls of frmKartoplot with their design captions and values, on four pages.
#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QVBoxLayout>

#include "dialog/main_dialog.h"
#include "dialog/main_dialog_ui.h"

namespace kartoplot::dialog {

namespace {

// Widths of the short number boxes and of the compass option buttons, pixels.
constexpr int kNumberBoxWidth = 64;
constexpr int kShortBoxWidth = 44;
constexpr int kPictureButtonWidth = kPictureWidth + 16;
constexpr int kPictureButtonHeight = kPictureHeight + 8;
constexpr int kColorButtonWidth = 28;
constexpr int kTextIconWidth = 28;
constexpr int kTextIconHeight = 16;
constexpr int kToolIconSize = 28;
constexpr int kSpinMaximum = 32767;  // 16-bit, as the marker size mirror is

QLineEdit* numberBox(QLineEdit* box, int width = kNumberBoxWidth) {
    box->setFixedWidth(width);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QPushButton* pictureButton(QPushButton* button) {
    button->setFixedSize(kPictureButtonWidth, kPictureButtonHeight);
    button->setIconSize(QSize(kPictureWidth, kPictureHeight));
    return button;
}

// A small picture of a short text, for buttons whose caption the translation clears.
QIcon textIcon(const QString& text) {
    QPixmap pixmap(kTextIconWidth, kTextIconHeight);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QApplication::palette().color(QPalette::ButtonText));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

}  // namespace

SpinButton::SpinButton(QWidget* parent) : QSpinBox(parent) {
    lineEdit()->hide();
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFrame(false);
}

QSize SpinButton::sizeHint() const {
    return QSize(style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 4, QSpinBox::sizeHint().height());
}

void frmKartoplot::registerControl(QWidget* widget, const char* name, int index) {
    widget->setObjectName(QString::fromLatin1(name));
    if (index >= 0) {
        widget->setProperty("index", index);
    }
    ui_->order.emplace_back(name);
    auto& slot = ui_->controls[widget->objectName()];
    if (index >= 0) {
        if (slot.size() <= static_cast<std::size_t>(index)) {
            slot.resize(static_cast<std::size_t>(index) + 1, nullptr);
        }
        slot[static_cast<std::size_t>(index)] = widget;
    } else {
        slot.assign(1, widget);
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        // Enter in a number box must not start a chart run.
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void frmKartoplot::buildUi() {
    ui_->controls.clear();
    ui_->order.clear();
    ui_->content = new QWidget(this);
    ui_->content->setObjectName(QStringLiteral("frmKartoplotContent"));
    auto* outer = new QVBoxLayout(ui_->content);
    outer->setContentsMargins(0, 0, 0, 0);

    auto* tabs = new QTabWidget(ui_->content);
    ui_->SSTab = tabs;
    registerControl(tabs, "SSTab");
    const char* const pageNames[] = {"Общее", "Диаграмма", "Легенда", "Утилиты"};
    for (const char* pageName : pageNames) {
        auto* page = new QWidget(tabs);
        tabs->addTab(page, QString::fromUtf8(pageName));
    }
    buildMainTab(tabs->widget(0));
    buildChartTab(tabs->widget(1));
    buildLegendTab(tabs->widget(2));
    buildToolsTab(tabs->widget(3));
    outer->addWidget(tabs, 1);

    auto* bottom = new QHBoxLayout;
    auto* languageLabel = new QLabel(QStringLiteral("Язык / Language"), ui_->content);
    ui_->CmbLanguage = new QComboBox(ui_->content);
    registerControl(ui_->CmbLanguage, "CmbLanguage");
    ui_->CmbLanguage->addItem(QString::fromUtf8(language::kRussian.data(),
                                                static_cast<qsizetype>(language::kRussian.size())));
    ui_->CmbLanguage->addItem(QStringLiteral("English"));
    bottom->addWidget(languageLabel);
    bottom->addWidget(ui_->CmbLanguage);
    bottom->addStretch(1);
    const char* const okCaptions[] = {"ОК", "Обновить"};
    const char* const okTips[] = {"построить новые диаграммы", "обновить диаграммы"};
    for (int i = 0; i < 2; ++i) {
        auto* ok = new QPushButton(QString::fromUtf8(okCaptions[i]), ui_->content);
        ok->setToolTip(QString::fromUtf8(okTips[i]));
        ok->setMinimumWidth(88);
        registerControl(ok, "CmdOK", i);
        ui_->CmdOK[static_cast<std::size_t>(i)] = ok;
        bottom->addWidget(ok);
    }
    ui_->CmdCancel = new QPushButton(QStringLiteral("Скрыть"), ui_->content);
    ui_->CmdCancel->setMinimumWidth(88);
    registerControl(ui_->CmdCancel, "CmdCancel");
    bottom->addWidget(ui_->CmdCancel);
    outer->addLayout(bottom);

    layout()->addWidget(ui_->content);
    tabs->setCurrentIndex(0);
}

void frmKartoplot::buildMainTab(QWidget* page) {
    Ui& u = *ui_;
    auto* column = new QVBoxLayout(page);

    // Layer, key field and feature scope.
    u.Frame7 = new QGroupBox(QStringLiteral("Объекты"), page);
    registerControl(u.Frame7, "Frame7");
    auto* layerGrid = new QGridLayout(u.Frame7);
    u.LblLayers = new QLabel(QStringLiteral("Слой"), u.Frame7);
    registerControl(u.LblLayers, "LblLayers");
    u.CmbLayers = new QComboBox(u.Frame7);
    registerControl(u.CmbLayers, "CmbLayers");
    u.CmbLayers->setMinimumWidth(220);
    u.CmdRefreshLayers = new QPushButton(u.Frame7);
    registerControl(u.CmdRefreshLayers, "CmdRefreshLayers");
    u.CmdRefreshLayers->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    u.CmdRefreshLayers->setToolTip(QStringLiteral("обновить список слоёв"));
    u.LblKey = new QLabel(QStringLiteral("Ключевое поле"), u.Frame7);
    registerControl(u.LblKey, "LblKey");
    u.CmbKey = new QComboBox(u.Frame7);
    registerControl(u.CmbKey, "CmbKey");
    u.OpAllObjectsGroup = new QButtonGroup(u.Frame7);
    const char* const scope[] = {"все", "выбранные"};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(QString::fromUtf8(scope[i]), u.Frame7);
        registerControl(option, "OpAllObjects", i);
        u.OpAllObjects[static_cast<std::size_t>(i)] = option;
        u.OpAllObjectsGroup->addButton(option, i);
    }
    u.OpAllObjects[0]->setChecked(true);
    layerGrid->addWidget(u.LblLayers, 0, 0);
    layerGrid->addWidget(u.CmbLayers, 0, 1);
    layerGrid->addWidget(u.CmdRefreshLayers, 0, 2);
    layerGrid->addWidget(u.OpAllObjects[0], 0, 3);
    layerGrid->addWidget(u.LblKey, 1, 0);
    layerGrid->addWidget(u.CmbKey, 1, 1);
    layerGrid->addWidget(u.OpAllObjects[1], 1, 3);
    layerGrid->setColumnStretch(1, 1);
    column->addWidget(u.Frame7);

    // Available fields, the move buttons and the chart fields.
    u.Frame1 = new QGroupBox(QStringLiteral("Поля диаграммы"), page);
    registerControl(u.Frame1, "Frame1");
    auto* fieldsRow = new QHBoxLayout(u.Frame1);
    u.LstFields = new QTreeWidget(u.Frame1);
    registerControl(u.LstFields, "LstFields");
    u.LstFields->setColumnCount(2);
    u.LstFields->setHeaderHidden(true);
    u.LstFields->setRootIsDecorated(false);
    u.LstFields->setSelectionMode(QAbstractItemView::ExtendedSelection);
    u.LstFields->header()->setStretchLastSection(false);
    u.LstFields->header()->setSectionResizeMode(kAvailName, QHeaderView::Stretch);
    u.LstFields->setColumnWidth(kAvailPosition, 36);
    u.LstFields->setMinimumWidth(150);
    fieldsRow->addWidget(u.LstFields, 2);

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    u.CmdFieldsTo = new QPushButton(QStringLiteral(">"), u.Frame1);
    registerControl(u.CmdFieldsTo, "CmdFieldsTo");
    u.CmdFieldsBack = new QPushButton(QStringLiteral("<"), u.Frame1);
    registerControl(u.CmdFieldsBack, "CmdFieldsBack");
    u.CmdFieldsBackAll = new QPushButton(QStringLiteral("<<"), u.Frame1);
    registerControl(u.CmdFieldsBackAll, "CmdFieldsBackAll");
    u.CmdRandomStyles = new QPushButton(QStringLiteral("R"), u.Frame1);
    registerControl(u.CmdRandomStyles, "CmdRandomStyles");
    u.CmdRandomStyles->setToolTip(QStringLiteral("случайные цвета"));
    for (QPushButton* b : {u.CmdFieldsTo, u.CmdFieldsBack, u.CmdFieldsBackAll, u.CmdRandomStyles}) {
        b->setFixedWidth(36);
        moves->addWidget(b);
    }
    moves->addStretch(1);
    fieldsRow->addLayout(moves);

    u.LstViewFields = new QTreeWidget(u.Frame1);
    registerControl(u.LstViewFields, "LstViewFields");
    u.LstViewFields->setColumnCount(kFieldColumnCount);
    u.LstViewFields->setHeaderLabels({QStringLiteral("легенда"), QStringLiteral("поля"),
                                      QStringLiteral("FID"), QStringLiteral("поля легенды"),
                                      QStringLiteral("FIDOld"), QStringLiteral("SymbolID")});
    u.LstViewFields->setRootIsDecorated(false);
    u.LstViewFields->setSelectionMode(QAbstractItemView::ExtendedSelection);
    u.LstViewFields->setIconSize(chartFields_.swatchSize());
    u.LstViewFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
    u.LstViewFields->setContextMenuPolicy(Qt::CustomContextMenu);
    u.LstViewFields->header()->setSectionsClickable(true);
    u.LstViewFields->setColumnWidth(kColSymbol, kPictureWidth + 24);
    u.LstViewFields->setColumnWidth(kColFields, 110);
    u.LstViewFields->setColumnWidth(kColFieldsID, 36);
    u.LstViewFields->setColumnWidth(kColFieldsOld, 90);
    u.LstViewFields->setColumnWidth(kColFIDOld, 50);
    u.LstViewFields->setColumnWidth(kColSymbolID, 60);
    // Legend bookkeeping columns stay out of sight until a legend is loaded.
    u.LstViewFields->setColumnHidden(kColFIDOld, true);
    u.LstViewFields->setColumnHidden(kColSymbolID, true);
    u.LstViewFields->setMinimumWidth(260);
    fieldsRow->addWidget(u.LstViewFields, 3);

    u.mnuChangeSymbol = new QMenu(u.LstViewFields);
    u.mnuChangeSymbol->setObjectName(QStringLiteral("mnuChangeSymbol"));
    u.mnuChangeSymbol->setTitle(QStringLiteral("ChangeSymbol"));
    u.mnuAllElements = u.mnuChangeSymbol->addAction(QStringLiteral("All Elements"));
    u.mnuAllElements->setObjectName(QStringLiteral("mnuAllElements"));
    u.mnuSelectedElements = u.mnuChangeSymbol->addAction(QStringLiteral("SelectedElements"));
    u.mnuSelectedElements->setObjectName(QStringLiteral("mnuSelectedElements"));

    auto* upDown = new QVBoxLayout;
    upDown->addStretch(1);
    const QStyle::StandardPixmap arrows[] = {QStyle::SP_ArrowUp, QStyle::SP_ArrowDown};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QPushButton(u.Frame1);
        b->setIcon(style()->standardIcon(arrows[i]));
        b->setFixedWidth(30);
        registerControl(b, "CmdUpDown", i);
        u.CmdUpDown[static_cast<std::size_t>(i)] = b;
        upDown->addWidget(b);
    }
    upDown->addStretch(1);
    fieldsRow->addLayout(upDown);
    column->addWidget(u.Frame1, 1);

    // Value range and sizes.
    u.Frame2 = new QGroupBox(QStringLiteral("Диапазон значений и размер"), page);
    registerControl(u.Frame2, "Frame2");
    auto* range = new QGridLayout(u.Frame2);
    u.LblMinValue = new QLabel(QStringLiteral("Мин.значение по модулю"), u.Frame2);
    registerControl(u.LblMinValue, "LblMinValue");
    u.TxtMinValue = numberBox(new QLineEdit(QStringLiteral("0.5"), u.Frame2), 90);
    registerControl(u.TxtMinValue, "TxtMinValue");
    u.CmdCalcMin = new QPushButton(u.Frame2);
    u.CmdCalcMin->setIcon(textIcon(QStringLiteral("min")));
    registerControl(u.CmdCalcMin, "CmdCalcMin");
    u.CmdCalcMin->setToolTip(QStringLiteral("минимум выбранных полей"));
    u.LblMaxValue = new QLabel(QStringLiteral("Макс.значение по модулю"), u.Frame2);
    registerControl(u.LblMaxValue, "LblMaxValue");
    u.TxtMaxValue = numberBox(new QLineEdit(QStringLiteral("8"), u.Frame2), 90);
    registerControl(u.TxtMaxValue, "TxtMaxValue");
    u.CmdCalcMax = new QPushButton(u.Frame2);
    u.CmdCalcMax->setIcon(textIcon(QStringLiteral("max")));
    registerControl(u.CmdCalcMax, "CmdCalcMax");
    u.CmdCalcMax->setToolTip(QStringLiteral("максимум выбранных полей"));
    u.LblMinValueMM = new QLabel(QStringLiteral("Высота мин. значения, мм"), u.Frame2);
    registerControl(u.LblMinValueMM, "LblMinValueMM");
    u.TxtMinValueMM = numberBox(new QLineEdit(QStringLiteral("1"), u.Frame2));
    registerControl(u.TxtMinValueMM, "TxtMinValueMM");
    u.TglBtnLockMin = new QToolButton(u.Frame2);
    registerControl(u.TglBtnLockMin, "TglBtnLockMin");
    u.TglBtnLockMin->setCheckable(true);
    u.TglBtnLockMin->setToolTip(QStringLiteral("зафиксировать масштаб"));
    u.TglBtnLockMin->setIconSize(QSize(16, 16));
    u.LblChartMarkerSize = new QLabel(QStringLiteral("Размер диаграммы, пт"), u.Frame2);
    registerControl(u.LblChartMarkerSize, "LblChartMarkerSize");
    u.TxtChartMarkerSize = numberBox(new QLineEdit(QStringLiteral("45"), u.Frame2));
    registerControl(u.TxtChartMarkerSize, "TxtChartMarkerSize");
    u.SpinBtnChartSize = new SpinButton(u.Frame2);
    registerControl(u.SpinBtnChartSize, "SpinBtnChartSize");
    u.SpinBtnChartSize->setRange(0, kSpinMaximum);
    u.SpinBtnChartSize->setValue(45);
    u.Label4 = new QLabel(QStringLiteral("Размер"), u.Frame2);
    registerControl(u.Label4, "Label4");
    u.TxtChartMarkerSizeMM = numberBox(new QLineEdit(QStringLiteral("15,9"), u.Frame2));
    registerControl(u.TxtChartMarkerSizeMM, "TxtChartMarkerSizeMM");
    u.TxtChartMarkerSizeMM->setReadOnly(true);
    auto* millimetres = new QLabel(QStringLiteral("mm"), u.Frame2);

    range->addWidget(u.LblMinValue, 0, 0);
    range->addWidget(u.TxtMinValue, 0, 1);
    range->addWidget(u.CmdCalcMin, 0, 2);
    range->addWidget(u.LblMinValueMM, 0, 4);
    range->addWidget(u.TxtMinValueMM, 0, 5);
    range->addWidget(u.TglBtnLockMin, 0, 6);
    range->addWidget(u.LblMaxValue, 1, 0);
    range->addWidget(u.TxtMaxValue, 1, 1);
    range->addWidget(u.CmdCalcMax, 1, 2);
    range->addWidget(u.LblChartMarkerSize, 1, 4);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->setSpacing(2);
    sizeRow->addWidget(u.TxtChartMarkerSize);
    sizeRow->addWidget(u.SpinBtnChartSize);
    sizeRow->addSpacing(12);
    sizeRow->addWidget(u.Label4);
    sizeRow->addWidget(u.TxtChartMarkerSizeMM);
    sizeRow->addWidget(millimetres);
    range->addLayout(sizeRow, 1, 5, 1, 3);
    range->setColumnMinimumWidth(3, 16);
    range->setColumnStretch(8, 1);
    column->addWidget(u.Frame2);

    // Run mode.
    u.Frame4 = new QGroupBox(QStringLiteral("Режим"), page);
    registerControl(u.Frame4, "Frame4");
    auto* mode = new QHBoxLayout(u.Frame4);
    u.OpChartModeGroup = new QButtonGroup(u.Frame4);
    const char* const modes[] = {"Создать", "Обновить"};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(QString::fromUtf8(modes[i]), u.Frame4);
        registerControl(option, "OpChartMode", i);
        u.OpChartMode[static_cast<std::size_t>(i)] = option;
        u.OpChartModeGroup->addButton(option, i);
        mode->addWidget(option);
    }
    u.OpChartMode[0]->setChecked(true);
    mode->addSpacing(16);
    u.CmbOldChartLayer = new QComboBox(u.Frame4);
    registerControl(u.CmbOldChartLayer, "CmbOldChartLayer");
    u.CmbOldChartLayer->setToolTip(QStringLiteral("слой старых диаграмм"));
    u.CmbOldChartLayer->setMinimumWidth(200);
    u.CmbOldChartLayer->setEnabled(false);
    mode->addWidget(u.CmbOldChartLayer, 1);
    column->addWidget(u.Frame4);
}

void frmKartoplot::buildChartTab(QWidget* page) {
    Ui& u = *ui_;
    auto* grid = new QGridLayout(page);

    // Placement: a compass of option buttons around the marker, then the two recreate-only ones.
    u.FrameChartPosition = new QGroupBox(QStringLiteral("положение относительно маркера - "), page);
    registerControl(u.FrameChartPosition, "FrameChartPosition");
    auto* compass = new QGridLayout(u.FrameChartPosition);
    struct Cell {
        int index;
        int row;
        int col;
        const char* caption;
    };
    const Cell cells[] = {
        {6, 0, 0, "СЗ"},      {4, 0, 2, "С"},        {2, 0, 4, "СВ"},
        {7, 1, 1, "СЗ круг"}, {3, 1, 3, "СВ круг"},
        {8, 2, 0, "З"},       {0, 2, 2, "Центр"},    {1, 2, 4, "В"},
        {9, 3, 1, "ЮЗ круг"}, {12, 3, 3, "ЮВ круг"},
        {10, 4, 0, "ЮЗ"},     {11, 4, 2, "Ю"},       {13, 4, 4, "ЮВ"},
    };
    u.OpChartPositionGroup = new QButtonGroup(u.FrameChartPosition);
    for (const Cell& c : cells) {
        auto* option = new QRadioButton(QString::fromUtf8(c.caption), u.FrameChartPosition);
        registerControl(option, "OpChartPosition", c.index);
        u.OpChartPosition[static_cast<std::size_t>(c.index)] = option;
        compass->addWidget(option, c.row, c.col, Qt::AlignCenter);
    }
    const Cell recreateOnly[] = {{kPlacementOld, 5, 0, "Старое местоположение"},
                                 {kPlacementOverOld, 6, 0, "Поверх старых диаграмм на слое"}};
    for (const Cell& c : recreateOnly) {
        auto* option = new QRadioButton(QString::fromUtf8(c.caption), u.FrameChartPosition);
        registerControl(option, "OpChartPosition", c.index);
        u.OpChartPosition[static_cast<std::size_t>(c.index)] = option;
        option->setEnabled(false);
        compass->addWidget(option, c.row, c.col, 1, 5);
    }
    for (int i = 0; i < kPlacementOptions; ++i) {
        u.OpChartPositionGroup->addButton(u.OpChartPosition[static_cast<std::size_t>(i)], i);
    }
    u.OpChartPosition[1]->setChecked(true);
    u.LblChartPosition = new QLabel(QStringLiteral("В(направо)"), u.FrameChartPosition);
    registerControl(u.LblChartPosition, "LblChartPosition");
    u.LblChartPosition->setVisible(false);
    compass->addWidget(u.LblChartPosition, 7, 0, 1, 5);
    auto* distance = new QHBoxLayout;
    u.Label1 = new QLabel(QStringLiteral("Расстояние от маркера"), u.FrameChartPosition);
    registerControl(u.Label1, "Label1");
    u.TxtLabelDistance = numberBox(new QLineEdit(QStringLiteral("0"), u.FrameChartPosition));
    registerControl(u.TxtLabelDistance, "TxtLabelDistance");
    u.Label3 = new QLabel(QStringLiteral("map Units"), u.FrameChartPosition);
    registerControl(u.Label3, "Label3");
    distance->addWidget(u.Label1);
    distance->addWidget(u.TxtLabelDistance);
    distance->addWidget(u.Label3);
    distance->addStretch(1);
    compass->addLayout(distance, 8, 0, 1, 5);
    grid->addWidget(u.FrameChartPosition, 0, 0, 2, 1);

    // Bars: width, spacing, 3D, null value, outline and break line.
    auto* bars = new QGroupBox(page);
    bars->setObjectName(QStringLiteral("FrameBars"));
    auto* barForm = new QGridLayout(bars);
    int row = 0;
    const auto addRow = [&](QLabel* label, QWidget* field, QWidget* extra = nullptr,
                            QWidget* extra2 = nullptr) {
        barForm->addWidget(label, row, 0);
        barForm->addWidget(field, row, 1);
        if (extra != nullptr) {
            barForm->addWidget(extra, row, 2);
        }
        if (extra2 != nullptr) {
            barForm->addWidget(extra2, row, 3);
        }
        ++row;
    };
    u.LblCharWidth = new QLabel(QStringLiteral("Ширина столбца"), bars);
    registerControl(u.LblCharWidth, "LblCharWidth");
    u.TxtChartWidth = numberBox(new QLineEdit(QStringLiteral("10"), bars));
    registerControl(u.TxtChartWidth, "TxtChartWidth");
    addRow(u.LblCharWidth, u.TxtChartWidth);
    u.lblChartSpacing = new QLabel(QStringLiteral("Зазор между столбцами"), bars);
    registerControl(u.lblChartSpacing, "lblChartSpacing");
    u.txtChartSpacing = numberBox(new QLineEdit(QStringLiteral("0"), bars));
    registerControl(u.txtChartSpacing, "txtChartSpacing");
    addRow(u.lblChartSpacing, u.txtChartSpacing);
    u.Chk3D = new QCheckBox(QStringLiteral("Объемная диаграмма (3D)"), bars);
    registerControl(u.Chk3D, "Chk3D");
    barForm->addWidget(u.Chk3D, row, 0, 1, 3);
    ++row;
    u.Lbl3DThickness = new QLabel(QStringLiteral("Глубина 3D"), bars);
    registerControl(u.Lbl3DThickness, "Lbl3DThickness");
    u.Txt3DThickness = numberBox(new QLineEdit(QStringLiteral("5"), bars));
    registerControl(u.Txt3DThickness, "Txt3DThickness");
    u.Txt3DThickness->setToolTip(QStringLiteral("3D глубина"));
    addRow(u.Lbl3DThickness, u.Txt3DThickness);
    u.Label2 = new QLabel(QStringLiteral("Значение для NULL"), bars);
    registerControl(u.Label2, "Label2");
    u.TxtNullValue = numberBox(new QLineEdit(QStringLiteral("0"), bars));
    registerControl(u.TxtNullValue, "TxtNullValue");
    addRow(u.Label2, u.TxtNullValue);
    u.lblChartBorder = new QLabel(QStringLiteral("Контур"), bars);
    registerControl(u.lblChartBorder, "lblChartBorder");
    u.TxtOutlineWidth = numberBox(new QLineEdit(QStringLiteral("0,5"), bars), kShortBoxWidth);
    registerControl(u.TxtOutlineWidth, "TxtOutlineWidth");
    u.CmdDiagrOutLine = pictureButton(new QPushButton(bars));
    registerControl(u.CmdDiagrOutLine, "CmdDiagrOutLine");
    u.CmdOutlineColor = new QPushButton(bars);
    registerControl(u.CmdOutlineColor, "CmdOutlineColor");
    u.CmdOutlineColor->setFixedSize(kColorButtonWidth, kPictureButtonHeight);
    addRow(u.lblChartBorder, u.TxtOutlineWidth, u.CmdDiagrOutLine, u.CmdOutlineColor);
    u.lblZigZag = new QLabel(QStringLiteral("Знак разрыва"), bars);
    registerControl(u.lblZigZag, "lblZigZag");
    u.CmdZigZagLine = pictureButton(new QPushButton(bars));
    registerControl(u.CmdZigZagLine, "CmdZigZagLine");
    barForm->addWidget(u.lblZigZag, row, 0);
    barForm->addWidget(u.CmdZigZagLine, row, 2);
    ++row;
    barForm->setColumnStretch(4, 1);
    barForm->setRowStretch(row, 1);
    grid->addWidget(bars, 0, 1);

    // Leaders.
    auto* leaders = new QGroupBox(page);
    leaders->setObjectName(QStringLiteral("FrameLeaders"));
    auto* leaderRow = new QHBoxLayout(leaders);
    u.ChkShowLeader = new QCheckBox(QStringLiteral("Показывать выноски"), leaders);
    registerControl(u.ChkShowLeader, "ChkShowLeader");
    u.ChkShowLeader->setChecked(true);
    u.TxtLeaderWidth = numberBox(new QLineEdit(QStringLiteral("0,5"), leaders), kShortBoxWidth);
    registerControl(u.TxtLeaderWidth, "TxtLeaderWidth");
    u.CmdLeaderLine = pictureButton(new QPushButton(leaders));
    registerControl(u.CmdLeaderLine, "CmdLeaderLine");
    u.CmdLeaderColor = new QPushButton(leaders);
    registerControl(u.CmdLeaderColor, "CmdLeaderColor");
    u.CmdLeaderColor->setFixedSize(kColorButtonWidth, kPictureButtonHeight);
    leaderRow->addWidget(u.ChkShowLeader);
    leaderRow->addStretch(1);
    leaderRow->addWidget(u.TxtLeaderWidth);
    leaderRow->addWidget(u.CmdLeaderLine);
    leaderRow->addWidget(u.CmdLeaderColor);
    grid->addWidget(leaders, 1, 1);

    // Value labels.
    u.FrameLabelDiagramm = new QGroupBox(QStringLiteral("Подписи"), page);
    registerControl(u.FrameLabelDiagramm, "FrameLabelDiagramm");
    auto* labels = new QGridLayout(u.FrameLabelDiagramm);
    u.ChkLabelDiagramm = new QCheckBox(QStringLiteral("Подписывать значения"), u.FrameLabelDiagramm);
    registerControl(u.ChkLabelDiagramm, "ChkLabelDiagramm");
    u.ChkLabelDiagramm->setChecked(true);
    u.CmdLabelTextSymbol = pictureButton(new QPushButton(u.FrameLabelDiagramm));
    registerControl(u.CmdLabelTextSymbol, "CmdLabelTextSymbol");
    u.LblFontName = new QLabel(QStringLiteral("Шрифт"), u.FrameLabelDiagramm);
    registerControl(u.LblFontName, "LblFontName");
    u.TxtFontName = new QLineEdit(QStringLiteral("Arial Narrow"), u.FrameLabelDiagramm);
    registerControl(u.TxtFontName, "TxtFontName");
    u.TxtFontSize = numberBox(new QLineEdit(QStringLiteral("6"), u.FrameLabelDiagramm), kShortBoxWidth);
    registerControl(u.TxtFontSize, "TxtFontSize");
    u.CmdFont = new QPushButton(QStringLiteral("..."), u.FrameLabelDiagramm);
    registerControl(u.CmdFont, "CmdFont");
    u.CmdFont->setFixedWidth(32);
    u.LblSignNumber = new QLabel(QStringLiteral("Значащих цифр"), u.FrameLabelDiagramm);
    registerControl(u.LblSignNumber, "LblSignNumber");
    u.TxtSignNumber = numberBox(new QLineEdit(QStringLiteral("3"), u.FrameLabelDiagramm), kShortBoxWidth);
    registerControl(u.TxtSignNumber, "TxtSignNumber");
    u.LblMinLabelValue = new QLabel(QStringLiteral("не подписывать значения меньше"), u.FrameLabelDiagramm);
    registerControl(u.LblMinLabelValue, "LblMinLabelValue");
    u.TxtMinLabelValue = numberBox(new QLineEdit(QStringLiteral("0,1"), u.FrameLabelDiagramm), kShortBoxWidth);
    registerControl(u.TxtMinLabelValue, "TxtMinLabelValue");
    labels->addWidget(u.ChkLabelDiagramm, 0, 0, 1, 2);
    labels->addWidget(u.CmdLabelTextSymbol, 0, 3);
    labels->addWidget(u.LblFontName, 1, 0);
    labels->addWidget(u.TxtFontName, 1, 1);
    labels->addWidget(u.TxtFontSize, 1, 2);
    labels->addWidget(u.CmdFont, 1, 3, Qt::AlignLeft);
    labels->addWidget(u.LblSignNumber, 2, 0);
    labels->addWidget(u.TxtSignNumber, 2, 2);
    labels->addWidget(u.LblMinLabelValue, 3, 0, 1, 2);
    labels->addWidget(u.TxtMinLabelValue, 3, 2);
    labels->setColumnStretch(1, 1);
    grid->addWidget(u.FrameLabelDiagramm, 2, 0, 1, 2);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
}

void frmKartoplot::buildLegendTab(QWidget* page) {
    Ui& u = *ui_;
    auto* grid = new QGridLayout(page);

    auto* layoutLegend = new QGroupBox(page);
    layoutLegend->setObjectName(QStringLiteral("FrameLayoutLegend"));
    auto* form = new QGridLayout(layoutLegend);
    int row = 0;
    const auto pair = [&](QLabel*& label, const char* labelName, const char* caption,
                          QLineEdit*& box, const char* boxName, const char* value) {
        label = new QLabel(QString::fromUtf8(caption), layoutLegend);
        registerControl(label, labelName);
        box = numberBox(new QLineEdit(QString::fromUtf8(value), layoutLegend));
        registerControl(box, boxName);
        form->addWidget(label, row, 0);
        form->addWidget(box, row, 1);
        ++row;
    };
    pair(u.lblLegendWidth, "lblLegendWidth", "ширина", u.txtLegendWidth, "txtLegendWidth", "28");
    pair(u.lblLegendHeight, "lblLegendHeight", "высота", u.txtLegendHeight, "txtLegendHeight", "14");
    pair(u.lblLegendZazorW, "lblLegendZazorW", "отступ текста", u.txtLegendZazorW, "txtLegendZazorW", "5");
    pair(u.lblLegendZazorH, "lblLegendZazorH", "зазор по вертикали", u.txtLegendZazorH,
         "txtLegendZazorH", "5");
    pair(u.lblLegendPrefix, "lblLegendPrefix", "префикс", u.txtLegendPrefix, "txtLegendPrefix", "- ");
    u.txtLegendPrefix->setAlignment(Qt::AlignLeft);
    u.lblAddMinMax = new QLabel(QStringLiteral("подписывать"), layoutLegend);
    registerControl(u.lblAddMinMax, "lblAddMinMax");
    u.ChkAddLegendMin = new QCheckBox(QStringLiteral("min"), layoutLegend);
    registerControl(u.ChkAddLegendMin, "ChkAddLegendMin");
    u.ChkAddLegendMax = new QCheckBox(QStringLiteral("max"), layoutLegend);
    registerControl(u.ChkAddLegendMax, "ChkAddLegendMax");
    form->addWidget(u.lblAddMinMax, row, 0);
    form->addWidget(u.ChkAddLegendMin, row, 1);
    form->addWidget(u.ChkAddLegendMax, row, 2);
    ++row;
    u.lblAddSuffix = new QLabel(QStringLiteral("суффикс"), layoutLegend);
    registerControl(u.lblAddSuffix, "lblAddSuffix");
    u.txtLegendSuffixMin = numberBox(new QLineEdit(QStringLiteral("мин."), layoutLegend));
    registerControl(u.txtLegendSuffixMin, "txtLegendSuffixMin");
    u.txtLegendSuffixMax = numberBox(new QLineEdit(QStringLiteral("макс."), layoutLegend));
    registerControl(u.txtLegendSuffixMax, "txtLegendSuffixMax");
    u.txtLegendSuffixMin->setEnabled(false);
    u.txtLegendSuffixMax->setEnabled(false);
    form->addWidget(u.lblAddSuffix, row, 0);
    form->addWidget(u.txtLegendSuffixMin, row, 1);
    form->addWidget(u.txtLegendSuffixMax, row, 2);
    ++row;
    u.LblLegendTextSymbol = new QLabel(QStringLiteral("подпись"), layoutLegend);
    registerControl(u.LblLegendTextSymbol, "LblLegendTextSymbol");
    u.CmdLegendTextSymbol = pictureButton(new QPushButton(layoutLegend));
    registerControl(u.CmdLegendTextSymbol, "CmdLegendTextSymbol");
    form->addWidget(u.LblLegendTextSymbol, row, 0);
    form->addWidget(u.CmdLegendTextSymbol, row, 1);
    ++row;
    u.CmdCreateLegend = new QPushButton(QStringLiteral("добавить легенду в Layout"), layoutLegend);
    registerControl(u.CmdCreateLegend, "CmdCreateLegend");
    u.CmdCreateLegend->setToolTip(QStringLiteral("добавить легенду в Layout"));
    form->addWidget(u.CmdCreateLegend, row, 0, 1, 3);
    ++row;
    form->setRowStretch(row, 1);
    form->setColumnStretch(3, 1);
    grid->addWidget(layoutLegend, 0, 0);

    u.LstViewLegend = new QTreeWidget(page);
    registerControl(u.LstViewLegend, "LstViewLegend");
    u.LstViewLegend->setColumnCount(2);
    u.LstViewLegend->setHeaderLabels({QStringLiteral("Подпись в легенде"), QStringLiteral("Поле")});
    u.LstViewLegend->setRootIsDecorated(false);
    u.LstViewLegend->setColumnWidth(kLegendLabel, 170);
    u.LstViewLegend->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    grid->addWidget(u.LstViewLegend, 0, 1);

    u.Frame6 = new QGroupBox(QStringLiteral("Файл легенды"), page);
    registerControl(u.Frame6, "Frame6");
    auto* files = new QGridLayout(u.Frame6);
    u.CmdSaveLegend = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton),
                                      QStringLiteral("Сохранение диаграммы в легенду"), u.Frame6);
    registerControl(u.CmdSaveLegend, "CmdSaveLegend");
    u.TxtLegendFile = new QLineEdit(u.Frame6);
    registerControl(u.TxtLegendFile, "TxtLegendFile");
    u.CmdLegendFileName = new QPushButton(QStringLiteral("..."), u.Frame6);
    registerControl(u.CmdLegendFileName, "CmdLegendFileName");
    u.CmdLegendFileName->setFixedWidth(32);
    u.ChkLoadLegend = new QCheckBox(QStringLiteral("*.leg / *.lyr"), u.Frame6);
    registerControl(u.ChkLoadLegend, "ChkLoadLegend");
    u.CmdLoadLegend = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
                                      QStringLiteral("Загрузить легенду"), u.Frame6);
    registerControl(u.CmdLoadLegend, "CmdLoadLegend");
    u.ChkAutoMapping = new QCheckBox(QStringLiteral("Автоматический выбор полей"), u.Frame6);
    registerControl(u.ChkAutoMapping, "ChkAutoMapping");
    u.ChkAutoMapping->setChecked(true);
    u.ChkSkipPropPage = new QCheckBox(QStringLiteral("Пропускать настройку диаграмм"), u.Frame6);
    registerControl(u.ChkSkipPropPage, "ChkSkipPropPage");
    u.ChkSkipPropPage->setChecked(true);
    u.ChkSaveLyrFile = new QCheckBox(QStringLiteral("Сохранять легенду в *.Lyr"), u.Frame6);
    registerControl(u.ChkSaveLyrFile, "ChkSaveLyrFile");
    auto* legendButtons = new QHBoxLayout;
    legendButtons->addWidget(u.CmdSaveLegend);
    legendButtons->addWidget(u.CmdLoadLegend);
    legendButtons->addStretch(1);
    files->addLayout(legendButtons, 0, 0, 1, 3);
    files->addWidget(u.ChkLoadLegend, 1, 0);
    files->addWidget(u.TxtLegendFile, 1, 1);
    files->addWidget(u.CmdLegendFileName, 1, 2);
    files->addWidget(u.ChkAutoMapping, 3, 0, 1, 3);
    files->addWidget(u.ChkSkipPropPage, 4, 0, 1, 3);
    files->addWidget(u.ChkSaveLyrFile, 5, 0, 1, 3);
    files->setColumnStretch(1, 1);
    grid->addWidget(u.Frame6, 1, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(0, 1);
}

void frmKartoplot::buildToolsTab(QWidget* page) {
    Ui& u = *ui_;
    auto* column = new QVBoxLayout(page);

    u.Frame5 = new QGroupBox(QStringLiteral("Файлы и инструменты"), page);
    registerControl(u.Frame5, "Frame5");
    auto* tools = new QGridLayout(u.Frame5);
    struct Tool {
        QPushButton** button;
        const char* name;
        QStyle::StandardPixmap icon;
        const char* caption;
    };
    const Tool list[] = {
        {&u.CmdLoadParam, "CmdLoadParam", QStyle::SP_DialogOpenButton, "Загрузить параметры"},
        {&u.CmdSaveParam, "CmdSaveParam", QStyle::SP_DialogSaveButton, "Сохранить параметры"},
        {&u.CmdLoadGraphicsLayerFromFile, "CmdLoadGraphicsLayerFromFile", QStyle::SP_DirOpenIcon,
         "Загрузить слой аннотаций из файла"},
        {&u.CmdSaveGraphicsLayerToFile, "CmdSaveGraphicsLayerToFile", QStyle::SP_DriveFDIcon,
         "Сохранить аннотации в файл"},
        {&u.CmdRemoveLabels, "CmdRemoveLabels", QStyle::SP_DialogDiscardButton,
         "Удаление подписей диаграмм"},
        {&u.CmdIdentityGraphics, "CmdIdentityGraphics", QStyle::SP_MessageBoxInformation, "Информация"},
        {&u.CmdMultyFieldsDelete, "CmdMultyFieldsDelete", QStyle::SP_TrashIcon,
         "Удаление нескольких полей одновременно"},
    };
    int i = 0;
    for (const Tool& t : list) {
        auto* b = new QPushButton(style()->standardIcon(t.icon), QString(), u.Frame5);
        b->setToolTip(QString::fromUtf8(t.caption));
        b->setIconSize(QSize(kToolIconSize, kToolIconSize));
        b->setFixedSize(kToolIconSize + 20, kToolIconSize + 16);
        registerControl(b, t.name);
        *t.button = b;
        auto* label = new QLabel(QString::fromUtf8(t.caption), u.Frame5);
        label->setToolTip(QString::fromUtf8(t.caption));
        label->setWordWrap(true);
        u.toolLabels.emplace_back(b, label);
        tools->addWidget(b, i / 2, (i % 2) * 2);
        tools->addWidget(label, i / 2, (i % 2) * 2 + 1);
        ++i;
    }
    tools->setColumnStretch(1, 1);
    tools->setColumnStretch(3, 1);
    column->addWidget(u.Frame5);

    auto* mail = new QGroupBox(page);
    mail->setObjectName(QStringLiteral("FrameMail"));
    auto* mailColumn = new QVBoxLayout(mail);
    u.TxtMailBody = new QPlainTextEdit(mail);
    registerControl(u.TxtMailBody, "TxtMailBody");
    u.CmdMailTo = new QPushButton(QStringLiteral("Отправить письмо"), mail);
    registerControl(u.CmdMailTo, "CmdMailTo");
    mailColumn->addWidget(u.TxtMailBody, 1);
    mailColumn->addWidget(u.CmdMailTo, 0, Qt::AlignRight);
    column->addWidget(mail, 1);
}

}  // namespace kartoplot::dialog
