// Scenarios written out by a test: the YAML put in a file of a scratch
// folder (its pictures are read and written there, as beside a real
// scenario) and run in-process on an image, as boardsim --scenario would.
#pragma once

#include <string>

#include "frontends/scenario/scenario_run.h"
#include "image/elf_image.h"
#include "support/scratch_dir.h"

namespace boardsim::testing {

struct ScenarioResult {
    ScenarioOutcome outcome;
    std::string printed;  // what the run printed
};

// Writes `yaml` to `name` in `dir` and returns the file's path.
std::string writeScenario(const ScratchDir& dir, const std::string& yaml, const std::string& name = "s.yaml");

// Reads and runs it; the board options default to those the image's
// profile gives. Throws ScenarioError when it cannot be read.
ScenarioResult runScenarioText(const ElfImage& image, const ScratchDir& dir, const std::string& yaml);
ScenarioResult runScenarioText(const ElfImage& image, const ScratchDir& dir, const std::string& yaml,
                               const ScenarioSettings& settings);

}  // namespace boardsim::testing
