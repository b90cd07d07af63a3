#include "cli/options.h"

#include <gtest/gtest.h>

namespace kartoplot::cli {
namespace {

Command parse(std::vector<std::string> args) { return parseCommandLine(args); }

std::string usageError(std::vector<std::string> args) {
    const Command c = parse(std::move(args));
    const auto* e = std::get_if<UsageError>(&c);
    return e ? e->message : "(no error)";
}

TEST(CommandLine, ChartOptionsReachTheJob) {
    const Command c = parse({"chart", "cities.geojson", "--fields", "pop_max, pop_min", "--layer=places",
                             "--key", "name", "--min", "0,5", "--max=20", "--placement", "ne-circle",
                             "--3d", "--thickness", "4", "--no-leaders", "--where", "pop_max >= 5e6",
                             "--formats", "png,pdf", "--language", "ru", "--width", "800"});
    ASSERT_TRUE(std::holds_alternative<ChartCommand>(c)) << usageError({});
    const ChartJob& job = std::get<ChartCommand>(c).job;
    EXPECT_EQ(job.dataPath, "cities.geojson");
    EXPECT_EQ(job.fields, (std::vector<std::string>{"pop_max", "pop_min"}));
    EXPECT_EQ(job.layer, "places");
    EXPECT_EQ(job.key, "name");
    EXPECT_EQ(job.minValue, 0.5) << "either decimal separator";
    EXPECT_EQ(job.maxValue, 20);
    EXPECT_EQ(job.placement, 3);
    EXPECT_TRUE(job.threeD);
    EXPECT_EQ(job.thickness, 4);
    EXPECT_FALSE(job.leaders);
    EXPECT_TRUE(job.labels);
    ASSERT_TRUE(job.where);
    EXPECT_EQ(job.where->field, "pop_max");
    EXPECT_EQ(job.where->op, AttributeFilter::Op::GreaterOrEqual);
    EXPECT_EQ(job.formats, (std::vector<render::ExportFormat>{render::ExportFormat::Png, render::ExportFormat::Pdf}));
    EXPECT_EQ(job.language, "Русский");
    EXPECT_EQ(job.width, 800);
}

TEST(CommandLine, EveryBadOptionIsNamedInItsError) {
    struct Case {
        std::vector<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {{"chart", "a.json"}, "chart needs --fields"},
        {{"chart", "--fields", "a"}, "chart needs a data file"},
        {{"chart", "a.json", "b.json", "--fields", "a"}, "chart takes one data file, not 2"},
        {{"chart", "a.json", "--fields", "a", "--min", "low"}, "--min needs a number, not 'low'"},
        {{"chart", "a.json", "--fields", "a", "--placement", "up"}, "unknown placement 'up'"},
        {{"chart", "a.json", "--fields", "a", "--colour", "red"}, "chart does not know the option --colour"},
        {{"chart", "a.json", "--fields", "a", "--width", "12.5"}, "--width needs a whole number"},
        {{"chart", "a.json", "--fields", "a,,b"}, "--fields takes field names separated by commas"},
        {{"chart", "a.json", "--fields", "a", "--where", "pop"}, "--where needs FIELD OP VALUE"},
        {{"chart", "a.json", "--fields", "a", "--formats", "png,tif"}, "--formats takes png, svg and pdf, not 'tif'"},
        {{"chart", "a.json", "--fields", "a", "--min", "30", "--max", "20"}, "--min must not be larger than --max"},
        {{"chart", "a.json", "--fields", "a", "--divide", "0"}, "--divide cannot be 0"},
        {{"chart", "a.json", "--fields"}, "--fields needs a value"},
        {{"draw", "a.json"}, "unknown command 'draw'"},
        {{"demo", "x.json"}, "demo takes no data file"},
        {{"layers"}, "layers takes one data file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_NE(usageError(c.args).find(c.expected), std::string::npos) << usageError(c.args);
    }
}

TEST(CommandLine, HelpVersionDemoAndLayers) {
    EXPECT_TRUE(std::holds_alternative<HelpCommand>(parse({})));
    EXPECT_EQ(std::get<HelpCommand>(parse({"chart", "--help"})).topic, "chart");
    EXPECT_TRUE(std::holds_alternative<VersionCommand>(parse({"--version"})));
    EXPECT_EQ(std::get<DemoCommand>(parse({"demo", "--out", "pics"})).outDir, "pics");
    EXPECT_EQ(std::get<LayersCommand>(parse({"layers", "x.gpkg"})).path, "x.gpkg");
}

TEST(CommandLine, PlacementNamesAndFilters) {
    EXPECT_EQ(placementFromName("E"), 1);
    EXPECT_EQ(placementFromName(" top "), 4);
    EXPECT_EQ(placementFromName("SW-Circle"), 9);
    EXPECT_EQ(placementFromName("se"), 13);
    EXPECT_FALSE(placementFromName("old"));

    const auto f = parseFilter("name = 'São Paulo'");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->field, "name");
    EXPECT_EQ(f->value, "São Paulo");
    EXPECT_EQ(parseFilter("a<=3")->op, AttributeFilter::Op::LessOrEqual);
    EXPECT_EQ(parseFilter("a <> 3")->op, AttributeFilter::Op::NotEqual);
    EXPECT_EQ(parseFilter("a>3")->op, AttributeFilter::Op::Greater);
    EXPECT_FALSE(parseFilter("= 3"));
    EXPECT_FALSE(parseFilter("just words"));
}

}  // namespace
}  // namespace kartoplot::cli
