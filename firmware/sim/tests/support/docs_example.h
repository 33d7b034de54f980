// The manuals' examples run as a reader copies them: a code block found by
// a line it holds, its lines run by bash in a folder where the manuals'
// paths (build/bin/boardsim, build/firmware/firmware.elf and .hex) lead
// to this build's programs. A test of an example fails when the manual's
// text stops working, not only when the program changes.
#pragma once

#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace boardsim::testing {

// The lines of the fenced code block in the Markdown file `document` that
// has a line containing `marker`; empty when there is none.
std::vector<std::string> docsBlock(const std::string& document, const std::string& marker);

// The line of `lines` containing `marker`; empty when there is none.
std::string lineWith(const std::vector<std::string>& lines, const std::string& marker);

// A scratch folder laid out as the project's root after a build.
class DocsFolder : public ScratchDir {
public:
    DocsFolder(const std::string& boardsim, const std::string& elf, const std::string& hex);
};

}  // namespace boardsim::testing
