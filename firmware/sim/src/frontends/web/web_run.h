// boardsim --web: the board runs paced and is served to browsers until an
// ending signal (signals.h); the page's address goes to standard error.
#pragma once

#include "frontends/cli/options.h"
#include "image/elf_image.h"

namespace boardsim {

// Whether this boardsim was built with the web front end.
bool webSupported();

// Returns the exit status.
int serveWeb(const ElfImage& image, const Options& options);

}  // namespace boardsim
