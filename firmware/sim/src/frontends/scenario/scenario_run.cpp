#include "frontends/scenario/scenario_run.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <utility>

#include "frontends/scenario/scenario_board.h"
#include "frontends/scenario/scenario_steps.h"

namespace boardsim {
namespace {

// Prints a run's lines (unless quiet) and keeps them all.
class Transcript {
public:
    Transcript(std::ostream& out, bool quiet, std::string& kept, std::string header)
        : out_(out), quiet_(quiet), kept_(kept), header_(std::move(header))
    {
        line(std::string(header_));
    }

    // `always`: also when quiet, after the scenario's header.
    void line(const std::string& text, bool always = false)
    {
        kept_ += text + "\n";
        if (quiet_ && always && !header_.empty()) {
            out_ << header_ << "\n";
        }
        if (always || !quiet_) {
            out_ << text << "\n";
            out_.flush();
            header_.clear();
        }
    }

    void step(double seconds, const char* verdict, const Step& step, bool always = false)
    {
        char stamp[48];
        std::snprintf(stamp, sizeof stamp, "%12.3f ms  %-4s %3d  ", seconds * 1e3, verdict, step.number);
        line(stamp + step.summary, always);
    }

private:
    std::ostream& out_;
    bool quiet_;
    std::string& kept_;
    std::string header_;  // until printed
};

const char* const kIndent = "                           ";

}  // namespace

ScenarioOutcome runScenario(const ElfImage& image, const Scenario& scenario, const ScenarioSettings& settings,
                            std::ostream& out)
{
    const auto started = std::chrono::steady_clock::now();
    ScenarioOutcome outcome;
    Transcript transcript(out, settings.quiet, outcome.log, "scenario " + scenario.file + ": " + scenario.name);
    const StepOutputs outputs{settings.outputs.value_or(scenario.folder), scenarioStem(scenario.file)};

    ScenarioBoard board(image, settings.board, scenario);
    std::vector<std::function<void()>> finishers;
    const auto fail = [&](const std::string& failure) {
        outcome.failure = failure;
        transcript.line(std::string(kIndent) + failure, true);
    };
    try {
        for (const BoardHook& hook : settings.hooks) {
            if (auto finish = hook(board.board(), scenario)) {
                finishers.push_back(std::move(finish));
            }
        }
    } catch (const std::exception& e) {
        fail(std::string("before the first step: ") + e.what());
    }
    for (size_t i = 0; outcome.failure.empty() && i < scenario.steps.size(); ++i) {
        const Step& step = scenario.steps[i];
        StepResult result;
        try {
            result = runStep(board, step, outputs);
        } catch (const std::exception& e) {
            result = {false, std::nullopt, e.what()};
        }
        // A step that takes no time happens at the moment the last one ended.
        const double at = result.at.value_or(result.passed ? board.moment() : board.now());
        if (result.passed) {
            board.setMoment(at);
            ++outcome.stepsPassed;
            transcript.step(at, "ok", step);
            if (!result.detail.empty()) {
                transcript.line(kIndent + result.detail);
            }
            continue;
        }
        outcome.failedStep = step.number;
        transcript.step(at, "FAIL", step, true);
        fail("step " + std::to_string(step.number) + " (" + step.kind + ", line " + std::to_string(step.line) +
             "): " + result.detail);
    }
    for (const auto& finish : finishers) {
        try {
            finish();
        } catch (const std::exception& e) {
            if (outcome.failure.empty()) {
                fail(std::string("after the last step: ") + e.what());
            } else {
                transcript.line(std::string(kIndent) + e.what(), true);
            }
        }
    }
    outcome.passed = outcome.failure.empty();
    outcome.simulatedSeconds = outcome.failedStep ? board.now() : board.moment();
    outcome.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char summary[160];
    if (outcome.passed) {
        std::snprintf(summary, sizeof summary, "passed: %d step%s, %.3f s of simulated time", outcome.stepsPassed,
                      outcome.stepsPassed == 1 ? "" : "s", outcome.simulatedSeconds);
    } else if (outcome.failedStep) {
        std::snprintf(summary, sizeof summary, "FAILED at step %d of %zu, %.3f s of simulated time",
                      *outcome.failedStep, scenario.steps.size(), outcome.simulatedSeconds);
    } else {
        std::snprintf(summary, sizeof summary, "FAILED after %d step%s", outcome.stepsPassed,
                      outcome.stepsPassed == 1 ? "" : "s");
    }
    transcript.line(summary, !outcome.passed);
    return outcome;
}

}  // namespace boardsim
