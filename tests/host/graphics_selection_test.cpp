#include "host/graphics_selection.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "errors/error_handling.h"
#include "host/map.h"

namespace kartoplot::host {
namespace {

// A map with the chart layer "A_charts" holding a, b, c and the group g (member m), the
// default layer holding d, and the loose element x that no layer holds.
struct Scene {
    Map map;
    std::shared_ptr<GraphicsLayer> charts = map.basicGraphicsLayer().addLayer("A_charts");
    std::shared_ptr<Element> a = put(*charts, "a");
    std::shared_ptr<Element> b = put(*charts, "b");
    std::shared_ptr<Element> c = put(*charts, "c");
    std::shared_ptr<Element> d = put(map.basicGraphicsLayer(), "d");
    std::shared_ptr<GroupElement> g = makeGroup();
    std::shared_ptr<Element> x = named("x");
    int fired = 0;
    Connection counter = map.graphicsSelection().changed().connect([this] { ++fired; });

    static std::shared_ptr<Element> named(const std::string& name) {
        auto e = std::make_shared<MarkerElement>();
        e->setName(name);
        return e;
    }
    static std::shared_ptr<Element> put(GraphicsContainer& layer, const std::string& name) {
        auto e = named(name);
        layer.addElement(e);
        return e;
    }
    std::shared_ptr<GroupElement> makeGroup() {
        auto group = std::make_shared<GroupElement>();
        group->setName("g");
        group->addElement(named("m"));
        charts->addElement(group);
        return group;
    }
    void select(std::initializer_list<std::shared_ptr<Element>> elements) {
        for (const auto& e : elements) {
            map.selectElement(e);
        }
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        const GraphicsSelection& s = map.graphicsSelection();
        for (int i = 0; i < s.count(); ++i) {
            out.push_back(s.element(i)->name());
        }
        return out;
    }
};

TEST(GraphicsSelection, KeepsOrderAndCurrentAndLetsDeletedElementsGo) {
    using Names = std::vector<std::string>;
    const struct {
        const char* what;
        std::function<void(Scene&)> act;
        Names selected;
        int fired;  // changed() calls after the selection of a, b, c
    } cases[] = {
        {"selection order kept", [](Scene&) {}, {"a", "b", "c"}, 0},
        {"a second select is ignored", [](Scene& s) { s.map.selectElement(s.a); }, {"a", "b", "c"}, 0},
        {"nullptr is ignored", [](Scene& s) { s.map.selectElement(nullptr); }, {"a", "b", "c"}, 0},
        {"current moves to the front",
         [](Scene& s) { s.map.setCurrentElement(*s.c); }, {"c", "a", "b"}, 1},
        {"current in turn keeps the later ones' indexes",
         [](Scene& s) {
             for (int i = 0; i < 3; ++i) {
                 s.map.setCurrentElement(*s.map.selectedElement(i));
             }
         },
         {"c", "b", "a"}, 3},
        {"an unselected element cannot be current",
         [](Scene& s) { s.map.setCurrentElement(*s.d); }, {"a", "b", "c"}, 0},
        {"unselect", [](Scene& s) { s.map.unselectElement(*s.b); }, {"a", "c"}, 1},
        {"unselect of another element", [](Scene& s) { s.map.unselectElement(*s.d); },
         {"a", "b", "c"}, 0},
        {"deleted from its layer",
         [](Scene& s) { s.charts->deleteElement(*s.b); }, {"a", "c"}, 0},
        {"deleted and added again stays gone",
         [](Scene& s) {
             s.charts->deleteElement(*s.b);
             EXPECT_FALSE(s.map.graphicsSelection().contains(*s.b));
             s.charts->addElement(s.b);
         },
         {"a", "c"}, 0},
        {"moved into a group of the layer stays",
         [](Scene& s) { s.charts->moveElementToGroup(s.a, *s.g); }, {"a", "b", "c"}, 0},
        {"its layer deleted, other layers and loose elements stay",
         [](Scene& s) {
             s.select({s.d, s.g->element(0), s.x});
             s.map.basicGraphicsLayer().deleteLayer("A_charts");
         },
         {"d", "x"}, 3},
        {"clear fires once, an empty clear not at all",
         [](Scene& s) {
             s.map.unselectAllElements();
             s.map.unselectAllElements();
         },
         {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        s.select({s.a, s.b, s.c});
        EXPECT_EQ(s.fired, 3);
        s.fired = 0;
        c.act(s);
        EXPECT_EQ(s.names(), c.selected);
        EXPECT_EQ(s.map.elementSelectionCount(), static_cast<int>(c.selected.size()));
        EXPECT_EQ(s.fired, c.fired);
        for (const int outside : {-1, static_cast<int>(c.selected.size())}) {
            EXPECT_THROW(s.map.selectedElement(outside), HostError);
        }
    }
}

}  // namespace
}  // namespace kartoplot::host
