// boardsim IMAGE --scenario FILE.yaml [--scenario ...] [--junit REPORT.xml]:
// each scenario on a fresh board, one after another, with what the command
// line adds to each board (--lcd-movie, --vcd).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "frontends/cli/options.h"
#include "image/elf_image.h"
#include "machine/board.h"

namespace boardsim {

// Exit status: 0 every scenario passed, 1 a step failed (or an output
// could not be written), 2 a scenario could not be read. Outputs that are
// one of the files the runs read (the image, a scenario, a picture it
// compares with) or that two outputs name are refused before the first
// run. A signal fails the scenario running, and the rest are not run.
int runScenarios(const ElfImage& image, const BoardOptions& board, const Options& options, std::ostream& out,
                 std::ostream& err);

// What tells each scenario's files apart: its file's stem ("version"), and
// for a second scenario of that stem "version-2" (never a label another
// scenario's stem already is).
std::vector<std::string> scenarioLabels(const std::vector<std::string>& scenarios);

// The file an output asked for once per run (a movie, a trace) goes to for
// each scenario: `path` itself when one scenario runs, else one per
// scenario with its label: movie.gif -> movie-version.gif (and
// movie-version-2.gif for a second scenario of that stem).
std::vector<std::string> perScenarioPaths(const std::string& path, const std::vector<std::string>& scenarios);

}  // namespace boardsim
