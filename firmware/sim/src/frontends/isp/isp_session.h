// Serves the ISP boot loader on a pseudo-terminal, as a chip held in ISP
// mode waits for its host: for ever until a host speaks; then until the host
// starts the code (G) or, having spoken, goes quiet. A pty has no modem
// lines to reset the chip with (lpc21isp's -control), so a new open of the
// link stands for that reset: the boot loader starts over.
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
    bool hostSpoke = false;  // anything came on the line
    int signal = 0;          // SIGINT, SIGTERM or SIGHUP ended the session; 0 if none did
    unsigned crystalKhz = 0;
    unsigned clientBaud = 0;
};

struct IspSessionSettings {
    double idleSeconds = 10;  // how long a host that has spoken may then be quiet
    double crystalHz = 0;     // the board's crystal, which the host's figure should be
};

// `link` must not hold its device open itself (the session sees opens and
// closes). Warnings (a crystal figure that cannot be right) go to `notes`.
IspOutcome serveIsp(Pty& link, std::vector<uint8_t> flash, const IspSessionSettings& settings, std::ostream& notes);

}  // namespace boardsim
