// A pseudo-terminal whose slave a client opens through a symlink, as it
// would open /dev/ttyUSB0: the serial line between a host tool and the
// simulated board. The board's side reads and writes the master.
#pragma once

#include <string>

namespace boardsim {

class PtyLink {
public:
    // Makes the pseudo-terminal and the symlink `link` to its slave. Throws
    // std::runtime_error naming the reason; refuses to replace anything but
    // a symlink.
    explicit PtyLink(std::string link);
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    // Waits up to `timeoutMs` for bytes from the client; returns what came.
    std::string read(int timeoutMs);
    void write(const std::string& bytes);
    // The line speed the client set on its end (0 when it set none).
    unsigned clientBaud() const;
    const std::string& slaveName() const { return slave_; }

private:
    std::string link_;
    std::string slave_;
    int master_ = -1;
    int slaveHold_ = -1;  // kept open so the master never sees a hang-up between clients
};

}  // namespace boardsim
