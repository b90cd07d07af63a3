// Runs a chart job from data file to picture files: import, selection, the chart run and
// the exports, with progress and a summary on the way.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/options.h"

namespace kartoplot::cli {

struct JobReport {
    int exitCode = 0;                 // 0 done, 1 failed
    std::int64_t charted = 0;
    std::int64_t skipped = 0;
    std::vector<std::string> files;   // written pictures (and the layer file, last)
};

// `out` receives the paths written and the summary, `err` messages and progress.
JobReport runChartJob(const ChartJob& job, std::ostream& out, std::ostream& err,
                      bool showProgress);

// Draws a layer file (RenderJob) into picture files, all or none.
JobReport runRenderJob(const RenderJob& job, std::ostream& out, std::ostream& err, bool showProgress);

// The demo's job: the bundled world cities of five million people and more, their three
// population figures in millions over the land, in the Robinson projection.
ChartJob demoJob(const std::string& dataDir, const std::string& outDir);

// The bundled data folder: the build's data folder when it exists, else "data".
std::string bundledDataDir();

// Lists the layers of a file with their kinds and feature counts.
int listLayers(const std::string& path, std::ostream& out, std::ostream& err);

}  // namespace kartoplot::cli
