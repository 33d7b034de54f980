#include "program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gbk_convert.h"

namespace {

constexpr int TIMEOUT_MS = 60000;

std::string environment(const char* name, const std::string& fallback)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

std::vector<std::string> command_line()
{
    std::vector<std::string> argv;
    std::istringstream launcher(environment("DACTABLES_LAUNCHER", ""));
    for (std::string word; launcher >> word;) {
        argv.push_back(word);
    }
    argv.push_back(environment("DACTABLES_EXE", DACTABLES_DEFAULT_EXE));
    return argv;
}

// Appends what is readable on fd to `into`; false at end of file.
bool read_some(int fd, std::string* into)
{
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) {
        return false;
    }
    into->append(chunk, static_cast<size_t>(n));
    return true;
}

// Waits for output on the session's open pipes and reads it. False when
// nothing came within the time limit.
bool pump(Session& session, int timeout_ms)
{
    pollfd fds[2];
    nfds_t count = 0;
    if (session.out_fd >= 0) {
        fds[count++] = {session.out_fd, POLLIN, 0};
    }
    if (session.err_fd >= 0) {
        fds[count++] = {session.err_fd, POLLIN, 0};
    }
    if (count == 0) {
        return false;
    }
    if (poll(fds, count, timeout_ms) <= 0) {
        return false;
    }
    for (nfds_t i = 0; i < count; ++i) {
        if (fds[i].revents == 0) {
            continue;
        }
        const bool is_out = fds[i].fd == session.out_fd;
        int& fd = is_out ? session.out_fd : session.err_fd;
        if (!read_some(fd, is_out ? &session.out : &session.err)) {
            close(fd);
            fd = -1;
        }
    }
    return true;
}

}  // namespace

bool runs_natively()
{
    return environment("DACTABLES_LAUNCHER", "").find_first_not_of(" \t") == std::string::npos;
}

std::string disk_name(const std::string& gbk_name)
{
    if (environment("DACTABLES_NAMES", "gbk") == "utf8") {
        return convert_text(gbk_name, "GBK", "UTF-8");
    }
    return gbk_name;
}

std::string console_text(const std::string& text)
{
    if (environment("DACTABLES_CONSOLE_CRLF", "0") != "1") {
        return text;
    }
    std::string crlf;
    for (char c : text) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return crlf;
}

Session start_command(const std::vector<std::string>& args, const std::string& dir, const ChildSetup& setup)
{
    // A program that ends early must not take the test down with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> environment = setup.environment;  // putenv keeps pointers into these
    int in_pipe[2], out_pipe[2], err_pipe[2];
    Session session;
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) {
        ADD_FAILURE() << "pipe failed";
        return session;
    }
    session.pid = fork();
    if (session.pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
            close(fd);
        }
        if (setup.stdout_closed) {
            close(1);
        }
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        if (setup.file_size_limit >= 0) {
            const rlimit limit{static_cast<rlim_t>(setup.file_size_limit),
                               static_cast<rlim_t>(setup.file_size_limit)};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        for (std::string& entry : environment) {
            putenv(entry.data());
        }
        if (chdir(dir.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    session.in_fd = in_pipe[1];
    session.out_fd = out_pipe[0];
    session.err_fd = err_pipe[0];
    EXPECT_GT(session.pid, 0) << "fork failed";
    return session;
}

Session start_program(const std::string& dir, const ChildSetup& setup)
{
    return start_command(command_line(), dir, setup);
}

void send_input(Session& session, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(session.in_fd, text.data() + done, text.size() - done);
        if (n <= 0) {
            return;  // the program stopped reading; it may have ended already
        }
        done += static_cast<size_t>(n);
    }
}

bool read_until(Session& session, const std::string& ending)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TIMEOUT_MS);
    while (session.out.size() < ending.size() ||
           session.out.compare(session.out.size() - ending.size(), ending.size(), ending) != 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || session.out_fd < 0 || !pump(session, static_cast<int>(left.count()))) {
            return false;
        }
    }
    return true;
}

RunResult finish(Session& session)
{
    RunResult result;
    if (session.in_fd >= 0) {
        close(session.in_fd);
        session.in_fd = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TIMEOUT_MS);
    while (session.out_fd >= 0 || session.err_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !pump(session, static_cast<int>(left.count()))) {
            ADD_FAILURE() << "the program did not end in time";
            kill(session.pid, SIGKILL);
            break;
        }
    }
    int status = 0;
    waitpid(session.pid, &status, 0);
    for (int* fd : {&session.out_fd, &session.err_fd}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    result.exited = WIFEXITED(status);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = session.out;
    result.err = session.err;
    return result;
}

RunResult run_program(const std::string& dir, const std::string& input, const ChildSetup& setup)
{
    Session session = start_program(dir, setup);
    send_input(session, input);
    return finish(session);
}

TempDir::TempDir()
{
    std::string pattern = testing::TempDir() + "dactables_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp failed";
    }
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::vector<std::string> folder_entries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool read_file(const std::string& path, std::string* bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    *bytes = content.str();
    return true;
}
