// Serves the ISP boot loader on a pseudo-terminal until the host starts the
// code (G) or goes quiet.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "machine/isp_boot_loader.h"
#include "frontends/common/pty.h"

namespace boardsim {

struct IspOutcome {
    std::vector<uint8_t> flash;
    bool started = false;
    uint32_t startAddress = 0;
    bool thumb = false;
    unsigned crystalKhz = 0;
    unsigned clientBaud = 0;
};

// `idleSeconds`: how long to wait for the host once it has said nothing.
IspOutcome serveIsp(Pty& link, std::vector<uint8_t> flash, double idleSeconds);

}  // namespace boardsim
