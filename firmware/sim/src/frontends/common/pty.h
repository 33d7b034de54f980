// A pseudo-terminal whose device a client opens through a symbolic link, as
// it would open /dev/ttyUSB0: the serial line between a host tool (picocom,
// lpc21isp) and the simulated board. The board's side reads and writes the
// master. The pty starts raw (no echo, no line editing, no CR/LF
// translation) and with no line speed until the client sets its own.
//
// The link: anything but a symbolic link in its place is left alone and
// refused; a link left behind by a run that was killed is replaced, with a
// note: its pty is gone, or its number was given to a pty made after the
// link (this run's own, often); a link to a pty older than the link is
// refused, as another run is using it. At the end the link is removed if
// it is still ours.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace boardsim {

class Pty {
public:
    // `holdSlave`: keep the device open on our side too, so that the master
    // never sees a hang-up between clients; connected() then cannot tell
    // whether a client has it open (the boot loader's session and a live
    // run want to know, and do not hold it). `notes` hears of a stale link
    // replaced.
    // Throws std::runtime_error naming the link and the reason.
    Pty(std::string link, bool holdSlave, std::ostream& notes);
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& link() const { return link_; }
    const std::string& device() const { return device_; }
    // A client has the device open (not known when the slave is held).
    bool connected() const;

    // Waits up to `timeoutMs` for bytes from the client; returns what came.
    std::string read(int timeoutMs);
    // What the client has typed since the last call. Never blocks.
    std::string receive() { return read(0); }
    // Writes all of `bytes`, waiting for room. Throws on a write error.
    void write(const std::string& bytes);
    // Never blocks: while no client has the device open, or its buffer is
    // full, bytes are lost, as on a line nobody listens to.
    void send(const std::string& bytes);
    size_t lost() const { return lost_; }
    // Of those, bytes lost while a client had the device open: it did not
    // read them in time and its buffer was full.
    size_t unread() const { return unread_; }
    // The line speed the client set on its end (0 when it set none, or one
    // this class does not know).
    unsigned clientBaud() const;

private:
    void makeLink(std::ostream& notes);

    std::string link_;
    std::string device_;
    int master_ = -1;
    int slaveHold_ = -1;
    size_t lost_ = 0;
    size_t unread_ = 0;
};

}  // namespace boardsim
