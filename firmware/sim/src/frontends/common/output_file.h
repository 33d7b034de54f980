// Files a run will write at its end or part-way through: checked before the
// run starts, so a long run does not end in "cannot write".
#pragma once

#include <stdexcept>
#include <string>

namespace boardsim {

struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws OutputError naming the file and the reason when `path` cannot be
// created or overwritten. Leaves no file behind that was not there.
void checkWritable(const std::string& path);

}  // namespace boardsim
