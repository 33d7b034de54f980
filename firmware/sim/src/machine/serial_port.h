// One UART's line on the board: TxD and RxD on their port-0 pins when
// PINSEL routes them there, and what is at the other end of the cable: the
// host's terminal listening and typing at its own rate, or a loopback plug
// that wires TxD to RxD (a serial self-test passes as on a bench). Each
// frame is on the pins bit by bit at the line's bit times: the UART's on
// TxD (and, through a loopback plug, on RxD), the host's on RxD.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "machine/pins.h"
#include "machine/serial_line.h"
#include "peripherals/peripheral.h"
#include "peripherals/pin_select.h"
#include "peripherals/uart.h"

namespace boardsim {

struct SerialWiring {
    const char* name;    // "UART0"
    const char* txd;     // "TxD0"
    const char* thr;     // "U0THR"
    unsigned uart;       // its number, as its UartByte events carry it
    unsigned txPin;      // P0.n
    unsigned rxPin;
    unsigned function;   // the PINSEL value that selects TxD and RxD on them
};

class SerialPort {
public:
    SerialPort(const SerialWiring& wiring, Uart& uart, const PinSelect& pinSelect, Pins& pins, BoardServices& board,
               double hostBaud);

    void setLoopback(bool on) { loopback_ = on; }
    bool loopback() const { return loopback_; }
    // On (the default): a first line the terminal reads as garbage ends
    // the run as a fault, so that a run asserts the line speed. Off for a
    // session in which a person or a program watches the line: it shows
    // the garbage and the board goes on.
    void setLineCheck(bool on) { lineCheck_ = on; }
    bool lineCheck() const { return lineCheck_; }
    void reset();
    // After the pins' reset: the transmitter holds TxD high (idle) on the
    // pin whenever PINSEL gives it the pin.
    void takePins();
    // The chip reset under it: a frame under way on TxD stops, the line
    // idles high.
    void chipReset();

    // Each frame TxD puts on the line, once it has ended: for a front end
    // that passes the line on to a terminal with a rate of its own.
    std::function<void(const LineFrame&)> onFrame;

    // The UART has put `frame` on TxD.
    void transmitted(const LineFrame& frame);
    // The host's terminal types `byte`: an 8N1 frame at its rate (or at
    // `baud`, when given) on RxD, after the ones it sent before; the UART
    // samples it at its own rate once the frame is over (when the pin is RxD).
    void hostSend(uint8_t byte, double baud = 0);

    const HostTerminal& terminal() const { return terminal_; }
    // Why the terminal's text is garbage, with what it shows.
    std::string garbleMessage() const;

private:
    void deliver(const LineFrame& frame);
    // The frame's edges on `pin`, by the UART (`function`) or from outside.
    void putOnPin(const LineFrame& frame, unsigned pin, bool outside);

    SerialWiring wiring_;
    Uart& uart_;
    const PinSelect& pinSelect_;
    Pins& pins_;
    BoardServices& board_;
    HostTerminal terminal_;
    bool loopback_ = false;
    bool lineCheck_ = true;
    bool garbleReported_ = false;
    double rxLineFreeAt_ = 0;  // the end of the last frame the host sent
};

}  // namespace boardsim
