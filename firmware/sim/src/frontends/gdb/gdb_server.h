// gdb's connection: a TCP listener on the loopback interface only (the
// stub gives whoever connects the run of the machine), one gdb at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <ostream>

#include "frontends/gdb/gdb_packets.h"

namespace boardsim {

class GdbServer {
public:
    // Port 0 takes any free port; port() tells which.
    explicit GdbServer(uint16_t port);
    ~GdbServer();
    GdbServer(const GdbServer&) = delete;
    GdbServer& operator=(const GdbServer&) = delete;

    uint16_t port() const { return port_; }

    // Serves one gdb after another, the target kept as each left it, until
    // one kills the target or `ending` says the run is over (looked at
    // between slices of a run and whenever a wait is interrupted by a
    // signal). Progress lines go to `log`.
    void serve(GdbTarget& target, std::ostream& log, const std::function<bool()>& ending = {}) const;

private:
    int listener_ = -1;
    uint16_t port_ = 0;
};

}  // namespace boardsim
