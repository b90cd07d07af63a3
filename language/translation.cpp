#include "language/translation.h"

#include "errors/error_handling.h"
#include "language/messages.h"

#include <optional>
#include <ostream>
#include <set>

namespace kartoplot::language {

namespace {

// ---- Building blocks of the tables -------------------------------------------------------

constexpr TranslatedText caption(std::string_view russian, std::string_view english) {
    return {TextProperty::Caption, 0, russian, english};
}

constexpr TranslatedText toolTip(std::string_view russian, std::string_view english) {
    return {TextProperty::ToolTip, 0, russian, english};
}

constexpr TranslatedText elementCaption(int element, std::string_view russian,
                                        std::string_view english) {
    return {TextProperty::ElementCaption, element, russian, english};
}

constexpr TranslatedText elementToolTip(int element, std::string_view russian,
                                        std::string_view english) {
    return {TextProperty::ElementToolTip, element, russian, english};
}

constexpr TranslatedText tabCaption(int tab, std::string_view russian, std::string_view english) {
    return {TextProperty::TabCaption, tab, russian, english};
}

constexpr TranslatedText columnHeader(int column, std::string_view russian,
                                      std::string_view english) {
    return {TextProperty::ColumnHeader, column, russian, english};
}

constexpr TranslatedText kNoCaption = caption("", "");
constexpr TranslatedText kNoToolTip = toolTip("", "");

// Labels, check boxes and titled frames: a caption and no tooltip.
constexpr TranslationEntry captioned(std::string_view control, std::string_view russian,
                                     std::string_view english) {
    return {control, {caption(russian, english), kNoToolTip}};
}

// Buttons that show a picture: no caption, the tooltip says what they do.
constexpr TranslationEntry pictureButton(std::string_view control, std::string_view russian,
                                         std::string_view english) {
    return {control, {kNoCaption, toolTip(russian, english)}};
}

// Buttons with a caption and a tooltip.
constexpr TranslationEntry button(std::string_view control, std::string_view russianCaption,
                                  std::string_view englishCaption, std::string_view russianToolTip,
                                  std::string_view englishToolTip) {
    return {control,
            {caption(russianCaption, englishCaption), toolTip(russianToolTip, englishToolTip)}};
}

// Untitled frames and unlabelled buttons: caption and tooltip both cleared.
constexpr TranslationEntry cleared(std::string_view control) {
    return {control, {kNoCaption, kNoToolTip}};
}

// Text boxes, combo boxes and lists show a value, not a caption: only the tooltip is cleared.
constexpr TranslationEntry valueControl(std::string_view control) {
    return {control, {kNoToolTip}};
}

struct OptionCaption {
    std::string_view russian;
    std::string_view english;
};

// A group of option buttons: element i gets captions[i] and no tooltip.
template <std::size_t N>
constexpr TranslationEntry optionGroup(std::string_view control,
                                       const std::array<OptionCaption, N>& captions) {
    static_assert(2 * N <= TranslationEntry::kMaxTexts);
    std::array<TranslatedText, 2 * N> texts{};
    for (std::size_t i = 0; i < N; ++i) {
        const int element = static_cast<int>(i);
        texts[2 * i] = elementCaption(element, captions[i].russian, captions[i].english);
        texts[2 * i + 1] = elementToolTip(element, "", "");
    }
    return {control, texts};
}

// The placement options 0..13 carry the placement names of the main message table; option 5
// has a longer Russian caption than its name there, option 14 has no name there at all.
constexpr std::array<OptionCaption, 15> kPlacementOptions = {{
    {"Центр", "Center"},
    {"В (направо)", "E (right)"},
    {"СВ", "NE"},
    {"СВ круг", "NE circle"},
    {"С (наверх)", "N (top)"},
    {"Старое местоположение", "Old placement"},
    {"СЗ", "NW"},
    {"СЗ круг", "NW circle"},
    {"З (налево)", "W (left)"},
    {"ЮЗ круг", "SW cirkle"},
    {"ЮЗ", "SW"},
    {"Ю (вниз)", "S (bottom)"},
    {"ЮВ круг", "SE circle"},
    {"ЮВ", "SE"},
    {"Поверх старых диаграмм на слое", "Over old charts on Layer"},
}};

// ---- frmKartoplot -------------------------------------------------------------------------

// The order is the dialog's own and is kept: a control may have two entries (CmdUpDown, one per
// button; LstViewFields, headers first and its tooltip later), applied in this order.
constexpr TranslationEntry kMainFormEntries[] = {
    captioned("lblLegendWidth", "ширина", "Width"),
    captioned("lblLegendHeight", "высота", "Height"),
    captioned("lblLegendZazorH", "зазор по вертикали", "gap H"),
    captioned("lblLegendZazorW", "отступ текста", "gap text"),
    captioned("LblLegendTextSymbol", "подпись", "label"),
    captioned("lblLegendPrefix", "префикс", "prefix"),
    captioned("lblAddMinMax", "подписывать", "add"),
    captioned("lblAddSuffix", "суффикс", "suffix"),
    button("CmdCreateLegend", "добавить легенду в Layout", "add legend to layout",
           "добавить легенду в Layout", "add legend to layout"),
    captioned("lblZigZag", "Знак разрыва", "Break mark"),
    captioned("lblChartBorder", "Контур", "Outline"),
    captioned("lblChartSpacing", "Зазор между столбцами", "Bar spacing"),
    captioned("Chk3D", "Объемная диаграмма (3D)", "3D chart"),
    captioned("Lbl3DThickness", "Глубина 3D", "3D depth"),
    {"Txt3DThickness", {toolTip("3D глубина", "3D Thickness")}},
    pictureButton("CmdRemoveLabels", "Удаление подписей диаграмм", "Remove charts labels"),
    {"OpChartMode",
     {elementCaption(0, "Создать", "New"),
      elementToolTip(0, "построить новые диаграммы", "create new charts"),
      elementCaption(1, "Обновить", "Recreate"),
      elementToolTip(1, "обновить диаграммы", "refresh charts")}},
    pictureButton("TglBtnLockMin", "зафиксировать масштаб", "Lock scale"),
    captioned("LblMinValueMM", "Высота мин. значения, мм", "Min value height, mm"),
    optionGroup("OpChartPosition", kPlacementOptions),
    {"LstViewFields",
     {columnHeader(1, "Легенда", "Symbol"), columnHeader(2, "Поля", "Fields"),
      columnHeader(3, "Поля легенды", "Legend fields")}},
    {"LstViewLegend",
     {columnHeader(1, "Подпись в легенде", "Legend label"), columnHeader(2, "Поле", "Field")}},
    cleared("Frame4"),
    {"CmdOK",
     {elementCaption(0, "ОК", "OK"),
      elementToolTip(0, "построить новые диаграммы", "create new charts"),
      elementCaption(1, "Обновить", "Recreate"),
      elementToolTip(1, "обновить диаграммы", "refresh charts")}},
    button("CmdCancel", "Скрыть", "Hide", "скрыть окно, настройки сохранятся",
           "hide the dialog, settings are kept"),
    {"SSTab",
     {tabCaption(0, "Общее", "Main"), tabCaption(1, "Диаграмма", "Chart"),
      tabCaption(2, "Легенда", "Legend"), tabCaption(3, "Утилиты", "Tools")}},
    valueControl("TxtMailBody"),
    button("CmdMailTo", "Отправить письмо", "Send e-mail", "написать в службу поддержки",
           "write to support"),
    cleared("Frame5"),
    pictureButton("CmdLoadParam", "Загрузить параметры", "Load parameters"),
    pictureButton("CmdSaveParam", "Сохранить параметры", "Save parameters"),
    pictureButton("CmdMultyFieldsDelete", "Удаление нескольких полей одновременно",
                  "Multy Fields Delete"),
    pictureButton("CmdIdentityGraphics", "Информация", "Identity"),
    pictureButton("CmdSaveLegend", "Сохранение диаграммы в легенду",
                  "Save legend from graphic element"),
    pictureButton("CmdLoadGraphicsLayerFromFile", "Загрузить слой аннотаций из файла",
                  "Load annotation from file"),
    pictureButton("CmdSaveGraphicsLayerToFile", "Сохранить аннотации в файл",
                  "Save annotation to file"),
    cleared("FrameLabelDiagramm"),
    valueControl("TxtOutlineWidth"),
    valueControl("TxtChartMarkerSize"),
    valueControl("TxtChartWidth"),
    valueControl("TxtMinLabelValue"),
    valueControl("TxtSignNumber"),
    valueControl("TxtFontName"),
    valueControl("TxtFontSize"),
    button("CmdFont", "...", "...", "выбрать шрифт подписей", "choose the label font"),
    captioned("Label4", "Размер", "Size"),
    captioned("LblChartMarkerSize", "Размер диаграммы, пт", "Chart size, pt"),
    captioned("LblCharWidth", "Ширина столбца", "Bar width"),
    captioned("LblMinLabelValue", "не подписывать значения меньше", "No label for value less then"),
    captioned("LblSignNumber", "Значащих цифр", "Significant digits"),
    captioned("LblFontName", "Шрифт", "Font"),
    captioned("ChkLabelDiagramm", "Подписывать значения", "Label values"),
    cleared("Frame1"),
    {"CmdUpDown", {elementCaption(0, "", ""), elementToolTip(0, "", "")}},
    {"CmdUpDown", {elementCaption(1, "", ""), elementToolTip(1, "", "")}},
    pictureButton("CmdRefreshLayers", "обновить список слоев", "refresh the layer list"),
    button("CmdFieldsBackAll", "<<", "<<", "убрать все поля из диаграммы",
           "remove all fields from the chart"),
    button("CmdFieldsBack", "<", "<", "убрать выбранные поля из диаграммы",
           "remove the selected fields from the chart"),
    button("CmdFieldsTo", ">", ">", "добавить выбранные поля в диаграмму",
           "add the selected fields to the chart"),
    button("CmdRandomStyles", "R", "R", "случайные цвета", "random colors"),
    {"LstViewFields",
     {toolTip("двойной щелчок - сменить символ поля, правая кнопка - меню",
              "double-click to change the field symbol, right-click for the menu")}},
    captioned("Frame7", "Объекты", "Features"),
    optionGroup("OpAllObjects",
                std::array<OptionCaption, 2>{{{"все", "all"}, {"выбранные", "selected"}}}),
    valueControl("CmbKey"),
    captioned("LblLayers", "Слой", "Layer"),
    valueControl("CmbLayers"),
    valueControl("LstFields"),
    captioned("LblKey", "Ключевое поле", "Key field"),
    cleared("Frame2"),
    cleared("CmdCalcMin"),
    cleared("CmdCalcMax"),
    valueControl("TxtMaxValue"),
    valueControl("TxtMinValue"),
    captioned("Label2", "Значение для NULL", "NULL value"),
    captioned("LblChartPosition", "В(направо)", "W (left)"),
    captioned("LblMaxValue", "Макс.значение по модулю", "Max value modulo"),
    captioned("LblMinValue", "Мин.значение по модулю", "Min value modulo"),
    captioned("FrameChartPosition", "положение относительно маркера", "Placement near marker"),
    valueControl("TxtLabelDistance"),
    captioned("Label3", "map Units", "map Units"),
    captioned("Label1", "Расстояние от маркера", "Distance from marker"),
    cleared("Frame6"),
    button("CmdLoadLegend", "Загрузить легенду", "Load legend",
           "загрузить символы полей из файла легенды", "load the field symbols from a legend file"),
    button("CmdLegendFileName", "...", "...", "выбрать файл легенды", "choose the legend file"),
    captioned("ChkSaveLyrFile", "Сохранять легенду в *.Lyr", "Save legend to *.lyr"),
    captioned("ChkSkipPropPage", "Пропускать настройку диаграмм", "Skip charts tuning"),
    captioned("ChkAutoMapping", "Автоматический выбор полей", "Auto fields mapping"),
    valueControl("TxtLegendFile"),
    captioned("ChkShowLeader", "Показывать выноски", "Show leaders"),
};
static_assert(std::size(kMainFormEntries) == 89);

constexpr TranslationTable kMainForm{"Построение диаграмм v 4.0", "Create charts v 4.0",
                                     kMainFormEntries};

// ---- FrmOpenSaveGraphLayer ----------------------------------------------------------------

constexpr TranslationEntry kOpenSaveGraphLayerEntries[] = {
    captioned("LblLayers", "Слой графики (аннотации)", "Annotation layer"),
    captioned("ChkNewGLayer", "на новом слое", "new layer"),
    captioned("LblFileName", "Файл", "File"),
};

constexpr TranslationTable kOpenSaveGraphLayer{"Графические слои (сохранение-загрузка)",
                                               "Annotation layers (load-save)",
                                               kOpenSaveGraphLayerEntries};

// ---- FrmRelaFields ------------------------------------------------------------------------

constexpr TranslationEntry kRelaFieldsEntries[] = {
    captioned("LblFields1", "выбранные поля", "selected fields"),
    captioned("LblFields2", "Сохраненные поля легенды", "Saved legend fields"),
    captioned("Label3", "Установленное соответствие", "Relation"),
    button("CmdAuto", "A>", "A>", "Автоматическое установление соответствия", "AutoRelation"),
};

constexpr TranslationTable kRelaFields{"Выбор полей", "Select fields", kRelaFieldsEntries};

// ---- FrmMultyFieldsDelete -----------------------------------------------------------------

constexpr TranslationEntry kMultyFieldsDeleteEntries[] = {
    captioned("CmdDel", "Удалить", "Delete"),
    captioned("CmdCancel", "Отмена", "Cancel"),
};

constexpr TranslationTable kMultyFieldsDelete{"Удаление нескольких полей ", "Multi-Fields Delete",
                                              kMultyFieldsDeleteEntries};

// ---- Applying a table -----------------------------------------------------------------------

std::string describeProperty(TextProperty property, int index) {
    switch (property) {
        case TextProperty::Caption:
            return "caption";
        case TextProperty::ToolTip:
            return "tooltip";
        case TextProperty::ElementCaption:
            return "caption of element " + std::to_string(index);
        case TextProperty::ElementToolTip:
            return "tooltip of element " + std::to_string(index);
        case TextProperty::TabCaption:
            return "caption of tab " + std::to_string(index);
        case TextProperty::ColumnHeader:
            return "header of column " + std::to_string(index);
    }
    return "unknown property";
}

// Sets one text; false when the control lacks the property.
bool applyText(TranslatableForm& form, const std::string& control, const TranslatedText& text,
               const std::string& value) {
    switch (text.property) {
        case TextProperty::Caption:
            return form.setCaption(control, value);
        case TextProperty::ToolTip:
            return form.setToolTip(control, value);
        case TextProperty::ElementCaption:
            return form.setElementCaption(control, text.index, value);
        case TextProperty::ElementToolTip:
            return form.setElementToolTip(control, text.index, value);
        case TextProperty::TabCaption:
            form.setCurrentTab(control, text.index);
            return form.setTabCaption(control, text.index, value);
        case TextProperty::ColumnHeader:
            return form.setColumnHeader(control, text.index, value);
    }
    return false;
}

// Applies one entry to its control. A missing property throws HostError, after the tab
// control has been given back the tab it showed.
void applyEntry(TranslatableForm& form, const std::string& control, const TranslationEntry& entry,
                std::string_view language) {
    std::optional<int> shownTab;
    for (const TranslatedText& text : entry.texts()) {
        if (text.property == TextProperty::TabCaption && !shownTab) {
            shownTab = form.currentTab(control);
        }
        if (!applyText(form, control, text, std::string(text.forLanguage(language)))) {
            if (shownTab) {
                form.setCurrentTab(control, *shownTab);
            }
            throw HostError(
                errnum::kInvalidCall, std::string(kTranslationModule),
                "Control " + control + " has no " + describeProperty(text.property, text.index));
        }
    }
    if (shownTab) {
        form.setCurrentTab(control, *shownTab);
    }
}

}  // namespace

std::ostream& operator<<(std::ostream& out, TextProperty property) {
    switch (property) {
        case TextProperty::Caption:
            return out << "Caption";
        case TextProperty::ToolTip:
            return out << "ToolTip";
        case TextProperty::ElementCaption:
            return out << "ElementCaption";
        case TextProperty::ElementToolTip:
            return out << "ElementToolTip";
        case TextProperty::TabCaption:
            return out << "TabCaption";
        case TextProperty::ColumnHeader:
            return out << "ColumnHeader";
    }
    return out << "TextProperty(" << static_cast<int>(property) << ")";
}

std::ostream& operator<<(std::ostream& out, const TranslatedText& text) {
    out << text.property;
    if (text.property != TextProperty::Caption && text.property != TextProperty::ToolTip) {
        out << "(" << text.index << ")";
    }
    return out << " \"" << text.russian << "\" / \"" << text.english << "\"";
}

std::string_view TranslatedText::forLanguage(std::string_view language) const {
    return isRussian(language) ? russian : english;
}

std::string_view TranslationTable::captionFor(std::string_view language) const {
    return isRussian(language) ? russianCaption : englishCaption;
}

const TranslationTable& mainFormTable() {
    return kMainForm;
}

const TranslationTable& openSaveGraphLayerTable() {
    return kOpenSaveGraphLayer;
}

const TranslationTable& relaFieldsTable() {
    return kRelaFields;
}

const TranslationTable& multyFieldsDeleteTable() {
    return kMultyFieldsDelete;
}

std::vector<std::string> controlNamesOf(const TranslationTable& table) {
    std::vector<std::string> names;
    std::set<std::string_view> seen;
    for (const TranslationEntry& entry : table.entries) {
        if (seen.insert(entry.control()).second) {
            names.emplace_back(entry.control());
        }
    }
    return names;
}

bool translateForm(TranslatableForm& form, const TranslationTable& table, std::string_view language,
                   const std::string& procedureName) {
    // The trap reports procedureText(procedureName, module, 0): the name exactly as given
    // (a trailing blank included), a blank, the module, a blank.
    ErrorTrap trap(procedureName, std::string(kTranslationModule));
    return trap.run([&] {
        form.setFormCaption(std::string(table.captionFor(language)));
        std::set<std::string, std::less<>> done;
        for (const std::string& control : form.controlNames()) {
            // A control array lists its name once per element; its entries address the
            // elements by index, so they are applied once.
            if (!done.insert(control).second) {
                continue;
            }
            for (const TranslationEntry& entry : table.entries) {
                if (entry.control() == control) {
                    applyEntry(form, control, entry, language);
                }
            }
        }
    });
}

bool TranslateMainForm(TranslatableForm& form, std::string_view language) {
    return translateForm(form, kMainForm, language, "TranslateMainForm ");
}

bool TranslateOpenSaveGraphLayer(TranslatableForm& form, std::string_view language) {
    return translateForm(form, kOpenSaveGraphLayer, language, "TranslateOpenSaveGraphLayer");
}

bool TranslateRelaFields(TranslatableForm& form, std::string_view language) {
    return translateForm(form, kRelaFields, language, "TranslateRelaFields ");
}

bool TranslateMultyFieldsDelete(TranslatableForm& form, std::string_view language) {
    return translateForm(form, kMultyFieldsDelete, language, "TranslateMultyFieldsDelete ");
}

}  // namespace kartoplot::language
