// Programs a test runs: boardsim itself and the real clients (gdb-multiarch,
// lpc21isp, picocom, tmux). Each runs without a shell, standard input from
// /dev/null, its output to files that the test reads while it runs or after.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/scratch_dir.h"

namespace boardsim::testing {

// What a command printed and how it ended.
struct CommandResult {
    int status = -1;  // exit status, or -1 when a signal ended it
    std::string out;
    std::string err;
};

// Runs `args` (args[0] is the program, looked up in PATH) to its end.
CommandResult runCommand(const std::vector<std::string>& args);

// A program running beside the test; killed when the test ends, also when
// an assertion failed on the way. With `ownGroup` it runs in a process group
// of its own, and signals (the last SIGKILL too) reach everything it started
// (a shell's background jobs).
class Child {
public:
    explicit Child(const std::vector<std::string>& args, bool ownGroup = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }
    void signal(int number) const;
    // Its output so far.
    std::string out() const { return slurp(capture_.file("out")); }
    std::string err() const { return slurp(capture_.file("err")); }
    // The exit status once it has ended within `seconds` (-1: a signal
    // ended it); nothing, and it goes on, when it has not.
    std::optional<int> exitStatus(double seconds = 15);
    // Waits at most `seconds` for it to end; its result, or status -1 and
    // the output so far when it did not end (it is then killed).
    CommandResult wait(double seconds);

private:
    ScratchDir capture_;
    int pid_ = -1;
    bool ownGroup_ = false;
    std::optional<int> status_;
};

// Polls `done` until it holds or `limit` has passed.
bool waitFor(const std::function<bool()>& done,
             std::chrono::milliseconds limit = std::chrono::milliseconds(10000));
// Waits at most `seconds` for `path` to exist.
bool waitForPath(const std::string& path, double seconds);

// The program's path, from PATH; empty when it is not installed.
std::string findProgram(const std::string& name);

#ifdef REQUIRE_ALL_TOOLS
constexpr bool kRequireAllTools = true;
#else
constexpr bool kRequireAllTools = false;
#endif

}  // namespace boardsim::testing

// A tool the test needs: the test is skipped without it, unless every tool
// is required (make test), where its absence is a failure.
#define REQUIRE_PROGRAM(var, name)                                                    \
    const std::string var = boardsim::testing::findProgram(name);                     \
    if (var.empty()) {                                                                \
        if (boardsim::testing::kRequireAllTools) {                                    \
            FAIL() << name << " is not installed (scripts/bootstrap installs it)";    \
        }                                                                             \
        GTEST_SKIP() << name << " is not installed: scripts/bootstrap installs it";   \
    }
