#include "engine/element_data.h"

#include <gtest/gtest.h>

namespace kartoplot::engine {
namespace {

TEST(ElementData, RoundTripsThePairsAndRefusesOtherCustomProperties) {
    host::MarkerElement e;
    std::vector<std::string> names{"kept"};
    std::vector<host::Variant> values{host::Variant(1.0)};
    EXPECT_FALSE(GetElementData(e, names, values));
    EXPECT_EQ(names, std::vector<std::string>{"kept"}) << "untouched when there is no data";
    e.setCustomProperty(host::Variant("text"));
    EXPECT_FALSE(GetElementData(e, names, values));

    auto list = std::make_shared<const std::vector<std::string>>(
        std::vector<std::string>{"LayerName", "#Vmax#", "b"});
    SetElementData(e, list, {host::Variant("Cities"), host::Variant(10.0), host::Variant("<Null>")});
    ASSERT_TRUE(GetElementData(e, names, values));
    EXPECT_EQ(names, *list);
    EXPECT_EQ(values[2], host::Variant("<Null>"));
}

TEST(ValueText, NumbersInTheLocaleOthersAsTheyAre) {
    const auto point = language::DecimalSeparators::fromLocaleDecimal(".");
    const auto comma = language::DecimalSeparators::fromLocaleDecimal(",");
    EXPECT_EQ(valueText(host::Variant(std::int32_t{42}), point), "42");
    EXPECT_EQ(valueText(host::Variant(12.5), comma), "12,5");
    EXPECT_EQ(valueText(host::Variant("São Paulo"), comma), "São Paulo");
    EXPECT_EQ(valueText(host::Variant(true), point), "True");
    EXPECT_EQ(valueText(host::Variant::null(), point), "");
    EXPECT_EQ(valueText(host::Variant(host::Date{0}), point), "1899-12-30");
    EXPECT_EQ(valueText(host::Variant(host::Date{45000.5}), point), "2023-03-15 12:00:00");
    EXPECT_EQ(valueText(host::Variant(host::Date{-1}), point), "1899-12-29");
}

}  // namespace
}  // namespace kartoplot::engine
