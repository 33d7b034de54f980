// While romtable writes an output file, a signal that ends it first removes
// the temporary file (the output-file rule leaves the target as it was), and
// a file-size limit fails the write instead of ending the run. Outside a
// write the signals are as they were.
#pragma once

#include <csignal>
#include <iterator>

class OutputSignalGuard {
public:
    OutputSignalGuard();
    ~OutputSignalGuard();
    OutputSignalGuard(const OutputSignalGuard&) = delete;
    OutputSignalGuard& operator=(const OutputSignalGuard&) = delete;

private:
    static constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2};
    struct sigaction previous_[std::size(ENDING_SIGNALS)] {};
    struct sigaction previous_file_size_ {};
};
