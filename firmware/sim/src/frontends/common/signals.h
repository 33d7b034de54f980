// SIGINT, SIGTERM and SIGHUP while a long session runs (a paced run, the
// boot loader waiting for its host): noted rather than fatal, so that the
// session ends in order (the terminal given back, a pty's link removed).
#pragma once

#include <array>
#include <csignal>

namespace boardsim {

class SignalGuard {
public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

private:
    std::array<struct sigaction, 3> old_{};  // for SIGINT, SIGTERM, SIGHUP
};

// The signal that came since the guard was set up, or 0.
int pendingSignal();
// "SIGINT", "SIGTERM" or "SIGHUP".
const char* signalName(int number);

}  // namespace boardsim
