#include "cli/options.h"

#include <gtest/gtest.h>

#include <tuple>

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
        {{"chart", "a.json", "--fields", "a", "-v"}, "chart does not know the option -v"},
        {{"chart", "a.json", "--fields", "a", "--width", "12.5"}, "--width needs a whole number"},
        {{"chart", "a.json", "--fields", "a,,b"}, "--fields takes field names separated by commas"},
        {{"chart", "a.json", "--fields", "a", "--where", "pop"}, "--where needs FIELD OP VALUE"},
        {{"chart", "a.json", "--fields", "a", "--formats", "png,tif"}, "--formats takes png, svg and pdf, not 'tif'"},
        {{"chart", "a.json", "--fields", "a", "--min", "30", "--max", "20"}, "--min (30) must be smaller than --max (20)"},
        {{"chart", "a.json", "--fields", "a", "--min", "5", "--max", "-10"}, "--max must be above 0"},
        {{"chart", "a.json", "--fields", "a", "--min", "-2e7", "--max", "5e6"}, "--min is the smallest size"},
        {{"chart", "a.json", "--fields", "a", "--max", "1.7976931348623157e308"}, "--max must be above 0 and at most 1E+300"},
        {{"chart", "a.json", "--fields", "a", "--dpi", "1e300"}, "--dpi must be from 10 to 2400, not 1e300"},
        {{"chart", "a.json", "--fields", "a", "--dpi", "0.001"}, "--dpi must be from 10 to 2400"},
        {{"chart", "a.json", "--fields", "a", "--size", "1e300"}, "--size must be above 0 and at most 2000 points"},
        {{"chart", "a.json", "--fields", "a", "--bar-width", "1e300"}, "--bar-width must be above 0"},
        {{"chart", "a.json", "--fields", "a", "--point-size", "-1"}, "--point-size must be from 0 to 1000 points"},
        {{"chart", "a.json", "--fields", "a", "--min-mm", "0"}, "--min-mm must be above 0"},
        {{"chart", "a.json", "--fields", "a", "--spacing", "-1"}, "--spacing must be from 0"},
        {{"chart", "a.json", "--fields", "a", "--distance", "inf"}, "--distance needs a number, not 'inf'"},
        {{"chart", "a.json", "--fields", "a", "--width", "20001"}, "--width needs a whole number from 16 to 20000"},
        {{"chart", "a.json", "--fields", "a", "--width", "20000", "--height", "20000"}, "needs 1.5 GiB of memory"},
        {{"chart", "a.json", "--fields", "a", "--3d=maybe"}, "--3d takes no value, or one of yes, no"},
        {{"chart", "a.json", "--fields", "a", "--no-labels=yes"}, "--no-labels takes no value"},
        {{"chart", "a.json", "--fields", "a", "--name", "../x"}, "--name takes a plain file name"},
        {{"chart", "a.json", "--fields", "a", "--name", "/tmp/x"}, "--name takes a plain file name"},
        {{"chart", "a.json", "--fields", "a", "--name", "a\\b"}, "--name takes a plain file name"},
        {{"chart", "a.json", "--fields", "a", "--name", ""}, "--name takes a plain file name"},
        {{"chart", "a.json", "--fields", "a", "--name", ".."}, "--name takes a plain file name"},
        {{"chart", "a.json", "--fields", "\"a,b"}, "--fields takes field names"},
        {{"chart", "a.json", "--fields", "\"a\"x,b"}, "--fields takes field names"},
        {{"chart", "a.json", "--field", ""}, "--field needs a field name"},
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

TEST(CommandLine, SwitchesQuotedFieldsAndBoundsAtTheirEdges) {
    const auto job = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"chart", "a.json"});
        const Command c = parseCommandLine(args);
        EXPECT_TRUE(std::holds_alternative<ChartCommand>(c)) << usageError(args);
        return std::holds_alternative<ChartCommand>(c) ? std::get<ChartCommand>(c).job : ChartJob{};
    };
    EXPECT_FALSE(job({"--fields", "a", "--3d=no"}).threeD);
    EXPECT_TRUE(job({"--fields", "a", "--3d=ON"}).threeD);
    EXPECT_FALSE(job({"--fields", "a", "--labels=false"}).labels);
    EXPECT_FALSE(job({"--fields", "a", "--leaders=off", "--verbose"}).leaders);
    EXPECT_TRUE(job({"--fields", "a", "--verbose"}).verbose);
    EXPECT_EQ(usageError({"chart", "a.json", "--fields", "a", "--3d", "b.json"}),
              "chart takes one data file, not 2")
        << "a switch takes no word";

    EXPECT_EQ(job({"--fields", R"("a, b",c, " d ","e""f")"}).fields,
              (std::vector<std::string>{"a, b", "c", " d ", "e\"f"}));
    EXPECT_EQ(job({"--field", " lead", "--fields", "x", "--field", "p<q"}).fields,
              (std::vector<std::string>{" lead", "x", "p<q"}));

    const ChartJob edges = job({"--fields", "a", "--dpi", "10", "--width", "16", "--height", "20000",
                                "--min", "0", "--max", "1e300", "--size", "2000", "--spacing", "0"});
    EXPECT_EQ(edges.dpi, 10);
    EXPECT_EQ(edges.maxValue, 1e300);
    EXPECT_EQ(job({"--fields", "a", "--width", "20000", "--height", "20000", "--formats", "svg,pdf"}).width,
              20000)
        << "no drawing buffer without PNG";
    EXPECT_EQ(job({"--fields", "a", "--name", "..hidden.map"}).baseName, "..hidden.map");
}

TEST(CommandLine, RenderTakesALayerFileOrAProjectAndChartNamesThemByTheirEnding) {
    const Command c = parse({"render", "m/Cities.LYR", "--backdrop", "land.shp", "--out", "pics", "--name", "c",
                             "--formats", "svg", "--width", "640", "--height=480", "--dpi", "150,5", "--verbose"});
    ASSERT_TRUE(std::holds_alternative<RenderCommand>(c)) << usageError({});
    const RenderJob& job = std::get<RenderCommand>(c).job;
    EXPECT_EQ(std::tuple(job.layerFile, job.backdropPath, job.outDir, job.baseName, job.width, job.height, job.dpi,
                         job.verbose),
              std::tuple(std::string("m/Cities.LYR"), std::string("land.shp"), std::string("pics"), std::string("c"),
                         640, 480, 150.5, true));
    EXPECT_EQ(job.formats, std::vector<render::ExportFormat>{render::ExportFormat::Svg});
    const Command project = parse({"render", "a/World.KARTOPLOT"});
    ASSERT_TRUE(std::holds_alternative<RenderCommand>(project)) << usageError({"render", "a/World.KARTOPLOT"});
    const RenderJob& plain = std::get<RenderCommand>(project).job;
    EXPECT_EQ(std::tuple(plain.projectFile, plain.layerFile, plain.sizeGiven, plain.dpiGiven),
              std::tuple(std::string("a/World.KARTOPLOT"), std::string(), false, false))
        << "the project's own view is drawn";
    const Command sized = parse({"render", "w.kartoplot", "--height", "300", "--dpi", "150"});
    ASSERT_TRUE(std::holds_alternative<RenderCommand>(sized));
    EXPECT_TRUE(std::get<RenderCommand>(sized).job.sizeGiven && std::get<RenderCommand>(sized).job.dpiGiven);

    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"render"}, "render needs a layer file"},
        {{"render", "a.lyr", "b.lyr"}, "one layer file, not 2"},
        {{"render", "cities.geojson"}, "render draws a layer file (*.lyr)"},
        {{"render", "world.txt"}, ".kartoplot"},
        {{"chart", "d.geojson", "--fields", "a", "--project", "world.lyr"}, ".kartoplot"},
        {{"render", "a.lyr", "--width", "5"}, "--width needs a whole number from 16 to 20000"},
        {{"render", "a.lyr", "--dpi", "3"}, "--dpi needs a number from 10 to 2400"},
        {{"render", "a.lyr", "--formats", "gif"}, "--formats takes png, svg and pdf, not 'gif'"},
        {{"render", "a.lyr", "--name", "../x"}, "--name takes a plain file name"},
        {{"render", "a.lyr", "--fields", "a"}, "render does not know the option --fields"},
        {{"render", "a.lyr", "--width", "20000", "--height", "20000"}, "GiB of memory to draw"},
        {{"chart", "c.geojson", "--fields", "a", "--layer-file", "c.leg"}, "--layer-file names a layer file ending in .lyr"},
    };
    for (const auto& [args, said] : refused) {
        SCOPED_TRACE(said);
        EXPECT_NE(usageError(args).find(said), std::string::npos) << usageError(args);
    }
    const Command chart = parse({"chart", "c.geojson", "--fields", "a", "--layer-file", "out/c.lyr"});
    ASSERT_TRUE(std::holds_alternative<ChartCommand>(chart));
    EXPECT_EQ(std::get<ChartCommand>(chart).job.layerFile, "out/c.lyr");
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

    // Odd field names in double quotes: blanks kept, commas and signs inside.
    const auto quoted = parseFilter(R"( " rate, <%>" >= 2)");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->field, " rate, <%>");
    EXPECT_EQ(quoted->op, AttributeFilter::Op::GreaterOrEqual);
    EXPECT_EQ(quoted->value, "2");
    EXPECT_EQ(parseFilter(R"("a""b"=x)")->field, "a\"b");
    EXPECT_FALSE(parseFilter(R"("open >= 2)"));
    EXPECT_FALSE(parseFilter(R"("a" junk >= 2)"));
}

}  // namespace
}  // namespace kartoplot::cli
