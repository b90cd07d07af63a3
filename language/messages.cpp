#include "language/messages.h"

#include <span>
#include <type_traits>
#include <utility>

namespace kartoplot::language {

namespace {

// One row of a table's source: the entry and its text in each language.
template <class Id>
struct MessageText {
    Id id{};
    std::string_view russian;
    std::string_view english;
};

constexpr MessageText<SharedMessage> kSharedTexts[] = {
    {SharedMessage::AnnotationLayerNotCreated, "Не создан графический слой ",
     "Annotation layer not created "},
    {SharedMessage::NoDataForLegend, "Нет данных для сохранения легенды", "No data for legend"},
    {SharedMessage::NoDataWithElement,
     "С данным графическим элементом не сохранены требуемые данные",
     "No data was saved with this graphic element"},
    {SharedMessage::CannotDeleteAnnotationLayer, "Невозможно удалить графический слой",
     "Can't delete annotation layer"},
    {SharedMessage::AnnotationLayerNotExist, "Отсутствует графический слой ",
     "Annotation layer not exist "},
    {SharedMessage::RefreshChartsTitle, "Обновление диаграмм", "Refresh charts"},
    {SharedMessage::NoSelectedObjects, "Нет выбранных объектов", "No selected objects"},
    {SharedMessage::SaveLegendAsTitle, "Сохранить легенду как:", "Save legend as:"},
    {SharedMessage::LayerFileFilter, "Слой *.lyr|*.lyr", "Layer *.lyr|*.lyr"},
    {SharedMessage::NotChartLayerFile, "Это не файл слоя диаграмм",
     "This is not a file of chart layer"},
};

constexpr MessageText<MainFormMessage> kMainFormTexts[] = {
    {MainFormMessage::InfoTitle, "инфо# ", "info# "},
    {MainFormMessage::NoAttachedData, "Нет прикрепленных данных", "no attached data"},
    {MainFormMessage::OpenLegendFilter, "Легенда (*.leg)|*.leg| Слой (*.lyr)|*.lyr",
     "Legend (*.leg)|*.leg| Layer (*.lyr)|*.lyr"},
    {MainFormMessage::OpenLegendTitle, "Открыть файл легенды", "Open legend file"},
    {MainFormMessage::FileNotExistStart, "Файла ", "File "},
    {MainFormMessage::FileNotExistEnd, " не существует!", " not exist!"},
    {MainFormMessage::ParameterFileFilter, "Параметры (*.par)|*.par", "Parameters (*.par)|*.par"},
    {MainFormMessage::LoadParametersTitle, "Загрузить параметры", "Load Parameters"},
    {MainFormMessage::NoSelectedFeaturesOnLayer, "Нет выбранных объектов на слое ",
     "No selected features on layer "},
    {MainFormMessage::NoSelectedFields, "Не выбраны поля для диаграммы",
     "No selected fields for chart"},
    {MainFormMessage::SelectOnlyOneChart, "Выберите только одну диаграмму на карте",
     "Select ONLY ONE chart on the map"},
    {MainFormMessage::SaveLegendTitle, "Сохранение легенды ", "Save legend "},
    {MainFormMessage::SaveLegendFilter, "Легенда *.leg|*.leg", "Legend *.leg|*.leg"},
    {MainFormMessage::SaveParametersTitle, "Сохранение параметров", "Save parameters"},
    {MainFormMessage::UnsupportedControlType, "Unsupported Control Type",
     "Unsupported Control Type"},
    {MainFormMessage::SymbolIsNothing, "Symbol is nothing", "Symbol is nothing"},
    {MainFormMessage::PlacementCaption, "положение относительно маркера - ",
     "Placement near marker - "},
    {MainFormMessage::PlacementCenter, "Центр", "Center"},
    {MainFormMessage::PlacementE, "В (направо)", "E (right)"},
    {MainFormMessage::PlacementNE, "СВ", "NE"},
    {MainFormMessage::PlacementNECircle, "СВ круг", "NE circle"},
    {MainFormMessage::PlacementN, "С (наверх)", "N (top)"},
    {MainFormMessage::PlacementOld, "Старое место", "Old placement"},
    {MainFormMessage::PlacementNW, "СЗ", "NW"},
    {MainFormMessage::PlacementNWCircle, "СЗ круг", "NW circle"},
    {MainFormMessage::PlacementW, "З (налево)", "W (left)"},
    {MainFormMessage::PlacementSWCircle, "ЮЗ круг", "SW cirkle"},
    {MainFormMessage::PlacementSW, "ЮЗ", "SW"},
    {MainFormMessage::PlacementS, "Ю (вниз)", "S (bottom)"},
    {MainFormMessage::PlacementSECircle, "ЮВ круг", "SE circle"},
    {MainFormMessage::PlacementSE, "ЮВ", "SE"},
    {MainFormMessage::SelectedFeatures, "выбранные", "selected"},
    {MainFormMessage::OnlyRecreateOnOldPlacement,
     "На старом местоположении возможно только обновление диаграмм",
     "It is possible only Recreate charts on the old placement"},
    {MainFormMessage::RemoveLabelsQuestion, "Удалить подписи значений в диаграммах?",
     "Do you want to remove chart labels?"},
    {MainFormMessage::RemoveLabelsTitle, "Удаление подписей", "remove labels"},
    {MainFormMessage::SavedToFile, "Сохранено в файл ", "was saved to file "},
};

constexpr MessageText<ArchiveMessage> kArchiveTexts[] = {
    {ArchiveMessage::GraphicsFileFilter, "Сохраненные слои *.obj|*.obj",
     "Saved annotation *.obj|*.obj"},
    {ArchiveMessage::NoLayerForSave, "Не выбран слой для сохранения",
     "Layer for save not selected"},
    {ArchiveMessage::NoFileName, "Не выбрано имя файла для сохранения", "No file Name"},
    {ArchiveMessage::FileStart, "Файл ", "File "},
    {ArchiveMessage::FileExistsReplace, " существует, Переписать?", " exist, replace?"},
    {ArchiveMessage::SaveTitle, "Сохранение", "Save"},
    {ArchiveMessage::NoLayerForLoad, "Не выбран слой для загрузки", "No layer for load"},
    {ArchiveMessage::NoNewLayerName, "Не заполнено имя нового слоя для загрузки",
     "No new layer name"},
    {ArchiveMessage::NotExist, "не существует", "not exist"},
    {ArchiveMessage::LoadTitle, "Загрузка", "Load"},
    {ArchiveMessage::OperationSucceeded, "Операция завершилась удачно", "OK!"},
    {ArchiveMessage::SaveButton, "Сохранить", "Save"},
    {ArchiveMessage::LoadButton, "Загрузить", "Load"},
    {ArchiveMessage::GraphicsName, "Графические объекты", "Graphics"},
    {ArchiveMessage::SpatialReferenceName, "SpatialReference - имя координатной системы",
     "SpatialReference"},
    {ArchiveMessage::MapScaleName, "Масштаб карты", "Map scale"},
    {ArchiveMessage::MapReferenceScaleName, "ReferenceScale карты", "Map ReferenceScale"},
    {ArchiveMessage::LayerReferenceScaleName, "ReferenceScale графического слоя",
     "Annotation layer ReferenceScale"},
    {ArchiveMessage::NoGraphicsInFile, "В файле нет данных о графических элементах",
     "No data in the file"},
    {ArchiveMessage::GraphicsLoadTitle, "Загрузка графики", "graphics load"},
    {ArchiveMessage::NoDataAbout, "В файле нет данных о ", "No data about "},
    {ArchiveMessage::SavedDataDiffers,
     "Следующие сохраненные данные не совпадают с параметрами карты ",
     "Saved data not equal of map parameters "},
    {ArchiveMessage::RestoreSavedQuestion, "Восстановить сохраненные параметры?",
     "Restore saved parameters?"},
    {ArchiveMessage::InFileStart, "В файле ", "File "},
    {ArchiveMessage::NoRequiredData, " нет данных нужного формата!",
     " have no required parameters!"},
    {ArchiveMessage::LayerNameExists,
     "Слой с таким именем существует, измените название или выделите из списка",
     "Layer exist, change name or select from list"},
    {ArchiveMessage::NewLayerTitle, "Новый слой", "new layer"},
    {ArchiveMessage::CancelButton, "Отмена", "Cancel"},
};

constexpr MessageText<NoticeMessage> kNoticeTexts[] = {
    {NoticeMessage::FunctionNotAvailable, "Эта функция пока недоступна.",
     "This function is not available yet."},
    {NoticeMessage::NoPointLayer, "Нет точечного слоя для диаграмм", "No point layer to chart"},
    {NoticeMessage::GraphicsNotSaved, "Графика не сохранена в файл", "The graphics were not saved"},
    {NoticeMessage::GraphicsNotLoaded, "Графика не загружена из файла",
     "The graphics were not loaded"},
    {NoticeMessage::DeleteFieldsQuestion,
     "Удалить эти поля из слоя на карте? Файл данных слоя не изменится.",
     "Delete these fields from the layer in the map? The layer's data file is not changed."},
};

// The sort's message exists in Russian only; English shows the same text.
constexpr MessageText<RelationMessage> kRelationTexts[] = {
    {RelationMessage::SortRowStart, "Номер колонки ( ", "Номер колонки ( "},
    {RelationMessage::SortRowBelow, " ) < ", " ) < "},
    {RelationMessage::SortRowOr, " или ", " или "},
    {RelationMessage::SortRowAbove, ">", ">"},
    {RelationMessage::SortTitle, "aSort", "aSort"},
    {RelationMessage::OkButton, "ОК", "OK"},
};

constexpr MessageText<ChooserMessage> kChooserTexts[] = {
    {ChooserMessage::WindowTitle, "Символ", "Symbol"},
    {ChooserMessage::Fill, "Заливка", "Fill"},
    {ChooserMessage::FillColour, "Цвет заливки", "Fill colour"},
    {ChooserMessage::Style, "Стиль", "Style"},
    {ChooserMessage::Outline, "Контур", "Outline"},
    {ChooserMessage::NoOutline, "Без контура", "No outline"},
    {ChooserMessage::Colour, "Цвет", "Colour"},
    {ChooserMessage::Width, "Толщина", "Width"},
    {ChooserMessage::Line, "Линия", "Line"},
    {ChooserMessage::Cap, "Концы", "Ends"},
    {ChooserMessage::Join, "Соединения", "Joins"},
    {ChooserMessage::Dashed, "Пунктир", "Dashed"},
    {ChooserMessage::Text, "Текст", "Text"},
    {ChooserMessage::Font, "Шрифт", "Font"},
    {ChooserMessage::Size, "Размер", "Size"},
    {ChooserMessage::Bold, "Жирный", "Bold"},
    {ChooserMessage::Italic, "Курсив", "Italic"},
    {ChooserMessage::Marker, "Маркер", "Marker"},
    {ChooserMessage::Preview, "Просмотр", "Preview"},
    {ChooserMessage::Points, " пт", " pt"},
    {ChooserMessage::Ok, "ОК", "OK"},
    {ChooserMessage::Cancel, "Отмена", "Cancel"},
    {ChooserMessage::FillSolid, "Сплошная", "Solid"},
    {ChooserMessage::FillHollow, "Пустая", "Hollow"},
    {ChooserMessage::FillHorizontal, "Горизонтальная", "Horizontal"},
    {ChooserMessage::FillVertical, "Вертикальная", "Vertical"},
    {ChooserMessage::FillForwardDiagonal, "Прямая диагональ", "Forward diagonal"},
    {ChooserMessage::FillBackwardDiagonal, "Обратная диагональ", "Backward diagonal"},
    {ChooserMessage::FillCross, "Сетка", "Cross"},
    {ChooserMessage::FillDiagonalCross, "Косая сетка", "Diagonal cross"},
    {ChooserMessage::LineSolid, "Сплошная", "Solid"},
    {ChooserMessage::LineDash, "Штрих", "Dash"},
    {ChooserMessage::LineDot, "Точки", "Dot"},
    {ChooserMessage::LineDashDot, "Штрих-точка", "Dash dot"},
    {ChooserMessage::LineDashDotDot, "Штрих-точка-точка", "Dash dot dot"},
    {ChooserMessage::LineNone, "Нет", "None"},
    {ChooserMessage::LineInsideFrame, "Внутри рамки", "Inside frame"},
    {ChooserMessage::CapFlat, "Плоские", "Flat"},
    {ChooserMessage::CapRound, "Круглые", "Round"},
    {ChooserMessage::CapSquare, "Квадратные", "Square"},
    {ChooserMessage::JoinMitre, "Острые", "Mitre"},
    {ChooserMessage::JoinRound, "Круглые", "Round"},
    {ChooserMessage::JoinBevel, "Срезанные", "Bevel"},
    {ChooserMessage::MarkerCircle, "Круг", "Circle"},
    {ChooserMessage::MarkerSquare, "Квадрат", "Square"},
    {ChooserMessage::MarkerCross, "Крест", "Cross"},
    {ChooserMessage::MarkerX, "Косой крест", "X"},
    {ChooserMessage::MarkerDiamond, "Ромб", "Diamond"},
};

constexpr MessageText<DesktopMessage> kDesktopTexts[] = {
    {DesktopMessage::FileMenu, "&Файл", "&File"},
    {DesktopMessage::OpenDataAction, "&Открыть данные…", "&Open data…"},
    {DesktopMessage::ExportMapAction, "&Экспорт карты…", "&Export map…"},
    {DesktopMessage::QuitAction, "В&ыход", "&Quit"},
    {DesktopMessage::ViewMenu, "&Вид", "&View"},
    {DesktopMessage::ZoomInAction, "&Увеличить", "Zoom &in"},
    {DesktopMessage::ZoomOutAction, "У&меньшить", "Zoom &out"},
    {DesktopMessage::FullExtentAction, "&Полный экстент", "&Full extent"},
    {DesktopMessage::PanToolAction, "Па&норама", "&Pan tool"},
    {DesktopMessage::SelectToolAction, "&Выбор", "&Select tool"},
    {DesktopMessage::SetReferenceScaleAction, "Опорный масштаб = текущий",
     "Set reference scale to current scale"},
    {DesktopMessage::ClearReferenceScaleAction, "Убрать опорный масштаб", "Clear reference scale"},
    {DesktopMessage::CommandsToolBar, "Команды", "Commands"},
    {DesktopMessage::NavigationToolBar, "Навигация", "Navigation"},
    {DesktopMessage::OpenDataTitle, "Открыть данные", "Open data"},
    {DesktopMessage::OpenDataFilter,
     "Векторные данные (*.geojson;*.json;*.gpkg;*.shp;*.csv;*.topojson)|"
     "*.geojson;*.json;*.gpkg;*.shp;*.csv;*.topojson|Все файлы (*.*)|*.*",
     "Vector data (*.geojson;*.json;*.gpkg;*.shp;*.csv;*.topojson)|"
     "*.geojson;*.json;*.gpkg;*.shp;*.csv;*.topojson|All files (*.*)|*.*"},
    {DesktopMessage::ExportMapTitle, "Экспорт карты", "Export map"},
    {DesktopMessage::ExportMapFilter,
     "Рисунок PNG (*.png)|*.png|Чертёж SVG (*.svg)|*.svg|Документ PDF (*.pdf)|*.pdf",
     "PNG picture (*.png)|*.png|SVG drawing (*.svg)|*.svg|PDF document (*.pdf)|*.pdf"},
    {DesktopMessage::MapWrittenStart, "Карта записана в ", "Map written to "},
    {DesktopMessage::ScaleStart, "Масштаб ", "Scale "},
    {DesktopMessage::ReferenceScaleStart, "Опорный масштаб ", "Reference scale "},
    {DesktopMessage::NoReferenceScale, "Нет опорного масштаба", "No reference scale"},
    {DesktopMessage::NothingToDrawStart,
     "Нечего показать: ни у одного объекта нет пригодных координат в файле ",
     "Nothing to draw: no feature has usable coordinates in "},
    {DesktopMessage::NoFeaturesStart, "В файле нет объектов: ", "The file has no features: "},
    {DesktopMessage::SkippedFeaturesStart, "Пропущены объекты, которые нельзя показать, в файле ",
     "Features that cannot be drawn were skipped in "},
    {DesktopMessage::NewProjectAction, "&Новый проект", "&New project"},
    {DesktopMessage::OpenProjectAction, "Открыть &проект…", "Open &project…"},
    {DesktopMessage::SaveProjectAction, "&Сохранить проект", "&Save project"},
    {DesktopMessage::SaveProjectAsAction, "Сохранить проект &как…", "Save project &as…"},
    {DesktopMessage::RecentProjectsMenu, "Последние п&роекты", "Open &recent"},
    {DesktopMessage::ClearRecentAction, "Очистить список", "Clear list"},
    {DesktopMessage::ProjectFilter, "Проект Kartoplot (*.kartoplot)|*.kartoplot",
     "Kartoplot project (*.kartoplot)|*.kartoplot"},
    {DesktopMessage::OpenProjectTitle, "Открыть проект", "Open project"},
    {DesktopMessage::SaveProjectTitle, "Сохранить проект как", "Save project as"},
    {DesktopMessage::UntitledProject, "Без имени", "Untitled"},
    {DesktopMessage::SaveChangesStart, "Сохранить изменения в проекте ", "Save the changes to the project "},
    {DesktopMessage::ProjectNotOpenedStart, "Не удалось открыть проект: ", "The project could not be opened: "},
    {DesktopMessage::ProjectNotSavedStart, "Не удалось сохранить проект: ", "The project could not be saved: "},
    {DesktopMessage::UnavailableSourcesStart,
     "Данные этих слоёв не найдены; слои оставлены без объектов:",
     "The data of these layers was not found; the layers are kept without features:"},
    {DesktopMessage::ProjectSavedStart, "Проект сохранён: ", "Project saved: "},
    {DesktopMessage::LayerMenu, "&Слой", "&Layer"},
    {DesktopMessage::SaveLayerAsAction, "Сохранить &как…", "Save &as…"},
    {DesktopMessage::SaveLayerTitle, "Сохранить слой как", "Save layer as"},
    {DesktopMessage::SaveLayerFilter,
     "GeoPackage (*.gpkg)|*.gpkg|GeoJSON (*.geojson)|*.geojson|Шейп-файл ESRI (*.shp)|*.shp",
     "GeoPackage (*.gpkg)|*.gpkg|GeoJSON (*.geojson)|*.geojson|ESRI Shapefile (*.shp)|*.shp"},
    {DesktopMessage::LayerSavedStart, "Слой сохранён в файл:", "The layer was saved to:"},
    {DesktopMessage::LayerNotSavedStart, "Слой не сохранён:", "The layer was not saved:"},
    {DesktopMessage::SelectElementsToolAction, "Выбор &элементов", "Select &elements"},
};

// Row n - 1 must hold entry n, so that a table can be filled by position.
template <class Id, std::size_t N>
constexpr bool coversEveryEntryInOrder(const MessageText<Id> (&rows)[N]) {
    if (N != kMessageCount<Id>) {
        return false;
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (static_cast<std::size_t>(rows[i].id) != i + 1) {
            return false;
        }
    }
    return true;
}

static_assert(coversEveryEntryInOrder(kSharedTexts));
static_assert(coversEveryEntryInOrder(kMainFormTexts));
static_assert(coversEveryEntryInOrder(kArchiveTexts));
static_assert(coversEveryEntryInOrder(kNoticeTexts));
static_assert(coversEveryEntryInOrder(kRelationTexts));
static_assert(coversEveryEntryInOrder(kChooserTexts));
static_assert(coversEveryEntryInOrder(kDesktopTexts));

std::span<const MessageText<SharedMessage>> sourceRows(std::type_identity<SharedMessage>) {
    return kSharedTexts;
}

std::span<const MessageText<MainFormMessage>> sourceRows(std::type_identity<MainFormMessage>) {
    return kMainFormTexts;
}

std::span<const MessageText<ArchiveMessage>> sourceRows(std::type_identity<ArchiveMessage>) {
    return kArchiveTexts;
}

std::span<const MessageText<NoticeMessage>> sourceRows(std::type_identity<NoticeMessage>) {
    return kNoticeTexts;
}

std::span<const MessageText<RelationMessage>> sourceRows(std::type_identity<RelationMessage>) {
    return kRelationTexts;
}

std::span<const MessageText<ChooserMessage>> sourceRows(std::type_identity<ChooserMessage>) {
    return kChooserTexts;
}

std::span<const MessageText<DesktopMessage>> sourceRows(std::type_identity<DesktopMessage>) {
    return kDesktopTexts;
}

}  // namespace

bool isRussian(std::string_view language) {
    return language == kRussian;
}

template <class Id>
void MessageTable<Id>::load(std::string_view language) {
    const bool russian = isRussian(language);
    // Build the new texts apart and swap them in, so a table never mixes two languages.
    std::array<std::string, kSize> filled{};
    for (const auto& row : sourceRows(std::type_identity<Id>{})) {
        filled[static_cast<std::size_t>(row.id) - 1] = russian ? row.russian : row.english;
    }
    texts_ = std::move(filled);
}

template <class Id>
const std::string& MessageTable<Id>::text(Id id) const {
    static const std::string kNoText;
    const auto number = static_cast<long long>(id);
    if (number < 1 || number > static_cast<long long>(kSize)) {
        return kNoText;
    }
    return texts_[static_cast<std::size_t>(number) - 1];
}

template class MessageTable<SharedMessage>;
template class MessageTable<MainFormMessage>;
template class MessageTable<ArchiveMessage>;
template class MessageTable<NoticeMessage>;
template class MessageTable<RelationMessage>;
template class MessageTable<ChooserMessage>;
template class MessageTable<DesktopMessage>;

void LoadModuleMessages(SharedMessages& table, std::string_view language) {
    table.load(language);
}

void LoadMainFormMessages(MainFormMessages& table, std::string_view language) {
    table.load(language);
}

void LoadOpenSaveMessages(ArchiveMessages& table, std::string_view language) {
    table.load(language);
}

std::string PlacementName(const MainFormMessages& table, int placementIndex) {
    if (placementIndex < 0 || placementIndex >= kPlacementCount) {
        return {};
    }
    const int first = static_cast<int>(MainFormMessage::PlacementCenter);
    return table.text(static_cast<MainFormMessage>(first + placementIndex));
}

}  // namespace kartoplot::language
