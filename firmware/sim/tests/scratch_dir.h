// A fresh folder for one test, removed with everything in it when the test
// ends, also when an assertion failed on the way.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace boardsim::testing {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// What a command printed and how it ended.
struct CommandResult {
    int status = -1;  // exit status, or -1 when a signal ended it
    std::string out;
    std::string err;
};

// Runs `args` (args[0] is the program) without a shell, standard input
// closed to /dev/null.
CommandResult runCommand(const std::vector<std::string>& args);

// A program running beside the test, its output going to files; killed
// when the test ends, also when an assertion failed on the way.
class Child {
public:
    explicit Child(const std::vector<std::string>& args);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // Waits at most `seconds` for it to end; its result, or status -1 and
    // the output so far when it did not end (it is then killed).
    CommandResult wait(double seconds);

private:
    ScratchDir capture_;
    int pid_ = -1;
};

// Waits at most `seconds` for `path` to exist.
bool waitForPath(const std::string& path, double seconds);

// Copies the ELF file `from` to `to` with the first "bl callee" inside
// function `caller` replaced by a no-op. False when there is none.
bool patchCallToNop(const std::string& from, const std::string& to, const std::string& caller,
                    const std::string& callee);

}  // namespace boardsim::testing
