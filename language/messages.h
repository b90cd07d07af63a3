// The message tables: every text Kartoplot shows in a message box, a file dialog title or
// filter, a composed label, the symbol chooser or the desktop window's menus, toolbars and
// status bar, in Russian and in English.
//
// A table starts empty and is filled for one language at a time; callers then read the entry
// they need. Texts keep their leading and trailing blanks because callers join them to paths,
// names and values without adding blanks of their own ("File " + path + " not exist!").
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace kartoplot::language {

// The language value that selects the Russian texts.
inline constexpr std::string_view kRussian = "Русский";

// True only when language equals kRussian exactly (case-sensitive); any other value,
// empty included, selects English.
bool isRussian(std::string_view language);

// Entries of the shared table (chart engine, legend and layer-file code).
enum class SharedMessage {
    AnnotationLayerNotCreated = 1,
    NoDataForLegend = 2,
    NoDataWithElement = 3,
    CannotDeleteAnnotationLayer = 4,
    AnnotationLayerNotExist = 5,
    RefreshChartsTitle = 6,
    NoSelectedObjects = 7,
    SaveLegendAsTitle = 8,
    LayerFileFilter = 9,
    NotChartLayerFile = 10,
};

// Entries of the main dialog's table. 18..31 are the names of the fourteen placements.
enum class MainFormMessage {
    InfoTitle = 1,
    NoAttachedData = 2,
    OpenLegendFilter = 3,
    OpenLegendTitle = 4,
    FileNotExistStart = 5,  // "File " + path + FileNotExistEnd
    FileNotExistEnd = 6,
    ParameterFileFilter = 7,
    LoadParametersTitle = 8,
    NoSelectedFeaturesOnLayer = 9,
    NoSelectedFields = 10,
    SelectOnlyOneChart = 11,
    SaveLegendTitle = 12,
    SaveLegendFilter = 13,
    SaveParametersTitle = 14,
    UnsupportedControlType = 15,
    SymbolIsNothing = 16,
    PlacementCaption = 17,
    PlacementCenter = 18,
    PlacementE = 19,
    PlacementNE = 20,
    PlacementNECircle = 21,
    PlacementN = 22,
    PlacementOld = 23,
    PlacementNW = 24,
    PlacementNWCircle = 25,
    PlacementW = 26,
    PlacementSWCircle = 27,
    PlacementSW = 28,
    PlacementS = 29,
    PlacementSECircle = 30,
    PlacementSE = 31,
    SelectedFeatures = 32,
    OnlyRecreateOnOldPlacement = 33,
    RemoveLabelsQuestion = 34,
    RemoveLabelsTitle = 35,
    SavedToFile = 36,
};

// Entries of the graphics layer archive dialog's table.
enum class ArchiveMessage {
    GraphicsFileFilter = 1,
    NoLayerForSave = 2,
    NoFileName = 3,
    FileStart = 4,  // "File " + path + FileExistsReplace, or + " " + NotExist
    FileExistsReplace = 5,
    SaveTitle = 6,
    NoLayerForLoad = 7,
    NoNewLayerName = 8,
    NotExist = 9,
    LoadTitle = 10,
    OperationSucceeded = 11,
    SaveButton = 12,
    LoadButton = 13,
    GraphicsName = 14,
    SpatialReferenceName = 15,
    MapScaleName = 16,
    MapReferenceScaleName = 17,
    LayerReferenceScaleName = 18,
    NoGraphicsInFile = 19,
    GraphicsLoadTitle = 20,
    NoDataAbout = 21,
    SavedDataDiffers = 22,
    RestoreSavedQuestion = 23,
    InFileStart = 24,  // "В файле " + path + NoRequiredData
    NoRequiredData = 25,
    LayerNameExists = 26,
    NewLayerTitle = 27,
    CancelButton = 28,
};

// Kartoplot's own notices: texts the program adds to the three tables above, such as the
// plain word that a function has not been built yet.
enum class NoticeMessage {
    FunctionNotAvailable = 1,
    NoPointLayer = 2,
    // Said after a graphics file was not written or not read, followed by a line break and
    // what failed.
    GraphicsNotSaved = 3,
    GraphicsNotLoaded = 4,
    // The field deletion's question, followed by a line break and the fields' names.
    DeleteFieldsQuestion = 5,
};

// Entries of the field relation dialog's table: the pieces of the table sort's message about
// a sort row outside the table ("Номер колонки ( " + row + " ) < " + lowest + " или " + ">" +
// highest, the same Russian text in both languages), its title and the OK button's caption.
enum class RelationMessage {
    SortRowStart = 1,
    SortRowBelow = 2,
    SortRowOr = 3,
    SortRowAbove = 4,
    SortTitle = 5,
    OkButton = 6,
};

// Entries of the symbol chooser's table: group and field labels, buttons, and the names in
// its style lists (23..48, one entry per list item, so that two lists may name a style alike
// in one language and differently in the other).
enum class ChooserMessage {
    WindowTitle = 1,
    Fill = 2,
    FillColour = 3,  // title of the fill's colour dialog
    Style = 4,
    Outline = 5,
    NoOutline = 6,
    Colour = 7,
    Width = 8,
    Line = 9,
    Cap = 10,
    Join = 11,
    Dashed = 12,
    Text = 13,
    Font = 14,
    Size = 15,
    Bold = 16,
    Italic = 17,
    Marker = 18,
    Preview = 19,
    Points = 20,  // suffix of a size in points: value + Points
    Ok = 21,
    Cancel = 22,
    FillSolid = 23,
    FillHollow = 24,
    FillHorizontal = 25,
    FillVertical = 26,
    FillForwardDiagonal = 27,
    FillBackwardDiagonal = 28,
    FillCross = 29,
    FillDiagonalCross = 30,
    LineSolid = 31,
    LineDash = 32,
    LineDot = 33,
    LineDashDot = 34,
    LineDashDotDot = 35,
    LineNone = 36,
    LineInsideFrame = 37,
    CapFlat = 38,
    CapRound = 39,
    CapSquare = 40,
    JoinMitre = 41,
    JoinRound = 42,
    JoinBevel = 43,
    MarkerCircle = 44,
    MarkerSquare = 45,
    MarkerCross = 46,
    MarkerX = 47,
    MarkerDiamond = 48,
};

// Entries of the desktop window's table. Menu and action texts carry their '&' mnemonic.
enum class DesktopMessage {
    FileMenu = 1,
    OpenDataAction = 2,
    ExportMapAction = 3,
    QuitAction = 4,
    ViewMenu = 5,
    ZoomInAction = 6,
    ZoomOutAction = 7,
    FullExtentAction = 8,
    PanToolAction = 9,
    SelectToolAction = 10,
    SetReferenceScaleAction = 11,
    ClearReferenceScaleAction = 12,
    CommandsToolBar = 13,
    NavigationToolBar = 14,
    OpenDataTitle = 15,
    OpenDataFilter = 16,  // in the host's "Description|patterns|..." form
    ExportMapTitle = 17,
    ExportMapFilter = 18,
    MapWrittenStart = 19,      // MapWrittenStart + path
    ScaleStart = 20,           // ScaleStart + "1 : 50 000"
    ReferenceScaleStart = 21,  // ReferenceScaleStart + "1 : 50 000"
    NoReferenceScale = 22,
    NothingToDrawStart = 23,   // NothingToDrawStart + path: no feature with a usable position
    NoFeaturesStart = 24,      // NoFeaturesStart + path: the file's layers are empty
    SkippedFeaturesStart = 25, // SkippedFeaturesStart + path + ": " + what was skipped
    NewProjectAction = 26,
    OpenProjectAction = 27,
    SaveProjectAction = 28,
    SaveProjectAsAction = 29,
    RecentProjectsMenu = 30,
    ClearRecentAction = 31,
    ProjectFilter = 32,            // in the host's "Description|patterns|..." form
    OpenProjectTitle = 33,
    SaveProjectTitle = 34,
    UntitledProject = 35,          // the name of a project not saved yet
    SaveChangesStart = 36,         // SaveChangesStart + name + "?"; Yes saves, No discards
    ProjectNotOpenedStart = 37,    // ProjectNotOpenedStart + the reason
    ProjectNotSavedStart = 38,     // ProjectNotSavedStart + the reason
    UnavailableSourcesStart = 39,  // UnavailableSourcesStart + one line per layer
    ProjectSavedStart = 40,        // ProjectSavedStart + path
    LayerMenu = 41,
    SaveLayerAsAction = 42,        // a submenu of the map's feature layers
    SaveLayerTitle = 43,
    SaveLayerFilter = 44,          // in the host's "Description|patterns|..." form
    LayerSavedStart = 45,          // LayerSavedStart + line break + path
    LayerNotSavedStart = 46,       // LayerNotSavedStart + line break + the reason
    SelectElementsToolAction = 47, // picks graphic elements (charts) on the map
};

// Number of entries in the table that an id type names.
template <class Id>
inline constexpr std::size_t kMessageCount = 0;
template <>
inline constexpr std::size_t kMessageCount<SharedMessage> = 10;
template <>
inline constexpr std::size_t kMessageCount<MainFormMessage> = 36;
template <>
inline constexpr std::size_t kMessageCount<ArchiveMessage> = 28;
template <>
inline constexpr std::size_t kMessageCount<NoticeMessage> = 5;
template <>
inline constexpr std::size_t kMessageCount<RelationMessage> = 6;
template <>
inline constexpr std::size_t kMessageCount<ChooserMessage> = 48;
template <>
inline constexpr std::size_t kMessageCount<DesktopMessage> = 47;

// The current texts of one message table. Entries are numbered from 1, as the ids are.
template <class Id>
class MessageTable {
public:
    static constexpr std::size_t kSize = kMessageCount<Id>;

    // Replaces every entry by its Russian text when isRussian(language), else by its English one.
    void load(std::string_view language);

    // The entry's current text: "" until the first load, and for an id outside the table.
    const std::string& text(Id id) const;

    bool operator==(const MessageTable&) const = default;

private:
    std::array<std::string, kSize> texts_{};
};

extern template class MessageTable<SharedMessage>;
extern template class MessageTable<MainFormMessage>;
extern template class MessageTable<ArchiveMessage>;
extern template class MessageTable<NoticeMessage>;
extern template class MessageTable<RelationMessage>;
extern template class MessageTable<ChooserMessage>;
extern template class MessageTable<DesktopMessage>;

using SharedMessages = MessageTable<SharedMessage>;
using MainFormMessages = MessageTable<MainFormMessage>;
using ArchiveMessages = MessageTable<ArchiveMessage>;
using NoticeMessages = MessageTable<NoticeMessage>;
using RelationMessages = MessageTable<RelationMessage>;
using ChooserMessages = MessageTable<ChooserMessage>;
using DesktopMessages = MessageTable<DesktopMessage>;

// Fills the shared table for the main dialog's current language.
void LoadModuleMessages(SharedMessages& table, std::string_view language);

// Fills the main dialog's table for the main dialog's current language.
void LoadMainFormMessages(MainFormMessages& table, std::string_view language);

// Fills the archive dialog's table for the archive dialog's own language.
void LoadOpenSaveMessages(ArchiveMessages& table, std::string_view language);

// Number of chart placements; their names are the main table's entries 18 to 31.
inline constexpr int kPlacementCount = 14;

// The name of placement placementIndex (0..13 → entries 18..31) as the table holds it now;
// "" for any other index.
std::string PlacementName(const MainFormMessages& table, int placementIndex);

}  // namespace kartoplot::language
