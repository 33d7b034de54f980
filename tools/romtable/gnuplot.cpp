#include "gnuplot.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ending_signals.h"
#include "shared/output_file.h"

namespace {

bool has_control_bytes(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};

struct GnuplotRun {
    bool started = false;
    int status = 0;        // as waitpid gives it
    std::string messages;  // what gnuplot said on standard error
};

std::string contents(FILE* file)
{
    std::string text;
    std::rewind(file);
    char block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        text.append(block, got);
    }
    return text;
}

bool send_all(int descriptor, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// gnuplot (or $ROMTABLE_GNUPLOT) with the script on its standard input. Its
// standard output goes nowhere: a gnuplot that cannot open its output file
// draws the picture there instead, which must never reach romtable's own.
// Its messages are caught in a file, which cannot fill up as a pipe would.
GnuplotRun run_gnuplot(const std::string& script)
{
    GnuplotRun run;
    const char* chosen = std::getenv("ROMTABLE_GNUPLOT");
    const std::string program = chosen != nullptr && *chosen != '\0' ? chosen : "gnuplot";
    const std::unique_ptr<FILE, CloseFile> messages(std::tmpfile());
    int script_pipe[2];
    if (!messages || pipe2(script_pipe, O_CLOEXEC) != 0) {
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, script_pipe[0], STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(messages.get()), STDERR_FILENO);
    std::string name = program;
    pid_t child = -1;
    {
        char* argv[] = {name.data(), nullptr};
        // A signal that ends romtable now ends gnuplot too, so that it
        // writes no temporary file after romtable removed it.
        const HelperProcess helper;
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setsigmask(&attributes, &helper.unblocked());
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
        run.started = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv, environ) == 0;
        posix_spawnattr_destroy(&attributes);
        if (run.started) {
            HelperProcess::started(child);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    close(script_pipe[0]);
    if (run.started) {
        // gnuplot ending early must not end romtable with SIGPIPE.
        const auto previous = std::signal(SIGPIPE, SIG_IGN);
        send_all(script_pipe[1], script);
        close(script_pipe[1]);
        std::signal(SIGPIPE, previous);
        while (waitpid(child, &run.status, 0) < 0 && errno == EINTR) {
        }
        HelperProcess::ended();
    } else {
        close(script_pipe[1]);
    }
    run.messages = contents(messages.get());
    while (!run.messages.empty() && (run.messages.back() == '\n' || run.messages.back() == ' ')) {
        run.messages.pop_back();
    }
    return run;
}

// What gnuplot left: a whole PNG file, its signature and every chunk up to
// IEND, where the file ends. gnuplot says nothing and ends well when the
// disk fills or a file-size limit cuts the picture short.
bool holds_whole_png(const std::string& path)
{
    const std::unique_ptr<FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    const std::string bytes = contents(file.get());
    if (bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") != 0) {
        return false;
    }
    const auto byte = [&](std::size_t i) { return std::uint32_t(static_cast<unsigned char>(bytes[i])); };
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = byte(at) << 24 | byte(at + 1) << 16 | byte(at + 2) << 8 | byte(at + 3);
        const std::size_t next = at + 12 + std::size_t(length);  // length, type, data, CRC
        if (length > 0x7FFFFFFFu || next > bytes.size()) {
            return false;
        }
        if (bytes.compare(at + 4, 4, "IEND") == 0) {
            return next == bytes.size();
        }
        at = next;
    }
    return false;
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
    // A picture replaces a plain file only: no device or folder is ever
    // written over.
    struct stat before {};
    if (stat(png.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        *error = png + " exists and is not a plain file";
        return false;
    }
    try {
        const OutputSignalGuard signals;
        safe_output::OutputFile picture(png);
        const GnuplotRun run = run_gnuplot(script_for(picture.temporaryPath()));
        const std::string said = run.messages.empty() ? "" : ":\n" + run.messages;
        if (!run.started || !WIFEXITED(run.status) || WEXITSTATUS(run.status) == 127) {
            *error = "gnuplot is not installed (Debian package gnuplot-nox) or could not run" + said;
            return false;
        }
        if (WEXITSTATUS(run.status) != 0) {
            *error = "gnuplot could not draw " + png + said;
            return false;
        }
        if (!holds_whole_png(picture.temporaryPath())) {
            *error = "cannot write " + png + ": the picture gnuplot wrote is cut short or no PNG (a full disk, or a "
                                             "file-size limit?)" + said;
            return false;
        }
        picture.commit();
        return true;
    } catch (const safe_output::OutputError& e) {
        *error = e.what();
        return false;
    }
}
