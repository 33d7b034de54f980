// The board as a machine: the LPC2294's memories and the peripherals the
// firmware touches, where each sits on the bus, and what is wired to the
// pins (the status LED on P0.31, KEY_1..KEY_4 on P0.16..P0.19 with board
// pull-ups, TxD0 on P0.0 when PINSEL0 routes it there, the host's terminal
// at the other end of TxD0). A new peripheral is a model of its own and one
// line in the placements.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "peripherals/peripheral.h"
#include "peripherals/pin_select.h"
#include "peripherals/port0.h"
#include "machine/serial_line.h"
#include "peripherals/system_control.h"
#include "peripherals/timer.h"
#include "peripherals/uart0.h"

namespace boardsim {

constexpr uint32_t kFlashBase = 0x00000000;
constexpr uint32_t kFlashSize = 256 * 1024;
constexpr uint32_t kRamBase = 0x40000000;
constexpr uint32_t kRamSize = 16 * 1024;
constexpr uint32_t kTimer0Base = 0xE0004000;
constexpr uint32_t kTimer1Base = 0xE0008000;
constexpr uint32_t kUart0Base = 0xE000C000;
constexpr uint32_t kGpio0Base = 0xE0028000;
constexpr uint32_t kPinSelectBase = 0xE002C000;
constexpr uint32_t kSystemControlBase = 0xE01FC000;
constexpr double kDefaultHostBaud = 115200;

struct MemoryRegion {
    const char* name;
    uint32_t base;
    uint32_t size;
    bool writable;
    uint8_t powerUpFill;
};

struct LedState {
    bool driven = false;  // P0.31 is an output
    bool high = false;    // level on the pin
    bool operator==(const LedState& o) const { return driven == o.driven && high == o.high; }
    bool operator!=(const LedState& o) const { return !(*this == o); }
};

struct Placement {
    uint32_t base;
    Peripheral* device;
};

class Lpc2294Machine {
public:
    static constexpr unsigned kLedPin = 31;
    static constexpr unsigned kFirstKeyPin = 16;
    static constexpr int kKeyCount = 4;

    // `hostBaud`: the rate the terminal on TxD0 listens at.
    explicit Lpc2294Machine(BoardServices& board, double hostBaud = kDefaultHostBaud);
    Lpc2294Machine(const Lpc2294Machine&) = delete;
    Lpc2294Machine& operator=(const Lpc2294Machine&) = delete;

    static const std::vector<MemoryRegion>& memory();
    const std::vector<Placement>& peripherals() const { return placements_; }
    // The peripheral that answers for a bus address, and the offset in it.
    std::optional<std::pair<Peripheral*, uint32_t>> deviceAt(uint32_t address) const;
    void reset();

    void setKey(int key, bool down);  // key 1..4; throws for any other
    bool keyDown(int key) const;
    LedState led() const;
    double cclkHz() const { return systemControl.cclkHz(); }
    double pclkHz() const { return systemControl.pclkHz(); }
    const HostTerminal& terminal() const { return terminal_; }
    // The host's terminal types `byte`: an 8N1 frame at its rate on RxD0,
    // after the ones it sent before; UART0 samples it at its own rate once
    // the frame is over (when P0.1 is RxD0).
    void hostSend(uint8_t byte);
    // Why the terminal's text is garbage, with what it shows.
    std::string garbleMessage() const;

    SystemControl systemControl;
    PinSelect pinSelect;
    Port0 port0;
    Uart0 uart0;
    Timer timer0{0, 4};  // VIC channels 4 and 5
    Timer timer1{1, 5};

private:
    void noteLed();
    void transmit(const LineFrame& frame);

    BoardServices& board_;
    std::vector<Placement> placements_;
    LedState led_;
    HostTerminal terminal_;
    bool garbleReported_ = false;
    double rxLineFreeAt_ = 0;  // the end of the last frame the host sent
};

}  // namespace boardsim
