#include "archive/graphics_archive.h"

#include <cmath>
#include <exception>
#include <ostream>
#include <utility>

#include "engine/legend_files.h"
#include "errors/error_handling.h"
#include "host/persistence.h"

namespace kartoplot::archive {

namespace {

using language::ArchiveMessage;

constexpr std::array<const char*, kArchiveEntryCount> kKeys = {
    kGraphicsKey, kSpatialReferenceKey, kScaleKey, kReferenceScaleKey, kLayerReferenceScaleKey};
// The archive table's display names follow the lookup order from this entry on.
constexpr int kFirstDisplayName = static_cast<int>(ArchiveMessage::GraphicsName);

std::size_t at(ArchiveEntry entry) { return static_cast<std::size_t>(entry); }

// A stored scale: a number of the host's numeric kinds, finite, within the archive's bound and
// above 0 (the map scale) or at least 0 (reference scales, where 0 means none).
std::optional<double> storedScale(const host::Variant& value, bool zeroAllowed) {
    using Kind = host::Variant::Kind;
    const Kind kind = value.kind();
    if (kind != Kind::Short && kind != Kind::Long && kind != Kind::Double) {
        return std::nullopt;
    }
    const double scale = value.toDouble();
    const bool inRange = std::isfinite(scale) && scale <= kMaxArchiveScale &&
                         (zeroAllowed ? scale >= 0.0 : scale > 0.0);
    return inRange ? std::optional<double>(scale) : std::nullopt;
}

const std::string& spatialReferenceName(const std::shared_ptr<const host::SpatialReference>& srs) {
    static const std::string kNone;
    return srs ? srs->name() : kNone;
}

// A message box through the interaction service; without one the message cannot reach the
// user, which is a failure of its own.
host::MessageResult tell(const ArchiveServices& services, const std::string& text,
                         const std::string& title, host::MessageButtons buttons,
                         host::MessageIcon icon) {
    if (!services.interaction) {
        throw HostError(errnum::kObjectMissing, kArchiveModule,
                        "No user interaction service for the message: " + text);
    }
    return services.interaction->messageBox(text, title, buttons, icon);
}

// Runs body (which returns the outcome) under the procedure's trap; a failure is reported with
// the procedure's text and comes back as Failed with its description.
template <class Body>
ArchiveOutcome trapped(const char* procedure, Body&& body) {
    ErrorTrap trap(procedure, kArchiveModule);
    ArchiveOutcome outcome;
    std::string failure;
    const bool ran = trap.run([&] {
        try {
            outcome = body(trap);
        } catch (const HostError& e) {
            failure = e.description();
            throw;
        } catch (const std::exception& e) {
            failure = e.what();
            throw;
        }
    });
    return ran ? outcome : ArchiveOutcome{ArchiveOutcome::Kind::Failed, failure};
}

}  // namespace

const char* archiveKey(ArchiveEntry entry) { return kKeys.at(at(entry)); }

const std::string& displayName(const language::ArchiveMessages& messages, ArchiveEntry entry) {
    return messages.text(static_cast<ArchiveMessage>(kFirstDisplayName + static_cast<int>(entry)));
}

std::ostream& operator<<(std::ostream& out, ArchiveEntry entry) { return out << archiveKey(entry); }

std::optional<ArchiveEntry> GraphicsArchive::firstMissing() const {
    for (std::size_t i = 0; i < kArchiveEntryCount; ++i) {
        if (missing[i]) {
            return static_cast<ArchiveEntry>(i);
        }
    }
    return std::nullopt;
}

std::shared_ptr<host::PropertySet> graphicsArchiveSet(std::shared_ptr<host::GroupElement> group,
                                                      const host::GraphicsLayer& layer,
                                                      const host::Map& map) {
    // A map without a coordinate system stores one without name and definition.
    const auto& srs = map.spatialReference();
    auto stored = srs ? std::make_shared<host::SpatialReference>(*srs)
                      : std::make_shared<host::SpatialReference>();
    auto set = std::make_shared<host::PropertySet>();
    set->setProperty(kGraphicsKey, host::Variant(std::move(group)));
    set->setProperty(kScaleKey, host::Variant(map.mapScale()));
    set->setProperty(kSpatialReferenceKey, host::Variant(std::move(stored)));
    set->setProperty(kReferenceScaleKey, host::Variant(map.referenceScale()));
    set->setProperty(kLayerReferenceScaleKey, host::Variant(layer.referenceScale()));
    return set;
}

std::shared_ptr<host::GroupElement> copiedElements(const host::GraphicsLayer& layer) {
    auto group = std::make_shared<host::GroupElement>();
    const auto elements = layer.elements();
    group->reserve(static_cast<int>(elements.size()));
    for (const auto& element : elements) {
        group->addElement(element->clone());
    }
    return group;
}

GraphicsArchive readGraphicsArchive(const host::PropertySet& set) {
    GraphicsArchive archive;
    archive.graphics = set.getProperty(kGraphicsKey).objectAs<host::GroupElement>();
    archive.missing[at(ArchiveEntry::Graphics)] = !archive.graphics;

    const auto srs = set.getProperty(kSpatialReferenceKey).objectAs<host::SpatialReference>();
    archive.missing[at(ArchiveEntry::SpatialReference)] = !srs;
    if (srs && !(srs->name().empty() && srs->definition().empty())) {
        archive.spatialReference = srs;
    }

    const auto scale = [&](ArchiveEntry entry, double& target, bool zeroAllowed) {
        const auto value = storedScale(set.getProperty(archiveKey(entry)), zeroAllowed);
        archive.missing[at(entry)] = !value;
        target = value.value_or(0.0);
    };
    scale(ArchiveEntry::Scale, archive.scale, false);
    scale(ArchiveEntry::ReferenceScale, archive.referenceScale, true);
    scale(ArchiveEntry::LayerReferenceScale, archive.layerReferenceScale, true);
    return archive;
}

GraphicsArchive readGraphicsFile(const std::string& path) {
    return readGraphicsArchive(*host::readPropertySetFile(path));
}

EntryFlags differingEntries(const GraphicsArchive& archive, const host::Map& map,
                            double targetLayerReferenceScale) {
    EntryFlags differs{};
    const auto set = [&](ArchiveEntry entry, bool value) {
        differs[at(entry)] = !archive.missing[at(entry)] && value;
    };
    set(ArchiveEntry::SpatialReference, spatialReferenceName(map.spatialReference()) !=
                                            spatialReferenceName(archive.spatialReference));
    set(ArchiveEntry::Scale, map.mapScale() != archive.scale);
    set(ArchiveEntry::ReferenceScale, map.referenceScale() != archive.referenceScale);
    set(ArchiveEntry::LayerReferenceScale, targetLayerReferenceScale != archive.layerReferenceScale);
    return differs;
}

std::vector<std::string> flaggedNames(const language::ArchiveMessages& messages,
                                      const EntryFlags& flags) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < kArchiveEntryCount; ++i) {
        if (flags[i]) {
            names.push_back(displayName(messages, static_cast<ArchiveEntry>(i)));
        }
    }
    return names;
}

void restoreSavedParameters(const GraphicsArchive& archive, const EntryFlags& flags,
                            host::Map& map, host::GraphicsLayer& layer) {
    const auto restores = [&](ArchiveEntry entry) {
        return flags[at(entry)] && !archive.missing[at(entry)];
    };
    if (restores(ArchiveEntry::SpatialReference)) {
        map.setSpatialReference(archive.spatialReference);
    }
    if (restores(ArchiveEntry::Scale)) {
        map.setMapScale(archive.scale);
    }
    if (restores(ArchiveEntry::ReferenceScale)) {
        map.setReferenceScale(archive.referenceScale);
    }
    if (restores(ArchiveEntry::LayerReferenceScale)) {
        layer.setReferenceScale(archive.layerReferenceScale);
    }
}

int addArchivedElements(GraphicsArchive& archive, host::GraphicsLayer& layer) {
    if (!archive.graphics) {
        return 0;
    }
    // The members leave the group first: an element belongs to one holder only.
    const std::vector<std::shared_ptr<host::Element>> members = archive.graphics->members();
    archive.graphics->clearElements();
    for (const auto& member : members) {
        layer.addElement(member);
    }
    return static_cast<int>(members.size());
}

std::vector<std::shared_ptr<host::GraphicsLayer>> ListGraphicsLayers(const host::Map& map) {
    const host::CompositeGraphicsLayer& basic = map.basicGraphicsLayer();
    std::vector<std::shared_ptr<host::GraphicsLayer>> layers;
    layers.reserve(static_cast<std::size_t>(basic.layerCount()));
    for (int i = 0; i < basic.layerCount(); ++i) {
        layers.push_back(basic.layer(i));
    }
    return layers;
}

std::shared_ptr<host::GraphicsLayer> AddArchiveGraphicsLayer(const ArchiveServices& services,
                                                             host::Map& map, const std::string& name,
                                                             bool activate) {
    try {
        auto layer = map.basicGraphicsLayer().addLayer(name);
        if (activate) {
            map.setActiveGraphicsLayer(layer);
        }
        return layer;
    } catch (const HostError& e) {
        tell(services,
             e.description() + "\n" + services.messages.text(ArchiveMessage::NotExist) + " " + name,
             "", host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        return nullptr;
    }
}

ArchiveOutcome WriteGraphics2File(std::shared_ptr<host::GroupElement> group,
                                  const host::GraphicsLayer& layer, const host::Map& map,
                                  const std::string& sFileName) {
    return trapped("WriteGraphics2File ", [&](ErrorTrap& trap) {
        trap.at(1);
        const auto set = graphicsArchiveSet(std::move(group), layer, map);
        trap.at(2);
        host::writePropertySetFile(*set, sFileName);
        return ArchiveOutcome{ArchiveOutcome::Kind::Done, {}};
    });
}

ArchiveOutcome SaveGraphics(host::Map& map, const std::string& sGLName, const std::string& sFileName) {
    return trapped("SaveGraphics ", [&](ErrorTrap& trap) {
        trap.at(1);
        const auto layer = map.basicGraphicsLayer().findLayer(sGLName);
        if (!layer) {
            throw HostError(errnum::kNotFound, kArchiveModule,
                            "The map has no graphics layer named " + sGLName);
        }
        trap.at(2);
        auto copies = copiedElements(*layer);
        trap.at(3);
        return WriteGraphics2File(std::move(copies), *layer, map, sFileName);
    });
}

ArchiveOutcome LoadGraphics(const ArchiveServices& services, host::Map& map,
                            const std::string& sToLayer, const std::string& sFileName) {
    const auto stopped = ArchiveOutcome{ArchiveOutcome::Kind::Stopped, {}};
    return trapped("LoadGraphics ", [&](ErrorTrap& trap) {
        const auto& m = services.messages;
        const std::string& title = m.text(ArchiveMessage::GraphicsLoadTitle);
        const auto warn = [&](const std::string& text) {
            tell(services, text, title, host::MessageButtons::Ok, host::MessageIcon::Exclamation);
        };
        // The whole file is read and checked before anything of the map changes.
        trap.at(1);
        const auto set = engine::LoadPropertySetFromFile(sFileName);  // reports a failure itself
        if (!set) {
            warn(m.text(ArchiveMessage::InFileStart) + sFileName + m.text(ArchiveMessage::NoRequiredData));
            return stopped;
        }
        trap.at(2);
        GraphicsArchive archive = readGraphicsArchive(*set);
        if (const auto missing = archive.firstMissing()) {
            warn(*missing == ArchiveEntry::Graphics
                     ? m.text(ArchiveMessage::NoGraphicsInFile)
                     : m.text(ArchiveMessage::NoDataAbout) + displayName(m, *missing));
            return stopped;
        }

        // A layer made for the load starts without a reference scale.
        trap.at(3);
        auto target = map.basicGraphicsLayer().findLayer(sToLayer);
        const EntryFlags differs =
            differingEntries(archive, map, target ? target->referenceScale() : 0.0);
        bool restore = false;
        if (const auto names = flaggedNames(m, differs); !names.empty()) {
            std::string list;
            for (const auto& name : names) {
                list += name + "\n";
            }
            restore = tell(services,
                           m.text(ArchiveMessage::SavedDataDiffers) + "\n" + list + "\n" +
                               m.text(ArchiveMessage::RestoreSavedQuestion),
                           title, host::MessageButtons::YesNo,
                           host::MessageIcon::Exclamation) == host::MessageResult::Yes;
        }

        trap.at(4);
        if (!target) {
            target = AddArchiveGraphicsLayer(services, map, sToLayer, false);
            if (!target) {
                return stopped;  // the message said why
            }
        }
        trap.at(5);
        if (restore) {
            restoreSavedParameters(archive, differs, map, *target);
        }
        trap.at(6);
        addArchivedElements(archive, *target);
        trap.at(7);
        map.partialRefresh(host::DrawPhase::Graphics);
        return ArchiveOutcome{ArchiveOutcome::Kind::Done, {}};
    });
}

}  // namespace kartoplot::archive
