// `boardsim --isp LINK`: the board starts in its boot loader; a host tool
// programs the flash over the pseudo-terminal; then the board runs it.
#pragma once

#include "machine/board.h"
#include "frontends/cli/options.h"
#include "frontends/common/pty.h"

namespace boardsim {

// How the boot loader's session ended.
enum class IspEnd {
    Run,          // the code is to run: the host started it (G), or --reset-after-isp
    Done,         // the host spoke, then went quiet or the session was interrupted
    NothingDone,  // interrupted before any host spoke: a failure
};

// Serves the boot loader until the host starts the code or, having spoken,
// goes quiet (or a signal comes); saves the flash if asked, and sets
// `boardOptions` to run what is in flash.
IspEnd bootThroughIsp(const ElfImage& image, const Options& options, Pty& link, BoardOptions& boardOptions);

// Writes the flash to `path` (all 256 KiB). Throws OutputError.
void saveFlash(const std::vector<uint8_t>& flash, const std::string& path);

}  // namespace boardsim
