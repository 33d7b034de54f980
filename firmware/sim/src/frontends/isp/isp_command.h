// `boardsim --isp LINK`: the board starts in its boot loader; a host tool
// programs the flash over the pseudo-terminal; then the board runs it.
#pragma once

#include "machine/board.h"
#include "frontends/cli/options.h"
#include "frontends/common/pty.h"

namespace boardsim {

// Serves the boot loader until the host starts the code or goes quiet,
// saves the flash if asked, and sets `boardOptions` to run what is in
// flash. Returns false when nothing is to run.
bool bootThroughIsp(const ElfImage& image, const Options& options, Pty& link, BoardOptions& boardOptions);

// Writes the flash to `path` (all 256 KiB). Throws OutputError.
void saveFlash(const std::vector<uint8_t>& flash, const std::string& path);

}  // namespace boardsim
