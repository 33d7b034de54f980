// A fresh folder for one test, removed with everything in it when the test
// ends, also when an assertion failed on the way; and reading files back.
#pragma once

#include <filesystem>
#include <string>

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

// The whole file, or an empty string when it cannot be read.
std::string slurp(const std::string& path);

inline bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace boardsim::testing
