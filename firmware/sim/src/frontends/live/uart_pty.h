// UART0's other end on a pseudo-terminal, so that a terminal program
// (picocom, screen, minicom) can sit at the board: what the board sends is
// written to the pty, what the program types is read from it. LINK is a
// symbolic link to the pty's device, removed again when this object goes.
// The pty is raw (no echo, no line editing, no CR/LF translation) until a
// program sets its own mode.
#pragma once

#include <string>

namespace boardsim {

class UartPty {
public:
    // Throws BoardError when no pty can be had or LINK cannot be made (an
    // existing file of that name is left alone).
    explicit UartPty(std::string link);
    ~UartPty();
    UartPty(const UartPty&) = delete;
    UartPty& operator=(const UartPty&) = delete;

    const std::string& device() const { return device_; }
    // A program has the link open.
    bool connected() const;
    // Bytes for the program. Never blocks: while no program has the link
    // open, or its buffer is full, they are lost, as on a line nobody
    // listens to.
    void send(const std::string& bytes);
    // What the program has typed since the last call.
    std::string receive() const;
    size_t lost() const { return lost_; }

private:
    std::string link_;
    std::string device_;
    int master_ = -1;
    size_t lost_ = 0;
};

}  // namespace boardsim
