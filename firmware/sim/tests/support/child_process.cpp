#include "support/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace boardsim::testing {
namespace {

pid_t spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err, bool ownGroup)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + args[0]);
    }
    return pid;
}

int statusOf(int raw)
{
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace

Child::Child(const std::vector<std::string>& args, bool ownGroup)
    : pid_(spawn(args, capture_.file("out"), capture_.file("err"), ownGroup)), ownGroup_(ownGroup)
{
}

Child::~Child()
{
    if (ownGroup_ && pid_ > 0) {
        kill(-pid_, SIGKILL);  // what it started may outlive it
    }
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void Child::signal(int number) const
{
    if (pid_ > 0 && ownGroup_) {
        kill(-pid_, number);
    } else if (pid_ > 0 && !status_) {
        kill(pid_, number);
    }
}

std::optional<int> Child::exitStatus(double seconds)
{
    waitFor(
        [&] {
            int raw = 0;
            if (!status_ && waitpid(pid_, &raw, WNOHANG) == pid_) {
                status_ = statusOf(raw);
            }
            return status_.has_value();
        },
        std::chrono::milliseconds(int64_t(seconds * 1000)));
    return status_;
}

CommandResult Child::wait(double seconds)
{
    CommandResult result;
    if (!exitStatus(seconds)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        status_ = -1;
        result.status = -1;
    } else {
        result.status = *status_;
    }
    result.out = out();
    result.err = err();
    return result;
}

CommandResult runCommand(const std::vector<std::string>& args)
{
    Child child(args);
    return child.wait(600);  // the tests' own time limits come first
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool waitForPath(const std::string& path, double seconds)
{
    return waitFor([&] { return std::filesystem::exists(path); },
                   std::chrono::milliseconds(int64_t(seconds * 1000)));
}

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        const std::string candidate = dir + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return "";
}

}  // namespace boardsim::testing
