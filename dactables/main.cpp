// dactables: prints the menu, reads the choice and writes that one table into
// the current folder. Standard C I/O only: this must build for Windows too.
#include <csignal>
#include <cstdio>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

#include "console.h"

namespace {

// Started with descriptor 0, 1 or 2 closed, the table would be opened on it:
// the step prompt would land in the table, or the step be read from it. Hold
// each closed one with /dev/null first, as coreutils and git do.
void occupy_closed_standard_descriptors()
{
#ifndef _WIN32
    int fd = open("/dev/null", O_RDWR);
    while (fd >= 0 && fd < 2) {
        fd = dup(fd);
    }
    if (fd > 2) {
        close(fd);
    }
#endif
}

}  // namespace

int main()
{
    occupy_closed_standard_descriptors();
#ifdef SIGXFSZ
    // Past a file-size limit the write must fail (and the cut table be
    // removed) rather than the signal end the process with the cut table left.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    return run_console(stdin, stdout);
}
