#include "frontends/common/signals.h"

#include <cstdio>
#include <cstdlib>

#include "frontends/common/output_file.h"

namespace boardsim {
namespace {

constexpr std::array<int, 4> kCaught = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

volatile std::sig_atomic_t gSignal = 0;

extern "C" void noteSignal(int number)
{
    if (number == SIGPIPE) {
        // Whoever read standard output has gone: the run ends, and what
        // is still printed goes nowhere instead of raising it again.
        signal(SIGPIPE, SIG_IGN);
        if (gSignal == 0) {
            gSignal = number;
        }
        return;
    }
    if (gSignal == 0) {
        gSignal = number;
        return;
    }
    // Asked twice: no more waiting for the run to end in order.
    removePendingOutputs();
    signal(number, SIG_DFL);
    raise(number);
}

}  // namespace

SignalGuard::SignalGuard()
{
    gSignal = 0;
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for gdb, a host or a terminal returns, and
    // sees the signal.
    for (size_t i = 0; i < kCaught.size(); ++i) {
        sigaction(kCaught[i], nullptr, &old_[i]);
        if (old_[i].sa_handler != SIG_IGN) {
            sigaction(kCaught[i], &action, nullptr);
        }
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &oldFileSize_);
}

SignalGuard::~SignalGuard()
{
    for (size_t i = 0; i < kCaught.size(); ++i) {
        sigaction(kCaught[i], &old_[i], nullptr);
    }
    sigaction(SIGXFSZ, &oldFileSize_, nullptr);
}

int pendingSignal()
{
    return gSignal;
}

const volatile std::sig_atomic_t* pendingSignalFlag()
{
    return &gSignal;
}

const char* signalName(int number)
{
    switch (number) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    case SIGPIPE: return "SIGPIPE";
    default: return "a signal";
    }
}

void endBySignal(int number)
{
    std::fflush(stdout);
    std::fflush(stderr);
    signal(number, SIG_DFL);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, number);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(number);
    // Not reached: the default action ends the process.
    // cppcheck-suppress unreachableCode
    std::_Exit(128 + number);
}

}  // namespace boardsim
