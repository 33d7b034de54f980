#include "machine/serial_port.h"

#include <algorithm>
#include <cstdio>

#include "util/text.h"

namespace boardsim {

SerialPort::SerialPort(const SerialWiring& wiring, Uart& uart, const PinSelect& pinSelect, Pins& pins,
                       BoardServices& board, double hostBaud)
    : wiring_(wiring), uart_(uart), pinSelect_(pinSelect), pins_(pins), board_(board), terminal_(hostBaud)
{
    uart_.onTransmit = [this](const LineFrame& frame) { transmitted(frame); };
    uart_.onFrameStart = [this](const LineFrame& frame) {
        putOnPin(frame, wiring_.txPin, false);
        if (loopback_) {
            putOnPin(frame, wiring_.rxPin, true);
        }
    };
}

void SerialPort::reset()
{
    garbleReported_ = false;
    rxLineFreeAt_ = 0;
}

void SerialPort::takePins()
{
    pins_.drive(wiring_.txPin, wiring_.function, true, true);
}

void SerialPort::chipReset()
{
    pins_.cancelAfter(wiring_.txPin, wiring_.function, board_.now());
    takePins();
}

void SerialPort::putOnPin(const LineFrame& frame, unsigned pin, bool outside)
{
    bool level = true;  // the line idles high, and the stop bits bring it back there
    for (unsigned n = 0; n < frame.bits(); ++n) {
        if (frame.level(n) == level) {
            continue;
        }
        level = frame.level(n);
        const double at = frame.start + n / frame.baud;
        if (outside) {
            pins_.setOutsideAt(pin, at, level);
        } else {
            pins_.driveAt(pin, wiring_.function, at, level);
        }
    }
}

void SerialPort::transmitted(const LineFrame& frame)
{
    pins_.settle(frame.end());  // the frame's edges delivered
    if (pinSelect_.port0Function(wiring_.txPin) != wiring_.function) {
        // The transmitter runs but its pin is not connected to it: the byte
        // never leaves the chip.
        board_.fault("byte " + hex(frame.byte) + " written to " + wiring_.thr + " while P0." +
                     std::to_string(wiring_.txPin) + " is not " + wiring_.txd + " (PINSEL0 = " +
                     hex(pinSelect_.pinsel0()) + ")");
        return;
    }
    board_.emitAt(frame.end(), EventKind::UartByte, wiring_.uart, frame.byte);
    if (onFrame) {
        onFrame(frame);
    }
    if (loopback_) {
        deliver(frame);  // the plug: what leaves on TxD arrives on RxD
        return;
    }
    // A terminal at another rate reads garbage; by the end of the first
    // line there is enough of it to show. The code is not to blame for it
    // (whatever instruction runs as the frame ends): the line is.
    if (terminal_.receive(frame) && frame.byte == '\n' && !garbleReported_ && lineCheck_) {
        garbleReported_ = true;
        char when[80];
        std::snprintf(when, sizeof when, "at %.3f ms %s sent byte 0x0a", frame.end() * 1e3, wiring_.name);
        board_.boardFault(std::string(when) + " (\\n, the end of the first line); " + garbleMessage());
    }
}

void SerialPort::hostSend(uint8_t byte, double baud)
{
    LineFrame frame;
    frame.start = std::max(board_.now(), rxLineFreeAt_);
    frame.baud = baud > 0 ? baud : terminal_.baud();
    frame.byte = byte;
    rxLineFreeAt_ = frame.end();
    putOnPin(frame, wiring_.rxPin, true);
    board_.scheduleAt(frame.end(), [this, frame] {
        pins_.settle(frame.end());  // the frame's edges delivered
        deliver(frame);
    });
}

void SerialPort::deliver(const LineFrame& frame)
{
    const double rate = uart_.baud();
    // A pin left to GPIO never passes the line to the UART.
    if (pinSelect_.port0Function(wiring_.rxPin) != wiring_.function || rate <= 0) {
        return;
    }
    // At a rate more than a few percent off, the UART reads garbage, as
    // the terminal does the other way.
    for (const char c : receiveAt({frame}, rate)) {
        uart_.receive(uint8_t(c));
    }
}

std::string SerialPort::garbleMessage() const
{
    char rates[160];
    std::snprintf(rates, sizeof rates, "%s sends at %.0f baud, the terminal on %s listens at %.0f baud (%.1f %% apart)",
                  wiring_.name, terminal_.lineBaud(), wiring_.txd, terminal_.baud(),
                  100.0 * (terminal_.lineBaud() / terminal_.baud() - 1));
    return std::string(rates) + ": it shows \"" + printable(terminal_.seen()) + "\"";
}

}  // namespace boardsim
