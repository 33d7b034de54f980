// While romtable writes an output file, a signal that ends it first removes
// the temporary file (the output-file rule leaves the target as it was), and
// a file-size limit fails the write instead of ending the run. Outside a
// write the signals are as they were.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <iterator>

class OutputSignalGuard {
public:
    OutputSignalGuard();
    ~OutputSignalGuard();
    OutputSignalGuard(const OutputSignalGuard&) = delete;
    OutputSignalGuard& operator=(const OutputSignalGuard&) = delete;

    static constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2};

private:
    struct sigaction previous_[std::size(ENDING_SIGNALS)] {};
    struct sigaction previous_file_size_ {};
};

// A program romtable starts to write its output (gnuplot): while it lives,
// a signal that ends romtable ends it first. The ending signals are held
// from the making of this until started() has named the process, so that
// none comes between.
class HelperProcess {
public:
    HelperProcess();
    ~HelperProcess();  // the signals let through again
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    // The signal mask the helper should start with: the one before.
    const sigset_t& unblocked() const { return previous_; }
    static void started(pid_t pid);
    // Once it has been waited for.
    static void ended();

private:
    sigset_t previous_{};
};
