#include "machine/lpc2294_machine.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

namespace boardsim {
namespace {

constexpr unsigned kTxd0Pin = 0;
constexpr unsigned kTxd0Function = 1;  // PINSEL0 bits 1:0 = 01
constexpr unsigned kRxd0Pin = 1;
constexpr unsigned kRxd0Function = 1;  // PINSEL0 bits 3:2 = 01

// Erased flash reads as ones; RAM holds no useful value after power-up, so
// it starts with a pattern rather than the zeros that could hide a missing
// initialisation.
constexpr uint8_t kErasedFlash = 0xFF;
constexpr uint8_t kRamPowerUpPattern = 0xA5;

uint32_t keyMask(int key)
{
    if (key < 1 || key > Lpc2294Machine::kKeyCount) {
        throw std::out_of_range("there is no KEY_" + std::to_string(key));
    }
    return 1u << (Lpc2294Machine::kFirstKeyPin + unsigned(key - 1));
}

std::string hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

}  // namespace

const std::vector<MemoryRegion>& Lpc2294Machine::memory()
{
    static const std::vector<MemoryRegion> regions = {
        {"flash", kFlashBase, kFlashSize, false, kErasedFlash},
        {"RAM", kRamBase, kRamSize, true, kRamPowerUpPattern},
    };
    return regions;
}

Lpc2294Machine::Lpc2294Machine(BoardServices& board, double hostBaud) : board_(board), terminal_(hostBaud)
{
    placements_ = {
        {kTimer0Base, &timer0},
        {kTimer1Base, &timer1},
        {kUart0Base, &uart0},
        {kGpio0Base, &port0},
        {kPinSelectBase, &pinSelect},
        {kSystemControlBase, &systemControl},
    };
    for (const Placement& p : placements_) {
        p.device->attach(board);
    }
    port0.onOutputsChanged = [this] { noteLed(); };
    uart0.onTransmit = [this](const LineFrame& frame) { transmit(frame); };
}

std::optional<std::pair<Peripheral*, uint32_t>> Lpc2294Machine::deviceAt(uint32_t address) const
{
    const auto found = std::find_if(placements_.begin(), placements_.end(), [&](const Placement& p) {
        return address >= p.base && address - p.base < p.device->size();
    });
    if (found == placements_.end()) {
        return std::nullopt;
    }
    return std::make_pair(found->device, address - found->base);
}

void Lpc2294Machine::reset()
{
    garbleReported_ = false;
    for (const Placement& p : placements_) {
        p.device->reset();
    }
    port0.setOutsideLevels(0xFFFFFFFF);  // the board's pull-ups, no key down
    led_ = led();
}

void Lpc2294Machine::setKey(int key, bool down)
{
    const uint32_t mask = keyMask(key);
    const uint32_t levels = port0.outsideLevels();
    port0.setOutsideLevels(down ? (levels & ~mask) : (levels | mask));  // a pressed key grounds its pin
}

bool Lpc2294Machine::keyDown(int key) const
{
    return (port0.outsideLevels() & keyMask(key)) == 0;
}

LedState Lpc2294Machine::led() const
{
    const uint32_t mask = 1u << kLedPin;
    return {(port0.direction() & mask) != 0, (port0.pins() & mask) != 0};
}

void Lpc2294Machine::noteLed()
{
    const LedState now = led();
    if (now != led_) {
        led_ = now;
        board_.emit(EventKind::Led, now.driven ? 1 : 0, now.high ? 1 : 0);
    }
}

void Lpc2294Machine::transmit(const LineFrame& frame)
{
    if (pinSelect.port0Function(kTxd0Pin) != kTxd0Function) {
        // The transmitter runs but P0.0 is not connected to it: the byte
        // never leaves the chip.
        board_.fault("byte " + hex(frame.byte) + " written to U0THR while P0.0 is not TxD0 (PINSEL0 = " +
                     hex(pinSelect.pinsel0()) + ")");
        return;
    }
    board_.emitAt(frame.end(), EventKind::UartByte, kUart0Base, frame.byte);
    // A terminal at another rate reads garbage; by the end of the first
    // line there is enough of it to show.
    if (terminal_.receive(frame) && frame.byte == '\n' && !garbleReported_) {
        garbleReported_ = true;
        board_.fault(garbleMessage());
    }
}

void Lpc2294Machine::hostSend(uint8_t byte)
{
    LineFrame frame;
    frame.start = std::max(board_.now(), rxLineFreeAt_);
    frame.baud = terminal_.baud();
    frame.byte = byte;
    rxLineFreeAt_ = frame.end();
    board_.scheduleAt(frame.end(), [this, frame] {
        const double rate = uart0.baud();
        // A pin left to GPIO never passes the line to the UART.
        if (pinSelect.port0Function(kRxd0Pin) != kRxd0Function || rate <= 0) {
            return;
        }
        // At a rate more than a few percent off, the UART reads garbage, as
        // the terminal does the other way.
        for (const char c : receiveAt({frame}, rate)) {
            uart0.receive(uint8_t(c));
        }
    });
}

std::string Lpc2294Machine::garbleMessage() const
{
    char rates[160];
    std::snprintf(rates, sizeof rates, "UART0 sends at %.0f baud, the terminal listens at %.0f baud (%.1f %% apart)",
                  terminal_.lineBaud(), terminal_.baud(), 100.0 * (terminal_.lineBaud() / terminal_.baud() - 1));
    std::string seen;
    for (unsigned char c : terminal_.seen()) {
        if (c >= 0x20 && c < 0x7F) {
            seen += char(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            seen += escape;
        }
    }
    return std::string(rates) + ": it shows \"" + seen + "\"";
}

}  // namespace boardsim
