#include "archive/graphics_archive.h"
#include "host/persistence.h"
#include "tests/fuzz/stored_files.h"

namespace kartoplot::fuzz {

namespace {

constexpr double kStartScale = 50000;  // the map's scale before a load restores the file's

}  // namespace

Outcome readGraphicsFileBytes(const std::uint8_t* data, std::size_t size) {
    Outcome outcome;
    const auto read = readOrRefuse(
        [&] { return host::decodeValue(asText(data, size)).objectAs<host::PropertySet>(); }, outcome);
    if (!read || !*read) {
        return outcome;
    }
    const std::shared_ptr<host::PropertySet>& set = *read;
    archive::GraphicsArchive saved;
    try {
        saved = archive::readGraphicsArchive(*set);
    } catch (const std::exception& e) {
        return {false, std::string("checking a graphics file threw: ") + e.what()};
    }
    if (saved.firstMissing()) {
        return {};  // a load stops here with its message, the map untouched
    }
    // A complete file is loaded as the desktop loads it after a Yes: every differing value
    // restored, the elements moved onto a new layer and their bounds asked for; then the layer
    // is written as a graphics file again and read back whole.
    try {
        host::Map map;
        map.setMapScale(kStartScale);
        const auto layer = map.basicGraphicsLayer().addLayer("Loaded");
        const archive::EntryFlags differs = archive::differingEntries(saved, map, layer->referenceScale());
        archive::restoreSavedParameters(saved, differs, map, *layer);
        if (map.mapScale() != saved.scale || map.referenceScale() != saved.referenceScale ||
            layer->referenceScale() != saved.layerReferenceScale) {
            return {true, "after restoring, the map's scales are not the saved ones"};
        }
        const int members = saved.graphics->elementCount();
        if (archive::addArchivedElements(saved, *layer) != members || layer->elementCount() != members ||
            saved.graphics->elementCount() != 0) {
            return {true, "the saved group's members did not all move onto the layer"};
        }
        for (const auto& element : layer->elements()) {
            element->queryBounds(map.screenDisplay());
        }
        const std::string again = host::encodeObject(
            *archive::graphicsArchiveSet(archive::copiedElements(*layer), *layer, map));
        const archive::GraphicsArchive reread =
            archive::readGraphicsArchive(*host::decodeValue(again).objectAs<host::PropertySet>());
        if (reread.firstMissing() || reread.graphics->elementCount() != members) {
            return {true, "a loaded layer saved again does not read back whole"};
        }
    } catch (const HostError&) {
    } catch (const std::exception& e) {
        return {true, std::string("loading the graphics threw something else than HostError: ") + e.what()};
    }
    return {true, ""};
}

}  // namespace kartoplot::fuzz
