#include "host/graphics.h"

#include <gtest/gtest.h>

#include <random>

#include "errors/error_handling.h"

namespace kartoplot::host {
namespace {

std::shared_ptr<MarkerElement> named(const std::string& name) {
    auto e = std::make_shared<MarkerElement>();
    e->setName(name);
    return e;
}

std::shared_ptr<GroupElement> groupOf(std::initializer_list<std::string> memberNames) {
    auto g = std::make_shared<GroupElement>();
    for (const auto& n : memberNames) {
        g->addElement(named(n));
    }
    return g;
}

// The lookup rule written as the plain scan it must agree with.
std::shared_ptr<Element> scanByName(GraphicsContainer& c, const std::string& name) {
    c.reset();
    while (auto e = c.next()) {
        if (e->kind() == ElementKind::Group) {
            for (const auto& m : static_cast<GroupElement&>(*e).members()) {
                if (m->name() == name) {
                    return e;
                }
            }
        } else if (e->name() == name) {
            return e;
        }
    }
    return nullptr;
}

TEST(GraphicsContainer, AGroupIsFoundWholeThroughAMembersNameButNotItsOwn) {
    GraphicsLayer layer("Cities_charts");
    auto group = groupOf({"Moscow", ""});
    group->setName("GroupName");
    layer.addElement(group);
    EXPECT_EQ(layer.findElementByName("Moscow"), group);
    EXPECT_EQ(layer.findElementByName("GroupName"), nullptr);
    EXPECT_EQ(layer.findElementByName("moscow"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(layer.findElementByName(""), group) << "the unnamed label member matches too";
}

// Adds, deletions, renames of loose elements and group members, members added to and deleted
// from groups, and elements moved into groups.
TEST(GraphicsContainer, IndexedLookupAgreesWithTheScanUnderRandomEdits) {
    GraphicsLayer layer("L");
    std::mt19937 rng(12345);
    const std::vector<std::string> names = {"A", "B", "C", "D", "E", "<Null>"};
    auto pick = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    for (int step = 0; step < 3000; ++step) {
        const auto all = layer.elements();
        switch (pick(6)) {
            case 0: layer.addElement(named(names[pick(names.size())])); break;
            case 1: layer.addElement(groupOf({names[pick(names.size())], ""})); break;
            case 2:
                if (!all.empty()) layer.deleteElement(*all[pick(all.size())]);
                break;
            case 3:
                if (!all.empty()) {
                    auto e = all[pick(all.size())];
                    if (e->kind() == ElementKind::Group) {
                        auto& g = static_cast<GroupElement&>(*e);
                        if (g.elementCount() > 0) g.element(0)->setName(names[pick(names.size())]);
                    } else {
                        e->setName(names[pick(names.size())]);
                    }
                }
                break;
            case 4:
                if (!all.empty() && all.front()->kind() == ElementKind::Group) {
                    auto& g = static_cast<GroupElement&>(*all.front());
                    if (g.elementCount() > 1 && pick(2) == 0) {
                        g.deleteElement(*g.element(static_cast<int>(pick(g.elementCount()))));
                    } else {
                        g.addElement(named(names[pick(names.size())]));
                    }
                }
                break;
            default:
                if (all.size() >= 2 && all.back()->kind() == ElementKind::Group &&
                    all.front()->kind() != ElementKind::Group) {
                    layer.moveElementToGroup(all.front(), static_cast<GroupElement&>(*all.back()));
                }
                break;
        }
        for (const auto& n : names) {
            ASSERT_EQ(layer.findElementByName(n), scanByName(layer, n)) << "step " << step << " " << n;
        }
    }
    EXPECT_GT(layer.elementCount(), 0);
}

TEST(GraphicsContainer, RefusesForeignElementsAndDoubleAddsWithoutChanging) {
    GraphicsLayer a("A");
    GraphicsLayer b("B");
    auto e = named("x");
    a.addElement(e);
    EXPECT_THROW(b.addElement(e), HostError);
    EXPECT_THROW(b.deleteElement(*e), HostError);
    EXPECT_THROW(b.updateElement(*e), HostError);
    auto group = std::make_shared<GroupElement>();
    EXPECT_THROW(b.moveElementToGroup(e, *group), HostError);
    EXPECT_EQ(a.elementCount(), 1);
    EXPECT_EQ(b.elementCount(), 0);
    EXPECT_EQ(a.findElementByName("x"), e);

    a.moveElementToGroup(e, *group);
    EXPECT_EQ(a.elementCount(), 0);
    EXPECT_EQ(group->element(0), e);
    EXPECT_EQ(e->container(), nullptr);
    a.addElement(group);
    a.deleteElement(*group);
    EXPECT_EQ(e->parent(), group.get()) << "the group keeps its members when removed";
}

TEST(CompositeGraphicsLayer, SubLayersByExactNameInOrder) {
    CompositeGraphicsLayer basic;
    basic.addLayer("Cities_charts");
    basic.addLayer("cities_charts");
    EXPECT_EQ(basic.layerCount(), 2);
    EXPECT_EQ(basic.layer(1)->name(), "cities_charts");
    EXPECT_THROW(basic.addLayer("Cities_charts"), HostError);
    EXPECT_THROW(basic.addLayer(""), HostError);
    EXPECT_THROW(basic.deleteLayer("Rivers_charts"), HostError);

    auto keep = basic.findLayer("Cities_charts");
    auto element = named("x");
    keep->addElement(element);
    basic.deleteLayer("Cities_charts");
    EXPECT_EQ(basic.findLayer("Cities_charts"), nullptr);
    EXPECT_NE(basic.findLayer("cities_charts"), nullptr);
    EXPECT_EQ(keep->elementCount(), 0) << "a deleted layer loses its elements";
    EXPECT_EQ(element->container(), nullptr);
}

}  // namespace
}  // namespace kartoplot::host
