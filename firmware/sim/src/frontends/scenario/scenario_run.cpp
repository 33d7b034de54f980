#include "frontends/scenario/scenario_run.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <utility>

#include "frontends/scenario/scenario_board.h"
#include "frontends/scenario/scenario_steps.h"
#include "util/text.h"

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
            out_ << terminalSafe(header_) << "\n";
        }
        if (always || !quiet_) {
            out_ << terminalSafe(text) << "\n";
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

// Seconds to the millisecond; a moment within the first one (a fault at
// start-up) in milliseconds, so that it does not read as 0.
std::string simulatedText(double seconds)
{
    char text[48];
    if (seconds > 0 && seconds < 1e-3) {
        std::snprintf(text, sizeof text, "%.3f ms", seconds * 1e3);
    } else {
        std::snprintf(text, sizeof text, "%.3f s", seconds);
    }
    return text;
}

const char* const kIndent = "                           ";

// One scenario's run, from the board's making to the summary line.
class Run {
public:
    Run(const ElfImage& image, const Scenario& scenario, const ScenarioSettings& settings, std::ostream& out)
        : scenario_(scenario), settings_(settings),
          transcript_(out, settings.quiet, outcome_.log, "scenario " + scenario.file + ": " + scenario.name),
          outputs_{settings.outputs.value_or(scenario.folder),
                   settings.picturePrefix.empty() ? scenarioStem(scenario.file) : settings.picturePrefix},
          board_(image, settings.board, scenario, settings.stopFlag)
    {
    }

    ScenarioOutcome go()
    {
        attach();
        for (size_t i = 0; outcome_.failure.empty() && i < scenario_.steps.size(); ++i) {
            step(scenario_.steps[i]);
        }
        finish();
        outcome_.passed = outcome_.failure.empty();
        outcome_.simulatedSeconds = outcome_.failedStep ? board_.now() : board_.moment();
        outcome_.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        transcript_.line(summary(), !outcome_.passed);
        return outcome_;
    }

private:
    void fail(const std::string& failure)
    {
        outcome_.failure = failure;
        transcript_.line(std::string(kIndent) + failure, true);
    }

    void attach()
    {
        try {
            for (const BoardHook& hook : settings_.hooks) {
                if (auto finisher = hook(board_.board(), scenario_)) {
                    finishers_.push_back(std::move(finisher));
                }
            }
        } catch (const std::exception& e) {
            fail(std::string("before the first step: ") + e.what());
        }
    }

    void step(const Step& step)
    {
        StepResult result;
        try {
            result = runStep(board_, step, outputs_);
        } catch (const std::exception& e) {
            result = {false, std::nullopt, e.what()};
        }
        // A step that takes no time happens at the moment the last one ended.
        const double at = result.at.value_or(board_.moment());
        if (!result.passed) {
            outcome_.failedStep = step.number;
            transcript_.step(at, "FAIL", step, true);
            fail("step " + std::to_string(step.number) + " (" + step.kind + ", line " + std::to_string(step.line) +
                 "): " + result.detail);
            return;
        }
        board_.setMoment(at);
        ++outcome_.stepsPassed;
        transcript_.step(at, "ok", step);
        if (!result.detail.empty()) {
            transcript_.line(kIndent + result.detail);
        }
    }

    void finish()
    {
        for (const auto& finisher : finishers_) {
            try {
                finisher();
            } catch (const std::exception& e) {
                if (outcome_.failure.empty()) {
                    fail(std::string("after the last step: ") + e.what());
                } else {
                    // Often why the run stopped (a trace that could not be
                    // written stops it): the report says it with the failure.
                    outcome_.failure += std::string("; ") + e.what();
                    transcript_.line(std::string(kIndent) + e.what(), true);
                }
            }
        }
    }

    std::string summary() const
    {
        const int steps = outcome_.stepsPassed;
        char text[160];
        if (outcome_.passed) {
            std::snprintf(text, sizeof text, "passed: %d step%s, %s of simulated time", steps,
                          steps == 1 ? "" : "s", simulatedText(outcome_.simulatedSeconds).c_str());
        } else if (outcome_.failedStep) {
            std::snprintf(text, sizeof text, "FAILED at step %d of %zu, %s of simulated time",
                          *outcome_.failedStep, scenario_.steps.size(), simulatedText(outcome_.simulatedSeconds).c_str());
        } else {
            std::snprintf(text, sizeof text, "FAILED after %d step%s", steps, steps == 1 ? "" : "s");
        }
        return text;
    }

    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    const Scenario& scenario_;
    const ScenarioSettings& settings_;
    ScenarioOutcome outcome_;
    Transcript transcript_;
    StepOutputs outputs_;
    ScenarioBoard board_;
    std::vector<std::function<void()>> finishers_;
};

}  // namespace

ScenarioOutcome runScenario(const ElfImage& image, const Scenario& scenario, const ScenarioSettings& settings,
                            std::ostream& out)
{
    return Run(image, scenario, settings, out).go();
}

}  // namespace boardsim
