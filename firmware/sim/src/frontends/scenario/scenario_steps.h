// What each kind of step does on a scenario's board, and what it says when
// the board does not do what the step expects.
#pragma once

#include <optional>
#include <string>

#include "frontends/scenario/scenario.h"
#include "frontends/scenario/scenario_board.h"

namespace boardsim {

struct StepResult {
    bool passed = false;
    std::optional<double> at;  // the moment it passed or failed, when that was not the board's time after it
    // Passed: what was measured or written, if anything; failed: what was
    // seen instead of what the step expects.
    std::string detail;
};

// Where a step writes pictures of what it saw when they differ from what it
// expected: a folder, and what their names start with.
struct StepOutputs {
    std::string folder;
    std::string prefix;
};

// The picture of what step number `step` saw ("actual") or of where it
// differs from what it expected ("diff"), when it saw something else.
std::string mismatchPicture(const StepOutputs& outputs, int step, const std::string& what);

// A measured frequency as steps show it: "55.20 Hz", "0.1667 Hz".
std::string frequencyText(double hz);

// Runs `step` on the board from where it is now.
StepResult runStep(ScenarioBoard& board, const Step& step, const StepOutputs& outputs);

}  // namespace boardsim
