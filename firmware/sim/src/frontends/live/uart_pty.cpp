#include "frontends/live/uart_pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/board_error.h"

namespace boardsim {

UartPty::UartPty(std::string link) : link_(std::move(link))
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const std::string why = std::strerror(errno);
        if (master_ >= 0) {
            close(master_);
        }
        throw BoardError("--uart-pty: no pseudo-terminal: " + why);
    }
    const char* name = ptsname(master_);
    device_ = name != nullptr ? name : "";
    const int slave = device_.empty() ? -1 : open(device_.c_str(), O_RDWR | O_NOCTTY);
    // Raw, so that the board's bytes are not echoed back into RxD0; the
    // mode stays with the pty when this descriptor closes.
    termios mode{};
    if (slave < 0 || tcgetattr(slave, &mode) != 0) {
        const std::string why = std::strerror(errno);
        close(master_);
        if (slave >= 0) {
            close(slave);
        }
        throw BoardError("--uart-pty: cannot open " + device_ + ": " + why);
    }
    cfmakeraw(&mode);
    tcsetattr(slave, TCSANOW, &mode);
    close(slave);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (symlink(device_.c_str(), link_.c_str()) != 0) {
        const std::string why = std::strerror(errno);
        close(master_);
        throw BoardError("--uart-pty: cannot make " + link_ + ": " + why);
    }
}

UartPty::~UartPty()
{
    // Only our own link: something else put there meanwhile stays.
    char target[256] = {};
    const ssize_t length = readlink(link_.c_str(), target, sizeof target - 1);
    if (length > 0 && device_ == std::string(target, size_t(length))) {
        unlink(link_.c_str());
    }
    close(master_);
}

bool UartPty::connected() const
{
    // The master hangs up while no descriptor of the pty's device is open.
    pollfd watch{master_, POLLIN, 0};
    return poll(&watch, 1, 0) >= 0 && (watch.revents & POLLHUP) == 0;
}

void UartPty::send(const std::string& bytes)
{
    if (!connected()) {
        lost_ += bytes.size();
        return;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    lost_ += bytes.size() - done;
}

std::string UartPty::receive() const
{
    std::string typed;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n > 0) {
            typed.append(buffer, size_t(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    return typed;
}

}  // namespace boardsim
