#include "ending_signals.h"

#include <cstddef>

#include "shared/output_file.h"

namespace {

extern "C" void remove_outputs_and_end(int signal_number)
{
    safe_output::removePendingOutputs();
    // The run ends as the signal would have ended it.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}

}  // namespace

OutputSignalGuard::OutputSignalGuard()
{
    struct sigaction action {};
    action.sa_handler = remove_outputs_and_end;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(ENDING_SIGNALS); ++i) {
        sigaction(ENDING_SIGNALS[i], &action, &previous_[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous_file_size_);
}

OutputSignalGuard::~OutputSignalGuard()
{
    for (std::size_t i = 0; i < std::size(ENDING_SIGNALS); ++i) {
        sigaction(ENDING_SIGNALS[i], &previous_[i], nullptr);
    }
    sigaction(SIGXFSZ, &previous_file_size_, nullptr);
}
