#include "frontends/common/pty_link.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace boardsim {
namespace {

std::runtime_error failure(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

unsigned baudOf(speed_t speed)
{
    switch (speed) {
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    default: return 0;
    }
}

}  // namespace

PtyLink::PtyLink(std::string link) : link_(std::move(link))
{
    struct stat existing {};
    if (lstat(link_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        throw std::runtime_error("cannot make the link " + link_ + ": something other than a symlink is there");
    }
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const auto error = failure("cannot make a pseudo-terminal");
        if (master_ >= 0) {
            close(master_);
        }
        throw error;
    }
    slave_ = ptsname(master_);
    slaveHold_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw {};
    if (slaveHold_ >= 0 && tcgetattr(slaveHold_, &raw) == 0) {
        cfmakeraw(&raw);  // a serial line: no echo, no line editing, until the client sets its own
        tcsetattr(slaveHold_, TCSANOW, &raw);
    }
    unlink(link_.c_str());
    if (symlink(slave_.c_str(), link_.c_str()) != 0) {
        const auto error = failure("cannot make the link " + link_);
        close(slaveHold_);
        close(master_);
        throw error;
    }
}

PtyLink::~PtyLink()
{
    unlink(link_.c_str());
    if (slaveHold_ >= 0) {
        close(slaveHold_);
    }
    close(master_);
}

std::string PtyLink::read(int timeoutMs)
{
    pollfd fd{master_, POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0 || (fd.revents & POLLIN) == 0) {
        return {};
    }
    char buffer[4096];
    const ssize_t got = ::read(master_, buffer, sizeof buffer);
    return got > 0 ? std::string(buffer, size_t(got)) : std::string();
}

void PtyLink::write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno != EINTR && errno != EAGAIN) {
            throw failure("cannot write to " + link_);
        }
        done += put > 0 ? size_t(put) : 0;
    }
}

unsigned PtyLink::clientBaud() const
{
    termios settings {};
    if (slaveHold_ < 0 || tcgetattr(slaveHold_, &settings) != 0) {
        return 0;
    }
    return baudOf(cfgetospeed(&settings));
}

}  // namespace boardsim
