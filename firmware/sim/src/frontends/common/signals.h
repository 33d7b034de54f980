// SIGINT, SIGTERM and SIGHUP end a run in order rather than at once: the
// first one only asks (the engine stops before its next instruction, a
// paced run, the boot loader or a gdb session ends), so that the run's
// files are written up to that moment, the terminal is given back and a
// pty's link removed. A second one ends the process at once, removing the
// files still being written. A broken pipe on standard output ends the run
// the same way (further writes to it fail quietly). A signal ignored when
// boardsim started (nohup) stays ignored. A file-size limit fails the write
// that crosses it instead of ending the process.
#pragma once

#include <array>
#include <csignal>

namespace boardsim {

// Catches them for as long as it lives (boardsim's main); the old handlers
// come back when it goes.
class SignalGuard {
public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard&) = delete;
    SignalGuard& operator=(const SignalGuard&) = delete;

private:
    std::array<struct sigaction, 4> old_{};  // SIGINT, SIGTERM, SIGHUP, SIGPIPE
    struct sigaction oldFileSize_ {};
};

// The signal that asked the run to end, or 0.
int pendingSignal();
// The same as a flag the engine looks at before each instruction.
const volatile std::sig_atomic_t* pendingSignalFlag();
// "SIGINT", "SIGTERM", "SIGHUP" or "SIGPIPE".
const char* signalName(int number);
// Ends the process by `number` with its default action, as if the signal
// had not been caught: a shell or script sees the run was interrupted.
[[noreturn]] void endBySignal(int number);

}  // namespace boardsim
