#include "gnuplot.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

bool has_control_bytes(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

}  // namespace

std::string gnuplot_quoted(const std::string& text)
{
    // Only the quote itself needs doubling.
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'') {
            out += '\'';
        }
    }
    return out + "'";
}

bool draw_picture(const std::function<std::string(const std::string& png)>& script_for, const std::string& png,
                  std::string* error)
{
    if (png.empty() || has_control_bytes(png)) {
        *error = "the picture's file name must not be empty or hold control characters";
        return false;
    }
    const char* program = std::getenv("ROMTABLE_GNUPLOT");
    const std::string command = std::string(program != nullptr && *program != '\0' ? program : "gnuplot") +
                                " 2>&1";
    // The picture replaces a plain file only, so that an old picture cannot
    // pass for a new one and no device or folder is ever unlinked.
    struct stat before {};
    if (stat(png.c_str(), &before) == 0) {
        if (!S_ISREG(before.st_mode)) {
            *error = png + " exists and is not a plain file";
            return false;
        }
        std::remove(png.c_str());
    }
    FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) {
        *error = "cannot start gnuplot";
        return false;
    }
    // gnuplot ending early must not end romtable with SIGPIPE.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    const std::string script = script_for(png);
    const bool sent = std::fwrite(script.data(), 1, script.size(), pipe) == script.size();
    const int status = pclose(pipe);
    std::signal(SIGPIPE, previous);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) == 127) {
        *error = "gnuplot is not installed (Debian package gnuplot-nox) or could not run";
        return false;
    }
    struct stat info {};
    if (!sent || WEXITSTATUS(status) != 0 || stat(png.c_str(), &info) != 0 || info.st_size == 0) {
        *error = "gnuplot could not draw " + png;
        return false;
    }
    return true;
}
