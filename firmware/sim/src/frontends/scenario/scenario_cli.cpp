#include "frontends/scenario/scenario_cli.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "frontends/common/output_file.h"
#include "frontends/live/lcd_recording.h"
#include "frontends/scenario/junit_report.h"
#include "frontends/scenario/scenario_parse.h"
#include "frontends/scenario/scenario_run.h"
#include "frontends/signal/dac_out.h"
#include "frontends/trace/pin_trace.h"

namespace boardsim {
namespace {

// What the command line adds to the board of scenario number `index`.
std::vector<BoardHook> hooksFor(const Options& options, const std::vector<std::string>& movies,
                                const std::vector<std::string>& traces, const std::vector<std::string>& signals,
                                size_t index)
{
    std::vector<BoardHook> hooks;
    if (!options.lcdMovie.empty()) {
        hooks.emplace_back([path = movies.at(index)](Board& board, const Scenario& /*scenario*/) {
            auto recording = std::make_shared<LcdRecording>(board);
            return [recording, path] { recording->write(path); };
        });
    }
    if (!options.vcd.empty()) {
        hooks.emplace_back([path = traces.at(index), pins = options.vcdPins, dac = options.vcdDac](
                               Board& board, const Scenario& /*scenario*/) {
            auto trace = std::make_shared<PinTrace>(path, pins, dac);
            trace->attach(board);
            return [trace] { trace->finish(); };
        });
    }
    if (!options.dacOut.empty()) {
        hooks.emplace_back([path = signals.at(index), rate = options.dacRate](Board& board, const Scenario& /*scenario*/) {
            auto out = std::make_shared<DacOut>(path, rate);
            out->attach(board);
            return [out] { out->finish(); };
        });
    }
    return hooks;
}

// An output option's file for each scenario, each checked for writing;
// none when the option was not given.
std::vector<std::string> writablePaths(const std::string& path, const std::vector<std::string>& scenarios)
{
    if (path.empty()) {
        return {};
    }
    std::vector<std::string> paths = perScenarioPaths(path, scenarios);
    for (const std::string& each : paths) {
        checkWritable(each);
    }
    return paths;
}

JUnitCase caseFor(const std::string& file, const std::string& name)
{
    JUnitCase c;
    c.file = file;
    c.name = name;
    c.className = scenarioStem(file);
    return c;
}

}  // namespace

std::vector<std::string> perScenarioPaths(const std::string& path, const std::vector<std::string>& scenarios)
{
    if (scenarios.size() == 1) {
        return {path};
    }
    const std::filesystem::path given(path);
    const std::filesystem::path start = given.parent_path() / given.stem();
    std::map<std::string, int> seen;
    std::vector<std::string> paths;
    for (const std::string& scenario : scenarios) {
        const std::string stem = scenarioStem(scenario);
        const int count = ++seen[stem];
        const std::string suffix = count == 1 ? stem : stem + "-" + std::to_string(count);
        paths.push_back(start.string() + "-" + suffix + given.extension().string());
    }
    return paths;
}

int runScenarios(const ElfImage& image, const BoardOptions& board, const Options& options, std::ostream& out,
                 std::ostream& err)
{
    // Every file the runs write, checked before the first one starts.
    if (!options.junit.empty()) {
        checkWritable(options.junit);
    }
    if (!options.lcdMovie.empty() && !lcdMovieSupported()) {
        throw BoardError("--lcd-movie: boardsim was built without giflib");
    }
    const std::vector<std::string> movies = writablePaths(options.lcdMovie, options.scenarios);
    const std::vector<std::string> traces = writablePaths(options.vcd, options.scenarios);
    const std::vector<std::string> signals = writablePaths(options.dacOut, options.scenarios);
    ScenarioSettings settings;
    settings.board = board;
    settings.quiet = options.quiet;
    if (!options.junit.empty()) {
        settings.outputs = std::filesystem::path(options.junit).parent_path().string();
    }

    std::vector<JUnitCase> cases;
    size_t passed = 0;
    size_t failed = 0;
    size_t unreadable = 0;
    for (size_t i = 0; i < options.scenarios.size(); ++i) {
        const std::string& file = options.scenarios[i];
        std::optional<Scenario> scenario;
        try {
            scenario = readScenario(file);
        } catch (const ScenarioError& e) {
            out.flush();
            err << "boardsim: " << e.what() << "\n";
            ++unreadable;
            cases.push_back(caseFor(file, scenarioStem(file)));
            cases.back().result = JUnitCase::Unreadable;
            cases.back().message = e.what();
            continue;
        }
        settings.hooks = hooksFor(options, movies, traces, signals, i);
        const ScenarioOutcome outcome = runScenario(image, *scenario, settings, out);
        cases.push_back(caseFor(file, scenario->name));
        cases.back().result = outcome.passed ? JUnitCase::Passed : JUnitCase::Failed;
        cases.back().message = outcome.failure;
        cases.back().output = outcome.log;
        cases.back().seconds = outcome.wallSeconds;
        ++(outcome.passed ? passed : failed);
    }
    if (options.scenarios.size() > 1) {
        out << "scenarios: " << passed << " passed, " << failed << " failed";
        if (unreadable > 0) {
            out << ", " << unreadable << " could not be read";
        }
        out << "\n";
    }
    if (!options.junit.empty()) {
        writeJUnit(options.junit, std::filesystem::path(options.image).filename().string(), cases);
    }
    out.flush();
    if (unreadable > 0) {
        return 2;
    }
    return failed > 0 ? 1 : 0;
}

}  // namespace boardsim
