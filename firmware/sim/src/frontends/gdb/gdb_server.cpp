#include "frontends/gdb/gdb_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
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

// How long a refused gdb is given to send its first packet, and then to
// close its end.
constexpr int kRefusalWaitMs = 500;
// How often a wait looks whether the run is over: a signal that came just
// before the wait began does not interrupt it.
constexpr int kEndingLookMs = 200;

bool over(const std::function<bool()>& ending)
{
    return ending && ending();
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

// A debug probe serves one debugger: another gdb that connects meanwhile
// is turned away at once, rather than left waiting in the listen queue
// until this one leaves.
// Reads what arrives on `fd` until `done` holds, it closes, or `ms` have
// passed.
void readFor(int fd, int ms, const std::function<bool(const std::string&)>& done)
{
    std::string got;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done(got)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) != 1) {
            return;
        }
        char buffer[512];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return;
        }
        got.append(buffer, size_t(n));
    }
}

// gdb shows the text of an "E." reply to its first packet as a warning
// before it reports the connection closed. The reply goes after that whole
// packet has been read, and the connection is closed once gdb has closed
// its end: unread data at a close would reset the connection, and gdb would
// lose the reply.
void refuseAnother(int listener, std::ostream& log)
{
    const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    const Socket connection(fd);
    log << "boardsim: refused another gdb: one is attached already (a board serves one debugger at a time)"
        << std::endl;
    readFor(fd, kRefusalWaitMs, [](const std::string& got) {
        const size_t hash = got.find('#');
        return hash != std::string::npos && got.size() >= hash + 3;
    });
    sendAll(fd, "+" + framePacket("E.another gdb is attached to this board; it serves one debugger at a time"));
    ::shutdown(fd, SHUT_WR);
    readFor(fd, kRefusalWaitMs, [](const std::string&) { return false; });
}

// What gdb sent, fed to the session and answered. False when gdb went
// away (the board stays as it is) or cannot be answered.
bool takeFromGdb(int fd, GdbSession& session)
{
    char buffer[4096];
    ssize_t got = -1;
    do {
        got = ::recv(fd, buffer, sizeof buffer, 0);
    } while (got < 0 && errno == EINTR);
    return got > 0 && sendAll(fd, session.feed(std::string_view(buffer, size_t(got))));
}

// True when gdb killed the target or the run is over.
bool converse(int fd, int listener, GdbTarget& target, std::ostream& log, const std::function<bool()>& ending)
{
    GdbSession session(target);
    while (session.end() == GdbSession::End::None) {
        if (over(ending)) {
            return true;
        }
        pollfd ready[2] = {{fd, POLLIN, 0}, {listener, POLLIN, 0}};
        // While the board runs, only a glance at the connection between
        // slices; while it waits, a look at `ending` now and then.
        const int events = ::poll(ready, 2, session.running() ? 0 : kEndingLookMs);
        if (events < 0 && errno != EINTR) {
            return false;
        }
        // What this gdb sent comes first: when it has just hung up, a gdb
        // connecting after it is the next one, not a second.
        if (events > 0 && ready[0].revents != 0 && !takeFromGdb(fd, session)) {
            return false;
        }
        if (events > 0 && (ready[1].revents & POLLIN) != 0) {
            refuseAnother(listener, log);
        }
        if (session.running() && !sendAll(fd, session.poll())) {
            return false;
        }
    }
    return session.end() == GdbSession::End::Kill;
}

// A gdb that hung up did not remove its breakpoints and watchpoints.
bool serveConnection(int fd, int listener, GdbTarget& target, std::ostream& log,
                     const std::function<bool()>& ending)
{
    const bool killed = converse(fd, listener, target, log, ending);
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

void GdbServer::serve(GdbTarget& target, std::ostream& log, const std::function<bool()>& ending) const
{
    for (;;) {
        if (over(ending)) {
            return;
        }
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, kEndingLookMs) <= 0) {
            continue;
        }
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
        if (serveConnection(fd, listener_, target, log, ending)) {
            if (!over(ending)) {
                log << "boardsim: gdb killed the target" << std::endl;
            }
            return;
        }
        log << "boardsim: gdb left; waiting for gdb on 127.0.0.1:" << port_ << std::endl;
    }
}


}  // namespace boardsim
