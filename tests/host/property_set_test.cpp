#include "host/property_set.h"

#include <gtest/gtest.h>

#include "errors/error_handling.h"

namespace kartoplot::host {
namespace {

TEST(PropertySet, KeepsOrderAndReplacesANameWhateverItsCase) {
    PropertySet set;
    set.setProperty("LayerName", Variant("Cities"));
    set.setProperty("#Vmax#", Variant(10.0));
    set.setProperty("#VMAX#", Variant(12.0));
    set.setProperty("pop", Variant::null());
    std::vector<std::string> names;
    std::vector<Variant> values;
    set.getAllProperties(names, values);
    EXPECT_EQ(names, (std::vector<std::string>{"LayerName", "#Vmax#", "pop"}));
    EXPECT_EQ(values[1], Variant(12.0));
    EXPECT_TRUE(values[2].isNull());
    EXPECT_TRUE(set.getProperty("missing").isEmpty());
    set.removeProperty("LAYERNAME");
    EXPECT_EQ(set.count(), 2);
}

TEST(PropertySet, SharedNameListIsKeptNotCopiedAndStaysUnchangedForOthers) {
    auto names = std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"LayerName", "#Vmax#", "#Vmin#", "a"});
    PropertySet first;
    PropertySet second;
    first.setProperties(names, {Variant("L"), Variant(1.0), Variant(0.0), Variant(5.0)});
    second.setProperties(names, {Variant("L"), Variant(2.0), Variant(0.0), Variant("<Null>")});
    EXPECT_EQ(&first.names(), names.get());
    EXPECT_EQ(&second.names(), names.get());
    second.setProperty("extra", Variant(true));
    EXPECT_EQ(first.count(), 4) << "a change of one set does not reach another";
    EXPECT_EQ(names->size(), 4u);
    EXPECT_EQ(second.getProperty("a"), Variant("<Null>"));
}

TEST(PropertySet, ListsOfDifferentLengthAreRefusedAndLeaveTheSetAsItWas) {
    PropertySet set;
    set.setProperty("kept", Variant(1.0));
    EXPECT_THROW(set.setProperties(std::vector<std::string>{"a", "b"}, {Variant(1.0)}), HostError);
    EXPECT_EQ(set.count(), 1);
    // Duplicate names in one call merge as single sets would.
    auto dup = std::make_shared<const std::vector<std::string>>(std::vector<std::string>{"x", "X"});
    PropertySet merged;
    merged.setProperties(dup, {Variant(1.0), Variant(2.0)});
    EXPECT_EQ(merged.count(), 1);
    EXPECT_EQ(merged.getProperty("x"), Variant(2.0));
}

TEST(PropertySet, CloneCopiesNestedSets) {
    auto inner = std::make_shared<PropertySet>();
    inner->setProperty("SymbolCount", Variant(std::int32_t{3}));
    PropertySet outer;
    outer.setProperty("SymbolsPropertis", Variant(inner));
    auto copy = outer.clone();
    auto copiedInner = copy->getProperty("SymbolsPropertis").objectAs<PropertySet>();
    ASSERT_TRUE(copiedInner);
    EXPECT_NE(copiedInner, inner);
    copiedInner->setProperty("SymbolCount", Variant(std::int32_t{4}));
    EXPECT_EQ(inner->getProperty("SymbolCount"), Variant(std::int32_t{3}));
}

}  // namespace
}  // namespace kartoplot::host
