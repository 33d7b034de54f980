// A scenario run on a fresh board from reset: each step printed as it
// passes, with its simulated time; the first that fails ends the run.
#pragma once

#include <csignal>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "frontends/scenario/scenario.h"
#include "machine/board.h"

namespace boardsim {

// What a front end adds to each scenario's board (an LCD movie, a trace of
// the pins): called once the board is made, before its first instruction;
// the function it returns, if any, once the scenario has ended, whatever
// its outcome. What either throws fails the scenario.
using BoardHook = std::function<std::function<void()>(Board&, const Scenario&)>;

struct ScenarioSettings {
    BoardOptions board;
    // Where pictures of a mismatch go; none: beside the scenario.
    std::optional<std::string> outputs;
    // What their names start with; empty: the scenario file's stem.
    std::string picturePrefix;
    bool quiet = false;  // print only a failure
    // While `*stopFlag` is not 0 (a signal's handler sets it), the board
    // runs no further: the scenario fails as interrupted, its files written.
    const volatile std::sig_atomic_t* stopFlag = nullptr;
    std::vector<BoardHook> hooks;
};

struct ScenarioOutcome {
    bool passed = false;
    int stepsPassed = 0;
    // The failure: "step 3 (expect-blink, line 9): what was seen instead".
    std::string failure;
    std::optional<int> failedStep;
    double simulatedSeconds = 0;
    double wallSeconds = 0;
    std::string log;  // every line, also those --quiet does not print
};

ScenarioOutcome runScenario(const ElfImage& image, const Scenario& scenario, const ScenarioSettings& settings,
                            std::ostream& out);

}  // namespace boardsim
