// How the end-to-end tests start dactables and find its tables on disk: the
// one place that knows, chosen at run time so the same tests can drive other
// builds of the program.
//   DACTABLES_LAUNCHER      command prefix, split at blanks (empty: run directly;
//                           e.g. "wine")
//   DACTABLES_EXE           the program (default: this build's dactables)
//   DACTABLES_NAMES         gbk (default): table names on disk are the GBK bytes;
//                           utf8: the same names converted to UTF-8
//   DACTABLES_CONSOLE_CRLF  1: console line ends are expected as CR LF
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

// True when the program runs directly as a Linux process (no launcher), which
// tests of Linux-only mechanisms (file-size limits, /dev/full) need.
bool runs_natively();

// The name a table with these GBK bytes has on disk.
std::string disk_name(const std::string& gbk_name);

// Console text as the program prints it: "\n" becomes CR LF where expected.
std::string console_text(const std::string& text);

struct RunResult {
    bool exited = false;  // ended normally (not by a signal, not timed out)
    int status = -1;
    std::string out;
    std::string err;
};

// A running program whose standard input stays open between sends.
struct Session {
    pid_t pid = -1;
    int in_fd = -1;
    int out_fd = -1;
    int err_fd = -1;
    std::string out;
    std::string err;
};

// How the child is set up before exec. SIGXFSZ is always reset to its default
// (ending the process): whatever ignores it must be the program itself.
struct ChildSetup {
    long file_size_limit = -1;             // >= 0: RLIMIT_FSIZE of that many bytes
    bool stdout_closed = false;            // start with descriptor 1 closed
    std::vector<std::string> environment;  // "NAME=value" entries added
};

// Starts argv (searched in PATH) in `dir`, with pipes for its standard streams.
Session start_command(const std::vector<std::string>& argv, const std::string& dir,
                      const ChildSetup& setup = {});
// Starts the program under test in `dir`.
Session start_program(const std::string& dir, const ChildSetup& setup = {});
void send_input(Session& session, const std::string& text);
// Reads standard output until it ends with `ending`; false on timeout or end.
bool read_until(Session& session, const std::string& ending);
// Closes standard input, reads everything and waits for the end.
RunResult finish(Session& session);

// Start, feed the whole input, finish.
RunResult run_program(const std::string& dir, const std::string& input, const ChildSetup& setup = {});

// A fresh empty folder, removed with its contents at the end of the test.
struct TempDir {
    TempDir();
    ~TempDir();
    std::string path;
};

std::vector<std::string> folder_entries(const std::string& dir);
bool read_file(const std::string& path, std::string* bytes);
