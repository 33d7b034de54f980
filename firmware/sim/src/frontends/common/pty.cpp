#include "frontends/common/pty.h"

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
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
    default: return 0;
    }
}

std::string linkTarget(const std::string& link)
{
    char target[512] = {};
    const ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, size_t(length)) : std::string();
}

bool laterThan(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

}  // namespace

Pty::Pty(std::string link, bool holdSlave, std::ostream& notes) : link_(std::move(link))
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const auto error = failure("cannot make a pseudo-terminal");
        if (master_ >= 0) {
            close(master_);
        }
        throw error;
    }
    const char* name = ptsname(master_);
    device_ = name != nullptr ? name : "";
    // Raw, so that the board's bytes are not echoed back to it; the mode
    // stays with the pty when this descriptor closes.
    const int slave = device_.empty() ? -1 : open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (slave < 0 || tcgetattr(slave, &mode) != 0) {
        const auto error = failure("cannot open " + device_);
        if (slave >= 0) {
            close(slave);
        }
        close(master_);
        throw error;
    }
    cfmakeraw(&mode);
    // No line speed until the client sets one: the kernel's default (38400)
    // would pass for a rate a client chose.
    cfsetispeed(&mode, B0);
    cfsetospeed(&mode, B0);
    tcsetattr(slave, TCSANOW, &mode);
    if (holdSlave) {
        slaveHold_ = slave;
    } else {
        close(slave);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    try {
        makeLink(notes);
    } catch (...) {
        if (slaveHold_ >= 0) {
            close(slaveHold_);
        }
        close(master_);
        throw;
    }
}

void Pty::makeLink(std::ostream& notes)
{
    struct stat existing {};
    if (lstat(link_.c_str(), &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) {
            throw std::runtime_error("cannot make the link " + link_ + ": something other than a symbolic link is there");
        }
        struct stat target {};
        const std::string points = linkTarget(link_);
        const bool exists = stat(link_.c_str(), &target) == 0;
        // A pty's number is used again once it is free: the one a killed
        // run's link names may be ours by now, or another made after the
        // link was. Neither is the pty the link was made for.
        const bool reused = exists && (points == device_ || laterThan(target.st_ctim, existing.st_mtim));
        if (exists && !reused) {
            throw std::runtime_error("cannot make the link " + link_ + ": it points to " + points +
                                     ", which exists (another run using it?)");
        }
        notes << "boardsim: replacing the stale link " << link_ << " (it pointed to " << points
              << (reused ? ", made again since for someone else)\n" : ", which is gone)\n");
        unlink(link_.c_str());
    }
    if (symlink(device_.c_str(), link_.c_str()) != 0) {
        throw failure("cannot make the link " + link_);
    }
}

Pty::~Pty()
{
    // Only our own link: something else put there meanwhile stays.
    if (linkTarget(link_) == device_) {
        unlink(link_.c_str());
    }
    if (slaveHold_ >= 0) {
        close(slaveHold_);
    }
    close(master_);
}

bool Pty::connected() const
{
    // The master hangs up while no descriptor of the device is open.
    pollfd watch{master_, POLLIN, 0};
    return poll(&watch, 1, 0) >= 0 && (watch.revents & POLLHUP) == 0;
}

std::string Pty::read(int timeoutMs)
{
    pollfd fd{master_, POLLIN, 0};
    if (timeoutMs != 0 && (poll(&fd, 1, timeoutMs) <= 0 || (fd.revents & POLLIN) == 0)) {
        return {};
    }
    std::string got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0) {
            got.append(buffer, size_t(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // nothing more now, or no client (EIO)
        }
    }
    return got;
}

void Pty::write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += size_t(put);
        } else if (put < 0 && errno == EAGAIN) {
            pollfd fd{master_, POLLOUT, 0};
            poll(&fd, 1, 100);
        } else if (put < 0 && errno != EINTR) {
            throw failure("cannot write to " + link_);
        }
    }
}

void Pty::send(const std::string& bytes)
{
    if (slaveHold_ < 0 && !connected()) {
        lost_ += bytes.size();
        return;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    lost_ += bytes.size() - done;
    unread_ += bytes.size() - done;
}

unsigned Pty::clientBaud() const
{
    // The client's settings live on the device's side of the pty, not the
    // master's: read them there.
    const int fd = slaveHold_ >= 0 ? slaveHold_ : open(device_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    const bool known = fd >= 0 && tcgetattr(fd, &settings) == 0;
    if (fd >= 0 && fd != slaveHold_) {
        close(fd);
    }
    return known ? baudOf(cfgetospeed(&settings)) : 0;
}

}  // namespace boardsim
