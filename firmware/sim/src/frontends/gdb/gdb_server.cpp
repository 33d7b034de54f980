#include "frontends/gdb/gdb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/board_error.h"

namespace boardsim {
namespace {

std::string systemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool sendAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        // MSG_NOSIGNAL: a gdb gone away is a closed connection, not SIGPIPE.
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        done += size_t(sent);
    }
    return true;
}

class Socket {
public:
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { ::close(fd_); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// True when gdb killed the target.
bool converse(int fd, GdbTarget& target)
{
    GdbSession session(target);
    char buffer[4096];
    while (session.end() == GdbSession::End::None) {
        pollfd ready{fd, POLLIN, 0};
        // While the board runs, only a glance at the connection between slices.
        const int events = ::poll(&ready, 1, session.running() ? 0 : -1);
        if (events < 0 && errno != EINTR) {
            return false;
        }
        if (events > 0) {
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return false;  // gdb went away; the board stays as it is
            }
            if (!sendAll(fd, session.feed(std::string_view(buffer, size_t(got))))) {
                return false;
            }
        }
        if (session.running() && !sendAll(fd, session.poll())) {
            return false;
        }
    }
    return session.end() == GdbSession::End::Kill;
}

// A gdb that hung up did not remove its breakpoints and watchpoints.
bool serveConnection(int fd, GdbTarget& target)
{
    const bool killed = converse(fd, target);
    target.removeAllPoints();
    return killed;
}

}  // namespace

GdbServer::GdbServer(uint16_t port)
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener_ < 0) {
        throw BoardError(systemError("--gdb: cannot open a socket"));
    }
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 1) != 0) {
        const std::string error = systemError("--gdb: cannot listen on 127.0.0.1:" + std::to_string(port));
        ::close(listener_);
        throw BoardError(error);
    }
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

GdbServer::~GdbServer()
{
    ::close(listener_);
}

void GdbServer::serve(GdbTarget& target, std::ostream& log) const
{
    for (;;) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            throw BoardError(systemError("--gdb: accept"));
        }
        const Socket connection(fd);
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        log << "boardsim: gdb connected" << std::endl;
        if (serveConnection(fd, target)) {
            log << "boardsim: gdb killed the target" << std::endl;
            return;
        }
        log << "boardsim: gdb left; waiting for gdb on 127.0.0.1:" << port_ << std::endl;
    }
}


}  // namespace boardsim
