#include "frontends/common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace boardsim {

void checkWritable(const std::string& path)
{
    struct stat info {};
    const bool existed = stat(path.c_str(), &info) == 0;
    if (existed && S_ISDIR(info.st_mode)) {
        throw OutputError("cannot write " + path + ": is a directory");
    }
    // Opening is the only honest test: permissions, read-only mounts and
    // missing folders all show up here, with the system's own reason.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        throw OutputError("cannot write " + path + ": " + std::strerror(errno));
    }
    close(fd);
    if (!existed) {
        unlink(path.c_str());
    }
}

}  // namespace boardsim
