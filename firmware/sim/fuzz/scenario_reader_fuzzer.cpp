// libFuzzer harness of the scenario reader: whatever a file holds, reading
// it ends in a scenario or in a ScenarioError that places the trouble in
// the file, never a crash, a hang, another exception or a sanitizer report;
// what it accepts has steps, each numbered and placed on a line of the file.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "frontends/scenario/scenario_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto lines = int(std::count(text.begin(), text.end(), '\n')) + 1;
    try {
        const boardsim::Scenario scenario = boardsim::parseScenario(text, "fuzz/s.yaml");
        if (scenario.steps.empty() || !(scenario.timeout > 0)) {
            std::abort();
        }
        for (size_t i = 0; i < scenario.steps.size(); ++i) {
            const boardsim::Step& step = scenario.steps[i];
            if (step.number != int(i) + 1 || step.line < 1 || step.line > lines || step.summary.empty()) {
                std::abort();
            }
        }
    } catch (const boardsim::ScenarioError& e) {
        if (e.message.empty() || e.line < 0 || e.line > lines + 1 || e.column < 0) {
            std::abort();
        }
    }
    return 0;
}
