#include "frontends/common/signals.h"

#include <array>
#include <csignal>

namespace boardsim {
namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gSignal = 0;

extern "C" void noteSignal(int number)
{
    gSignal = number;
}

}  // namespace

SignalGuard::SignalGuard()
{
    gSignal = 0;
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &action, &old_[i]);
    }
}

SignalGuard::~SignalGuard()
{
    for (size_t i = 0; i < kSignals.size(); ++i) {
        sigaction(kSignals[i], &old_[i], nullptr);
    }
}

int pendingSignal()
{
    return gSignal;
}

const char* signalName(int number)
{
    switch (number) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    default: return "SIGHUP";
    }
}

}  // namespace boardsim
