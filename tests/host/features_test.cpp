#include "host/features.h"

#include <gtest/gtest.h>

#include <tuple>

#include "errors/error_handling.h"
#include "host/layers.h"
#include "host/statistics.h"

namespace kartoplot::host {
namespace {

std::shared_ptr<FeatureClass> cities() {
    auto fc = std::make_shared<FeatureClass>("Cities", GeometryType::Point);
    fc->addField({"NAME", "", FieldType::String, 40});
    fc->addField({"Pop", "", FieldType::Integer, 0});
    fc->addField({"Area", "", FieldType::Double, 0});
    fc->createFeature(Point{0, 0}, {Variant("Oslo"), Variant(std::int32_t{700}), Variant(4.5)});
    fc->createFeature(Point{5, 5}, {Variant("Rome"), Variant::null(), Variant(1.5)});
    fc->createFeature(Point{9, 1}, {Variant("Kyiv"), Variant(std::int32_t{300}), Variant(8.0)});
    return fc;
}

std::vector<std::int64_t> ids(FeatureCursor& c) {
    std::vector<std::int64_t> out;
    while (const Feature* f = c.nextFeature()) {
        out.push_back(f->oid);
    }
    return out;
}

TEST(FeatureClass, ObjectIdAndShapeFieldsComeFirstLookupIgnoresCaseValuesKeepTheirKinds) {
    auto fc = cities();
    const Fields& f = fc->fields();
    ASSERT_EQ(f.fieldCount(), 5);
    EXPECT_EQ(std::tuple(f.field(0).type, f.field(1).type),
              std::tuple(FieldType::OID, FieldType::Geometry));
    EXPECT_EQ(std::tuple(f.findField("POP"), f.findField("Population")), std::tuple(3, -1));
    EXPECT_THROW(f.field(5), HostError);
    EXPECT_TRUE(f.field(0).isNumeric());
    EXPECT_FALSE(f.field(2).isNumeric());

    const Feature* rome = fc->feature(2);
    ASSERT_NE(rome, nullptr);
    EXPECT_EQ(rome->value(0), Variant(std::int32_t{2}));
    EXPECT_TRUE(rome->value(1).isEmpty()) << "the shape field holds no value";
    EXPECT_EQ(rome->value(2), Variant("Rome"));
    EXPECT_TRUE(rome->value(3).isNull());
    EXPECT_THROW(rome->value(9), HostError);
    EXPECT_EQ(fc->feature(99), nullptr);
}

TEST(FeatureClass, BadFeaturesFieldsAndValuesAreRefusedWithoutChangingTheClass) {
    auto fc = cities();
    EXPECT_THROW(fc->createFeature(Point{1, 1}, {Variant(1.0)}), HostError) << "number for text";
    EXPECT_THROW(fc->createFeature(Polyline::fromPoints({{0, 0}, {1, 1}}), {}), HostError);
    EXPECT_THROW(
        fc->createFeature(Point{}, {Variant("a"), Variant(1.0), Variant(1.0), Variant(1.0)}),
        HostError);
    EXPECT_THROW(fc->addField({"name", "", FieldType::String, 0}), HostError);
    EXPECT_THROW(fc->addField({"id2", "", FieldType::OID, 0}), HostError);
    EXPECT_THROW(fc->deleteField(0), HostError);
    EXPECT_THROW(fc->deleteField(1), HostError);
    EXPECT_EQ(fc->featureCount(), 3);
    EXPECT_EQ(fc->fields().fieldCount(), 5);

    fc->setValue(2, 3, Variant(std::int32_t{900}));
    EXPECT_EQ(fc->feature(2)->value(3), Variant(std::int32_t{900}));
    fc->setValue(2, 3, Variant());
    EXPECT_TRUE(fc->feature(2)->value(3).isNull());
    EXPECT_THROW(fc->setValue(2, 2, Variant(1.0)), HostError) << "number into text";
    EXPECT_THROW(fc->setValue(2, 0, Variant(std::int32_t{5})), HostError) << "object id";
    EXPECT_THROW(fc->setValue(7, 3, Variant(1.0)), HostError) << "no such feature";
    EXPECT_THROW(fc->setValue(2, 9, Variant(1.0)), HostError);
    EXPECT_EQ(fc->feature(2)->value(2), Variant("Rome"));
}

TEST(FeatureClass, DeletingAFieldRemovesItsValuesAndShiftsTheRest) {
    auto fc = cities();
    fc->deleteField(3);  // Pop
    EXPECT_EQ(fc->findField("Pop"), -1);
    EXPECT_EQ(fc->findField("Area"), 3);
    EXPECT_EQ(fc->feature(1)->value(3), Variant(4.5));
    const int added = fc->addField({"Rank", "", FieldType::SmallInteger, 0});
    EXPECT_TRUE(fc->feature(3)->value(added).isNull());
}

TEST(FeatureClass, SearchesAndSelectionsGiveFeaturesInObjectIdOrder) {
    auto fc = cities();
    EXPECT_EQ(ids(*fc->search()), (std::vector<std::int64_t>{1, 2, 3}));
    QueryFilter inBox;
    inBox.extent = Envelope(4, 0, 10, 6);
    EXPECT_EQ(ids(*fc->search(&inBox)), (std::vector<std::int64_t>{2, 3}));
    QueryFilter big;
    big.where = [](const Feature& f) { return f.value(4).toDouble() > 2; };
    EXPECT_EQ(ids(*fc->search(&big)), (std::vector<std::int64_t>{1, 3}));

    SelectionSet sel(fc);
    sel.add(3);
    sel.add(1);
    sel.add(3);
    EXPECT_EQ(sel.count(), 2);
    EXPECT_EQ(ids(*sel.search()), (std::vector<std::int64_t>{1, 3}));
    EXPECT_THROW(SelectionSet().search(), HostError);

    const std::unique_ptr<FeatureCursor> orphan = cities()->search();  // keeps its class alive
    EXPECT_EQ(orphan->fields().findField("Area"), 4);
    EXPECT_EQ(orphan->nextFeature()->value(2), Variant("Oslo"));
}

TEST(FeatureLayer, SelectionChangesFireTheEventUntilTheHandlerDisconnects) {
    auto layer = std::make_shared<FeatureLayer>("Cities", cities());
    int fired = 0;
    {
        Connection c = layer->selectionChanged().connect([&] { ++fired; });
        layer->setSelection({2, 3, 42});
        EXPECT_EQ(layer->selectionSet().count(), 2) << "unknown ids are not selected";
        QueryFilter all;
        EXPECT_EQ(layer->selectFeatures(all), 3);
        layer->clearSelection();
        EXPECT_EQ(fired, 3);
    }
    layer->setSelection({1});
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(layer->selectionChanged().handlerCount(), 0u);
}

// The statistics of each kind, nulls skipped, are checked through the engine's DataStatistic.
TEST(Statistics, TextFieldsAreRefusedAndNothingGivesZeros) {
    auto fc = cities();
    EXPECT_THROW(computeStatistics(*fc->search(), "NAME"), HostError);
    EXPECT_THROW(computeStatistics(*fc->search(), "Nope"), HostError);
    QueryFilter none;
    none.where = [](const Feature&) { return false; };
    const FieldStatistics empty = computeStatistics(*fc->search(&none), "Area");
    EXPECT_EQ(std::tuple(empty.count, empty.maximum, empty.minimum), std::tuple(0, 0.0, 0.0));
}

}  // namespace
}  // namespace kartoplot::host
