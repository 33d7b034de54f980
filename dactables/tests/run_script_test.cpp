// scripts/run-dactables, the way `make run` starts the program: through luit on
// a real pseudo-terminal, and its one-line report of the table written.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "expected_text.h"
#include "gbk_convert.h"
#include "program_runner.h"
#include "reference_table.h"

namespace {

constexpr int TIMEOUT_MS = 60000;

struct TerminalRun {
    bool exited = false;
    int status = -1;
    std::string screen;  // all the terminal showed, CRs dropped
};

struct TerminalSetup {
    std::string path_first;      // folder put in front of PATH
    long file_size_limit = -1;
};

std::vector<std::string> terminal_environment(const TerminalSetup& setup)
{
    // The test's own locale and terminal must not matter.
    std::vector<std::string> entries = {"LC_ALL=C.UTF-8", "LANG=C.UTF-8", "TERM=dumb"};
    if (!setup.path_first.empty()) {
        const char* path = std::getenv("PATH");
        entries.push_back("PATH=" + setup.path_first + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
    }
    return entries;
}

[[noreturn]] void exec_in_child(const std::vector<std::string>& args, std::vector<std::string>& environment,
                                const TerminalSetup& setup)
{
    for (std::string& entry : environment) {
        putenv(entry.data());
    }
    signal(SIGXFSZ, SIG_DFL);
    if (setup.file_size_limit >= 0) {
        const rlimit limit{static_cast<rlim_t>(setup.file_size_limit), static_cast<rlim_t>(setup.file_size_limit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// Reads the terminal until its other side is gone; types `typed` once the
// screen ends with `prompt`. False on timeout.
bool converse(int master, const std::string& prompt, const std::string& typed, std::string* screen)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TIMEOUT_MS);
    bool answered = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd{master, POLLIN, 0};
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
            return false;
        }
        char chunk[4096];
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0) {
            return true;  // EIO: every descriptor of the terminal's other side is closed
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (chunk[i] != '\r') {
                screen->push_back(chunk[i]);
            }
        }
        const bool prompted = screen->size() >= prompt.size() &&
                              screen->compare(screen->size() - prompt.size(), prompt.size(), prompt) == 0;
        if (!answered && prompted) {
            answered = write(master, typed.data(), typed.size()) == static_cast<ssize_t>(typed.size());
        }
    }
}

// Runs the script on a fresh pseudo-terminal, like a person at a UTF-8
// terminal typing `typed` at the prompt.
TerminalRun run_at_terminal(const std::string& folder, const std::string& prompt, const std::string& typed,
                            const TerminalSetup& setup = {})
{
    const std::vector<std::string> args = {DACTABLES_RUN_SCRIPT, DACTABLES_DEFAULT_EXE, folder};
    std::vector<std::string> environment = terminal_environment(setup);
    TerminalRun run;
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        exec_in_child(args, environment, setup);
    }
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    if (!converse(master, prompt, typed, &run.screen)) {
        ADD_FAILURE() << "no end within the time limit; the screen showed:\n" << run.screen;
        kill(pid, SIGKILL);
    }
    close(master);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exited = WIFEXITED(status);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

bool luit_installed()
{
    return std::system("command -v luit >/dev/null 2>&1") == 0;
}

std::string report_of(const std::string& folder, int option)
{
    return "run-dactables: wrote " + folder + "/" + convert_text(reference_file_name(option), "GBK", "UTF-8") +
           " (" + std::to_string(reference_table(option, 3).size()) + " bytes)\n";
}

std::string nothing_written(const std::string& folder)
{
    return "run-dactables: nothing written to " + folder + "/\n";
}

std::string removed(const std::string& folder, int option)
{
    return "run-dactables: " + folder + "/" + convert_text(reference_file_name(option), "GBK", "UTF-8") +
           ", there before this run, is gone: dactables empties a table's file before it asks for the step, and "
           "removes it when it gives the table up\n";
}

std::string table_in(const std::string& folder, int option)
{
    std::string bytes;
    EXPECT_TRUE(read_file(folder + "/" + reference_file_name(option), &bytes));
    return bytes;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(RunScriptAtTerminal, MenuReadsAsUtf8AndTheTableIsReported)
{
    if (!luit_installed()) {
        GTEST_SKIP() << "luit is not installed (scripts/bootstrap run installs it)";
    }
    TempDir dir;
    const TerminalRun run = run_at_terminal(dir.path, PROMPT_OPTION_UTF8, "5\n");
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.screen, std::string(MENU_UTF8) + PROMPT_OPTION_UTF8 + "5\n")) << run.screen;
    EXPECT_TRUE(contains(run.screen, report_of(dir.path, 5))) << run.screen;
    EXPECT_FALSE(contains(run.screen, "luit cannot")) << run.screen;
    EXPECT_TRUE(table_in(dir.path, 5) == reference_table(5, 0));
}

// luit does not pass the status on; the script must.
TEST(RunScriptAtTerminal, WriteFailureKeepsStatusOne)
{
    if (!luit_installed()) {
        GTEST_SKIP() << "luit is not installed (scripts/bootstrap run installs it)";
    }
    TempDir dir;
    TerminalSetup setup;
    setup.file_size_limit = 10;
    const TerminalRun run = run_at_terminal(dir.path, PROMPT_OPTION_UTF8, "1\n", setup);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(contains(run.screen, "Error! Cannot write this file.\n" + nothing_written(dir.path))) << run.screen;
    EXPECT_TRUE(folder_entries(dir.path).empty());
}

// The luit of x11-utils without the X11 font encodings dies of SIGSEGV on GBK.
TEST(RunScriptAtTerminal, CrashingLuitFallsBackToTheProgramsOwnBytes)
{
    TempDir bin;
    const std::string fake = bin.path + "/luit";
    std::ofstream(fake) << "#!/bin/sh\nkill -SEGV $$\n";
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    TempDir dir;
    TerminalSetup setup;
    setup.path_first = bin.path;
    const TerminalRun run = run_at_terminal(dir.path, gbk(PROMPT_OPTION_UTF8), "7 3\n", setup);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.screen, "run-dactables: luit cannot convert GBK here")) << run.screen;
    EXPECT_TRUE(contains(run.screen, gbk(std::string(MENU_UTF8) + PROMPT_OPTION_UTF8))) << run.screen;
    EXPECT_TRUE(contains(run.screen, report_of(dir.path, 7))) << run.screen;
    EXPECT_TRUE(table_in(dir.path, 7) == reference_table(7, 3));
}

// Piped, the script passes the program's own bytes and reports on standard
// error: what this run wrote, never a table an earlier run left, and a table
// from before that the run removed.
TEST(RunScriptReport, NamesTheTableWrittenOrSaysNothingWas)
{
    TempDir dir;
    struct Case {
        const char* input;
        long file_size_limit;
        int status;
        std::string report;
    };
    const Case cases[] = {
        {"5\n", -1, 0, report_of(dir.path, 5)},
        {"5\n", -1, 0, report_of(dir.path, 5)},  // the same name again: still this run's table
        {"0\n", -1, 0, nothing_written(dir.path)},
        {"7\n0\n", -1, 0, nothing_written(dir.path)},
        {"9\n", -1, 0, report_of(dir.path, 9)},  // a blank in the name
        {"7 3\n", -1, 0, report_of(dir.path, 7)},
        {"1\n", 10, 1, nothing_written(dir.path)},
        {"7\n0\n", -1, 0, nothing_written(dir.path) + removed(dir.path, 7)},  // the table of "7 3" above
        {"7\n0\n", -1, 0, nothing_written(dir.path)},
        {"9\n", 10, 1, nothing_written(dir.path) + removed(dir.path, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("input \"") + c.input + "\"");
        ChildSetup setup;
        setup.file_size_limit = c.file_size_limit;
        Session session = start_command({DACTABLES_RUN_SCRIPT, DACTABLES_DEFAULT_EXE, dir.path}, dir.path, setup);
        send_input(session, c.input);
        const RunResult run = finish(session);
        EXPECT_TRUE(run.exited);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.err, c.report);
        EXPECT_TRUE(contains(run.out, gbk(PROMPT_OPTION_UTF8)));
    }
    EXPECT_EQ(folder_entries(dir.path).size(), 1u);
    EXPECT_TRUE(table_in(dir.path, 5) == reference_table(5, 0));
}
