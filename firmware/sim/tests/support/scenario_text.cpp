#include "support/scenario_text.h"

#include <fstream>
#include <sstream>

#include "frontends/common/firmware_profile.h"
#include "frontends/scenario/scenario_parse.h"

namespace boardsim::testing {

std::string writeScenario(const ScratchDir& dir, const std::string& yaml, const std::string& name)
{
    const std::string path = dir.file(name);
    std::ofstream(path) << yaml;
    return path;
}

ScenarioResult runScenarioText(const ElfImage& image, const ScratchDir& dir, const std::string& yaml)
{
    ScenarioSettings settings;
    settings.board = boardOptionsFor(image);
    return runScenarioText(image, dir, yaml, settings);
}

ScenarioResult runScenarioText(const ElfImage& image, const ScratchDir& dir, const std::string& yaml,
                               const ScenarioSettings& settings)
{
    const Scenario scenario = readScenario(writeScenario(dir, yaml));
    std::ostringstream printed;
    ScenarioResult result;
    result.outcome = runScenario(image, scenario, settings, printed);
    result.printed = printed.str();
    return result;
}

}  // namespace boardsim::testing
