// kartoplot: the batch command line.
#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "cli/chart_job.h"
#include "cli/console.h"
#include "cli/options.h"
#include "errors/error_handling.h"
#include "host/atomic_file.h"

namespace {

int run(const kartoplot::cli::Command& command) {
    using namespace kartoplot::cli;
    if (const auto* help = std::get_if<HelpCommand>(&command)) {
        std::cout << (help->topic == "chart"    ? chartHelpText()
                      : help->topic == "render" ? renderHelpText()
                                                : usageText());
        return 0;
    }
    if (std::holds_alternative<VersionCommand>(command)) {
        std::cout << "kartoplot " << KARTOPLOT_VERSION << '\n';
        return 0;
    }
    if (const auto* error = std::get_if<UsageError>(&command)) {
        std::cerr << "kartoplot: " << error->message << "\n(kartoplot help shows the commands)\n";
        return 2;
    }
    if (const auto* layers = std::get_if<LayersCommand>(&command)) {
        return listLayers(layers->path, std::cout, std::cerr);
    }
    const bool progress = isTerminal(2);
    if (const auto* demo = std::get_if<DemoCommand>(&command)) {
        std::cout << "kartoplot demo: world cities of 5 million people and more, population in "
                     "millions (largest, city proper, other)\n";
        return runChartJob(demoJob(demo->dataDir, demo->outDir), std::cout, std::cerr, progress).exitCode;
    }
    if (const auto* render = std::get_if<RenderCommand>(&command)) {
        return runRenderJob(render->job, std::cout, std::cerr, progress).exitCode;
    }
    return runChartJob(std::get<ChartCommand>(command).job, std::cout, std::cerr, progress).exitCode;
}

bool isVerbose(const kartoplot::cli::Command& command) {
    using namespace kartoplot::cli;
    if (const auto* chart = std::get_if<ChartCommand>(&command)) {
        return chart->job.verbose;
    }
    if (const auto* render = std::get_if<RenderCommand>(&command)) {
        return render->job.verbose;
    }
    const auto* demo = std::get_if<DemoCommand>(&command);
    return demo != nullptr && demo->verbose;
}

// Qt wants a private runtime folder; without a desktop session there is none, so make one
// (as Qt would, but without its warning on every run).
void ensureRuntimeFolder() {
    if (std::getenv("XDG_RUNTIME_DIR") != nullptr) {
        return;
    }
    const std::string folder = "/tmp/kartoplot-runtime-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()) {
        ::chmod(folder.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing needs fonts but no screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ensureRuntimeFolder();
    QGuiApplication app(argc, argv);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const kartoplot::cli::Command command = kartoplot::cli::parseCommandLine(args);

    // Trapped errors go to the log file, and with --verbose to standard error too; the user
    // always gets the reason in words from the command itself.
    auto log = std::make_shared<kartoplot::TeeErrorLog>();
    log->add(std::make_shared<kartoplot::FileErrorLog>(kartoplot::defaultErrorLogPath()));
    if (isVerbose(command)) {
        log->add(std::make_shared<kartoplot::StreamErrorLog>(std::cerr));
    }
    kartoplot::setErrorLog(log);

    // An interrupted run leaves no temporary files behind (exit 130 or 143).
    kartoplot::host::removeTemporariesOnInterrupt();
    return run(command);
}
