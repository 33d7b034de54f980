#include "frontends/scenario/scenario_cli.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <variant>

#include "frontends/common/output_file.h"
#include "frontends/common/signals.h"
#include "frontends/live/lcd_recording.h"
#include "frontends/scenario/junit_report.h"
#include "frontends/scenario/scenario_parse.h"
#include "frontends/scenario/scenario_run.h"
#include "frontends/scenario/scenario_steps.h"
#include "frontends/signal/dac_out.h"
#include "frontends/trace/pin_trace.h"
#include "util/text.h"

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

JUnitCase caseFor(const std::string& file, const std::string& name)
{
    JUnitCase c;
    c.file = file;
    c.name = name;
    c.className = scenarioStem(file);
    return c;
}

// Every file the runs read: the image, the scenarios, their pictures.
std::vector<NamedInput> inputsOf(const Options& options, const std::vector<std::optional<Scenario>>& scenarios)
{
    std::vector<NamedInput> inputs = {{"the image", options.image}};
    for (size_t i = 0; i < scenarios.size(); ++i) {
        inputs.push_back({"the scenario", options.scenarios[i]});
        if (!scenarios[i]) {
            continue;
        }
        for (const Step& step : scenarios[i]->steps) {
            const auto* lcd = std::get_if<LcdStep>(&step.action);
            if (lcd != nullptr && lcd->action == LcdStep::ExpectPicture) {
                inputs.push_back({"the picture of " + scenarios[i]->file + " line " + std::to_string(step.line),
                                  lcd->path});
            }
        }
    }
    return inputs;
}

// Every file a scenario may write: its save-lcd pictures, and those of a
// mismatch each expect-lcd would leave.
void addOutputsOf(const Scenario& scenario, const StepOutputs& pictures, std::vector<NamedOutput>& outputs)
{
    std::set<std::string> saved;
    for (const Step& step : scenario.steps) {
        if (const auto* signal = std::get_if<SaveSignalStep>(&step.action)) {
            if (saved.insert(signal->path).second) {
                outputs.push_back({"save-signal in " + scenario.file + " line " + std::to_string(step.line),
                                   signal->path});
            }
            continue;
        }
        const auto* lcd = std::get_if<LcdStep>(&step.action);
        if (lcd == nullptr) {
            continue;
        }
        const std::string where = scenario.file + " line " + std::to_string(step.line);
        if (lcd->action == LcdStep::Save) {
            // Saved again by the same scenario: a picture brought up to date.
            if (saved.insert(lcd->path).second) {
                outputs.push_back({"save-lcd in " + where, lcd->path});
            }
            continue;
        }
        const std::string what = "the picture of a mismatch in " + where;
        outputs.push_back({what, mismatchPicture(pictures, step.number, "actual")});
        if (lcd->action == LcdStep::ExpectPicture) {
            outputs.push_back({what, mismatchPicture(pictures, step.number, "diff")});
        }
    }
}

// What the runs will write: each scenario's movie and trace, and every
// file of the run with the option or step that asks for it.
struct PlannedFiles {
    std::vector<std::string> movies;
    std::vector<std::string> traces;
    std::vector<std::string> signals;
    std::vector<NamedOutput> outputs;
};

PlannedFiles plannedFiles(const Options& options, const std::vector<std::optional<Scenario>>& scenarios,
                          const std::vector<std::string>& labels, const std::optional<std::string>& pictureFolder)
{
    PlannedFiles planned;
    if (!options.junit.empty()) {
        planned.outputs.push_back({"--junit", options.junit});
    }
    if (!options.lcdMovie.empty()) {
        if (!lcdMovieSupported()) {
            throw BoardError("--lcd-movie: boardsim was built without giflib");
        }
        planned.movies = perScenarioPaths(options.lcdMovie, options.scenarios);
    }
    if (!options.vcd.empty()) {
        planned.traces = perScenarioPaths(options.vcd, options.scenarios);
    }
    if (!options.dacOut.empty()) {
        planned.signals = perScenarioPaths(options.dacOut, options.scenarios);
    }
    for (const std::string& signal : planned.signals) {
        planned.outputs.push_back({"--dac-out", signal});
    }
    for (const std::string& movie : planned.movies) {
        planned.outputs.push_back({"--lcd-movie", movie});
    }
    for (const std::string& trace : planned.traces) {
        planned.outputs.push_back({"--vcd", trace});
    }
    for (size_t i = 0; i < scenarios.size(); ++i) {
        if (scenarios[i]) {
            addOutputsOf(*scenarios[i], {pictureFolder.value_or(scenarios[i]->folder), labels[i]}, planned.outputs);
        }
    }
    return planned;
}

void readAll(const std::vector<std::string>& files, std::vector<std::optional<Scenario>>& scenarios,
             std::vector<std::string>& unreadableWhy)
{
    for (size_t i = 0; i < files.size(); ++i) {
        try {
            scenarios.emplace_back(readScenario(files[i]));
        } catch (const ScenarioError& e) {
            scenarios.emplace_back();
            unreadableWhy[i] = e.what();
        }
    }
}

// ", 2 not run", or nothing for none.
std::string unlessNone(size_t count, const char* what)
{
    return count == 0 ? std::string() : ", " + std::to_string(count) + " " + what;
}

// A scenario that did not run: it could not be read, or the run was
// interrupted before it.
JUnitCase notRun(const std::string& file, JUnitCase::Result result, const std::string& why)
{
    JUnitCase c = caseFor(file, scenarioStem(file));
    c.result = result;
    c.message = why;
    return c;
}

}  // namespace

std::vector<std::string> scenarioLabels(const std::vector<std::string>& scenarios)
{
    std::map<std::string, int> seen;
    std::set<std::string> taken;
    std::vector<std::string> labels;
    for (const std::string& scenario : scenarios) {
        const std::string stem = scenarioStem(scenario);
        std::string label = stem;
        // "a", "a-2", and never a label another scenario's stem already is.
        while (!taken.insert(label).second) {
            label = stem + "-" + std::to_string(++seen[stem] + 1);
        }
        labels.push_back(label);
    }
    return labels;
}

std::vector<std::string> perScenarioPaths(const std::string& path, const std::vector<std::string>& scenarios)
{
    if (scenarios.size() == 1) {
        return {path};
    }
    const std::filesystem::path given(path);
    const std::filesystem::path start = given.parent_path() / given.stem();
    const std::vector<std::string> labels = scenarioLabels(scenarios);
    std::vector<std::string> paths(labels.size());
    std::transform(labels.begin(), labels.end(), paths.begin(), [&](const std::string& label) {
        return start.string() + "-" + label + given.extension().string();
    });
    return paths;
}

int runScenarios(const ElfImage& image, const BoardOptions& board, const Options& options, std::ostream& out,
                 std::ostream& err)
{
    // Every scenario read first, so that what the runs write can be
    // checked against what they read before the first one starts.
    std::vector<std::optional<Scenario>> scenarios;
    std::vector<std::string> unreadableWhy(options.scenarios.size());
    readAll(options.scenarios, scenarios, unreadableWhy);
    const std::vector<std::string> labels = scenarioLabels(options.scenarios);
    ScenarioSettings settings;
    settings.board = board;
    settings.quiet = options.quiet;
    settings.stopFlag = pendingSignalFlag();
    if (!options.junit.empty()) {
        settings.outputs = std::filesystem::path(options.junit).parent_path().string();
    }

    const PlannedFiles planned = plannedFiles(options, scenarios, labels, settings.outputs);
    refuseClashingOutputs(inputsOf(options, scenarios), planned.outputs);
    for (const NamedOutput& output : planned.outputs) {
        if (output.option.compare(0, 2, "--") == 0) {
            checkWritable(output.path);  // a scenario's own were checked as it was read
        }
    }

    std::vector<JUnitCase> cases;
    size_t passed = 0;
    size_t failed = 0;
    size_t unreadable = 0;
    size_t skipped = 0;
    for (size_t i = 0; i < options.scenarios.size(); ++i) {
        const std::string& file = options.scenarios[i];
        if (pendingSignal() != 0) {
            // Interrupted: the rest are not run, and the report says so.
            cases.push_back(notRun(file, JUnitCase::Skipped,
                                   std::string("not run: interrupted (") + signalName(pendingSignal()) + ")"));
            ++skipped;
            continue;
        }
        if (!scenarios[i]) {
            out.flush();
            err << "boardsim: " << terminalSafe(unreadableWhy[i]) << "\n";
            ++unreadable;
            cases.push_back(notRun(file, JUnitCase::Unreadable, unreadableWhy[i]));
            continue;
        }
        settings.hooks = hooksFor(options, planned.movies, planned.traces, planned.signals, i);
        settings.picturePrefix = labels[i];
        const ScenarioOutcome outcome = runScenario(image, *scenarios[i], settings, out);
        cases.push_back(caseFor(file, scenarios[i]->name));
        cases.back().result = outcome.passed ? JUnitCase::Passed : JUnitCase::Failed;
        cases.back().message = outcome.failure;
        cases.back().output = outcome.log;
        cases.back().seconds = outcome.wallSeconds;
        ++(outcome.passed ? passed : failed);
    }
    if (options.scenarios.size() > 1) {
        out << "scenarios: " << passed << " passed, " << failed << " failed" << unlessNone(unreadable, "could not be read")
            << unlessNone(skipped, "not run") << "\n";
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
