// Where boardsim --web listens: [ADDR:]PORT, the address 127.0.0.1 unless
// given ("0.0.0.0:8080", "[::1]:8080", "localhost:8080", "8080").
#pragma once

#include <cstdint>
#include <string>

namespace boardsim {

struct WebAddress {
    std::string host = "127.0.0.1";
    uint16_t port = 0;  // 0: any free port, printed when the server starts

    // Reachable from this machine only: no token is asked for there.
    bool loopback() const;
    // As a browser writes it in a URL: "127.0.0.1:8080", "[::1]:8080".
    std::string hostPort(uint16_t boundPort) const;
};

// Throws std::invalid_argument with a message fit for the user.
WebAddress parseWebAddress(const std::string& text);

}  // namespace boardsim
