// Scenario files: YAML, read with yaml-cpp, every value checked before the
// board starts, so that a mistake in a file is told with its line and
// column rather than found half way through a run.
//
//   name: Version blanks the screen until a key
//   timeout: 10s
//   steps:
//     - wait-serial: "Hello my first UART pro"
//     - press: 3
//     - expect-lcd: blank
#pragma once

#include <stdexcept>
#include <string>

#include "frontends/scenario/scenario.h"

namespace boardsim {

// A scenario that cannot be read: "FILE:LINE:COLUMN: what" (line and column
// from 1; 0 when the trouble is the file as a whole).
struct ScenarioError : std::runtime_error {
    ScenarioError(const std::string& file, int line, int column, const std::string& message);
    std::string file;
    int line;
    int column;
    std::string message;
};

// Reads the scenario at `path`; pictures it names are read, and files it
// writes checked, relative to its folder. Throws ScenarioError (also when
// boardsim was built without yaml-cpp).
Scenario readScenario(const std::string& path);
// The same for a scenario's text, as if read from `path`.
Scenario parseScenario(const std::string& text, const std::string& path);

}  // namespace boardsim
