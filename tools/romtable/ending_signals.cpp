#include "ending_signals.h"

#include <sys/wait.h>

#include <cstddef>

#include "shared/output_file.h"

namespace {

volatile std::sig_atomic_t g_helper = 0;  // the helper's process id, or 0

extern "C" void remove_outputs_and_end(int signal_number)
{
    const pid_t helper = g_helper;
    if (helper > 0) {
        kill(helper, SIGKILL);
        waitpid(helper, nullptr, 0);  // gone before its temporary file goes
    }
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

HelperProcess::HelperProcess()
{
    sigset_t ending;
    sigemptyset(&ending);
    for (const int number : OutputSignalGuard::ENDING_SIGNALS) {
        sigaddset(&ending, number);
    }
    sigprocmask(SIG_BLOCK, &ending, &previous_);
}

HelperProcess::~HelperProcess()
{
    sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

void HelperProcess::started(pid_t pid)
{
    g_helper = pid;
}

void HelperProcess::ended()
{
    g_helper = 0;
}
