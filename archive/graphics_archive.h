// Graphics files (*.obj): every element of one graphics layer of the focus map, kept with the
// map parameters the elements were drawn for. A file is one property set of five entries,
// written in this order: "Graphics" (a group element holding copies of the layer's elements),
// "Scale", "SpatialReference", "ReferenceScale" and "GraphicsLayerReferenceScale".
//
// Reading is split into a pure part that reads and checks a whole file into a GraphicsArchive
// and a part that applies it to a map, so that the archive dialog and the command line share
// both; SaveGraphics and LoadGraphics are the dialog's trapped operations around them.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/elements.h"
#include "host/graphics.h"
#include "host/interaction.h"
#include "host/map.h"
#include "host/property_set.h"
#include "language/messages.h"

namespace kartoplot::archive {

// The module name the archive's error records carry.
inline constexpr const char* kArchiveModule = "frmOpenSaveGraphLayer";

// Entry names of a graphics file.
inline constexpr const char* kGraphicsKey = "Graphics";
inline constexpr const char* kScaleKey = "Scale";
inline constexpr const char* kSpatialReferenceKey = "SpatialReference";
inline constexpr const char* kReferenceScaleKey = "ReferenceScale";
inline constexpr const char* kLayerReferenceScaleKey = "GraphicsLayerReferenceScale";

// The stored values in the order a reader looks them up; this order decides which message
// comes first.
enum class ArchiveEntry {
    Graphics = 0,
    SpatialReference = 1,
    Scale = 2,
    ReferenceScale = 3,
    LayerReferenceScale = 4,
};
inline constexpr std::size_t kArchiveEntryCount = 5;
using EntryFlags = std::array<bool, kArchiveEntryCount>;

// The file's key of an entry, and its display name in messages (archive table 14..18).
const char* archiveKey(ArchiveEntry entry);
const std::string& displayName(const language::ArchiveMessages& messages, ArchiveEntry entry);
std::ostream& operator<<(std::ostream& out, ArchiveEntry entry);

// Largest scale a graphics file may hold (1 : 1e15), the bound projects keep too.
inline constexpr double kMaxArchiveScale = 1e15;

// A graphics file read and checked. An entry is missing when its key is absent or holds a
// value of the wrong kind: Graphics must be a group element, SpatialReference a spatial
// reference; Scale a finite number above 0 and the two reference scales finite numbers of 0
// (none) or more, each at most kMaxArchiveScale. A missing entry leaves its value empty.
struct GraphicsArchive {
    std::shared_ptr<host::GroupElement> graphics;
    // nullptr for a map without a coordinate system (stored as one without name and definition).
    std::shared_ptr<const host::SpatialReference> spatialReference;
    double scale = 0.0;
    double referenceScale = 0.0;
    double layerReferenceScale = 0.0;
    EntryFlags missing{};

    // The first missing entry in lookup order, or nothing when the archive is complete.
    std::optional<ArchiveEntry> firstMissing() const;
};

// A new group of deep copies of the layer's elements in enumeration order; the layer keeps its
// own elements untouched (in the host an element belongs to one holder only).
std::shared_ptr<host::GroupElement> copiedElements(const host::GraphicsLayer& layer);

// The property set of a graphics file: the group, the map's scale, coordinate system and
// reference scale, and the layer's reference scale.
std::shared_ptr<host::PropertySet> graphicsArchiveSet(std::shared_ptr<host::GroupElement> group,
                                                      const host::GraphicsLayer& layer,
                                                      const host::Map& map);

// The archive a property set holds, with its missing flags; never throws.
GraphicsArchive readGraphicsArchive(const host::PropertySet& set);
// Reads and checks a whole graphics file. Throws HostError (nothing read) when the file cannot
// be opened or is no well-formed property-set file.
GraphicsArchive readGraphicsFile(const std::string& path);

// Which values differ from the map and from the target layer's reference scale (compared
// exactly; the coordinate systems by name only, a map without one having the name "").
// Missing entries never differ; Graphics never differs.
EntryFlags differingEntries(const GraphicsArchive& archive, const host::Map& map,
                            double targetLayerReferenceScale);
// The display names of the flagged entries in lookup order.
std::vector<std::string> flaggedNames(const language::ArchiveMessages& messages,
                                      const EntryFlags& flags);

// Sets the flagged parameters to the saved ones: the map's coordinate system, scale and
// reference scale, and the layer's reference scale. Missing entries are left alone.
void restoreSavedParameters(const GraphicsArchive& archive, const EntryFlags& flags,
                            host::Map& map, host::GraphicsLayer& layer);

// Moves the saved group's members, in order, onto the layer after its own elements (the group
// itself is not added, and is left empty). Names are kept, also where they repeat names already
// on the layer. Returns the number of elements added.
int addArchivedElements(GraphicsArchive& archive, host::GraphicsLayer& layer);

// What the archive's operations need besides the map: the archive dialog's messages and the
// service that shows them.
struct ArchiveServices {
    language::ArchiveMessages messages;
    std::shared_ptr<host::UserInteraction> interaction;
};

// How an operation ended: done; stopped after telling the user why; or failed, reported
// through HandleError, with the failure's description in `failure`.
struct ArchiveOutcome {
    enum class Kind { Done, Stopped, Failed };
    Kind kind = Kind::Failed;
    std::string failure;
    bool done() const noexcept { return kind == Kind::Done; }
};

// The map's graphics layers (the sub-layers of its composite graphics layer) in order.
std::vector<std::shared_ptr<host::GraphicsLayer>> ListGraphicsLayers(const host::Map& map);

// Adds an empty graphics layer of that name to the map's composite graphics layer (not tied to
// a feature layer), made the active graphics layer when activate is set. On failure shows the
// error's description, a line break, "not exist", a blank and the name (exclamation icon, no
// title) and returns nullptr.
std::shared_ptr<host::GraphicsLayer> AddArchiveGraphicsLayer(const ArchiveServices& services,
                                                             host::Map& map, const std::string& name,
                                                             bool activate);

// Writes the graphics layer named sGLName to sFileName (replaced atomically: a failed write
// leaves the old file, or none). Failures (no such layer, an unwritable file) are reported
// under "SaveGraphics " / "WriteGraphics2File ".
ArchiveOutcome SaveGraphics(host::Map& map, const std::string& sGLName, const std::string& sFileName);
// Writes the group with the map's parameters and the layer's reference scale to sFileName.
ArchiveOutcome WriteGraphics2File(std::shared_ptr<host::GroupElement> group,
                                  const host::GraphicsLayer& layer, const host::Map& map,
                                  const std::string& sFileName);

// Reads sFileName into the graphics layer named sToLayer, made when there is none. The whole
// file is read and checked first: an unreadable file ("File " + path + " have no required
// parameters!"), one without graphics ("No data in the file") or without another value ("No
// data about " + its name) stops the load with nothing changed and no layer made. Values that
// differ from the map are listed in a Yes/No question; Yes restores them. Then the saved
// elements are appended to the layer and the map's graphics are redrawn. Throws nothing;
// failures are reported under "LoadGraphics ".
ArchiveOutcome LoadGraphics(const ArchiveServices& services, host::Map& map,
                            const std::string& sToLayer, const std::string& sFileName);

}  // namespace kartoplot::archive
