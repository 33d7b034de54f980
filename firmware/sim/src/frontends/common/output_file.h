// boardsim writes every file it makes by the host tools' output-file rule
// (tools/shared/output_file.h): a temporary beside the target, every write
// checked, synced and renamed; outputs that clash with the image or with
// each other refused before the run.
#pragma once

#include "shared/output_file.h"

namespace boardsim {

using safe_output::checkWritable;
using safe_output::NamedInput;
using safe_output::NamedOutput;
using safe_output::OutputError;
using safe_output::OutputFile;
using safe_output::refuseClashingOutputs;
using safe_output::removePendingOutputs;
using safe_output::sameFile;
using safe_output::writeOutputFile;

}  // namespace boardsim
