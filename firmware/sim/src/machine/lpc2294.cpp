#include "machine/lpc2294.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "core/board_error.h"
#include "util/text.h"

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

template <typename Model, auto... Args>
std::unique_ptr<Peripheral> make()
{
    return std::make_unique<Model>(Args...);
}

uint32_t keyMask(int key)
{
    if (key < 1 || key > Lpc2294Machine::kKeyCount) {
        throw std::out_of_range("there is no KEY_" + std::to_string(key));
    }
    return 1u << (Lpc2294Machine::kFirstKeyPin + unsigned(key - 1));
}

}  // namespace

const std::vector<DeviceRow>& Lpc2294Machine::rows()
{
    // Bases and interrupt (VIC) channels from the LPC2294 user manual.
    static const std::vector<DeviceRow> table = {
        // name     base        model                      channel
        {"timer0", 0xE0004000, make<Timer, 0u>, 4},
        {"timer1", 0xE0008000, make<Timer, 1u>, 5},
        {"uart0", kUart0Base, make<Uart, 0u>, 6},
        {"gpio0", 0xE0028000, make<Port0>, -1},
        {"pinsel", 0xE002C000, make<PinSelect>, -1},
        {"scb", 0xE01FC000, make<SystemControl>, -1},
    };
    return table;
}

const std::vector<MemoryRegion>& Lpc2294Machine::memory() const
{
    static const std::vector<MemoryRegion> regions = {
        {"flash", kFlashBase, kFlashSize, false, kErasedFlash, true},
        {"RAM", kRamBase, kRamSize, true, kRamPowerUpPattern, false},
    };
    return regions;
}

template <typename Model>
Model& Lpc2294Machine::placed(const char* name)
{
    auto* model = dynamic_cast<Model*>(device(name));
    if (model == nullptr) {
        throw BoardError(std::string("the machine has no ") + name + " of the model it wires");
    }
    return *model;
}

namespace {

std::vector<std::unique_ptr<Peripheral>> buildModels()
{
    std::vector<std::unique_ptr<Peripheral>> models;
    for (const DeviceRow& row : Lpc2294Machine::rows()) {
        models.push_back(row.model());
    }
    return models;
}

}  // namespace

Lpc2294Machine::Lpc2294Machine(double hostBaud, double bounceSeconds)
    : placed_([] {
          std::vector<Placed> placed;
          auto models = buildModels();
          for (size_t i = 0; i < models.size(); ++i) {
              placed.push_back({&rows()[i], std::move(models[i])});
          }
          return placed;
      }()),
      systemControl(placed<SystemControl>("scb")), pinSelect(placed<PinSelect>("pinsel")),
      port0(placed<Port0>("gpio0")), uart0(placed<Uart>("uart0")), timer0(placed<Timer>("timer0")),
      timer1(placed<Timer>("timer1")),
      keypad_(bounceSeconds, [this](int key, bool down) { setKey(key, down); }), terminal_(hostBaud)
{
    for (const Placed& p : placed_) {
        p.model->validate();
        p.model->attach(static_cast<BoardServices&>(*this));
        if (p.row->channel >= 0) {
            const auto channel = unsigned(p.row->channel);
            p.model->connectInterrupt(InterruptLine([this, channel](bool asserted) {
                interrupts_->setLine(channel, asserted);
            }));
        }
    }
    port0.onOutputsChanged = [this] { noteLed(); };
    uart0.onTransmit = [this](const LineFrame& frame) { transmit(frame); };
}

void Lpc2294Machine::attach(EngineServices& engine)
{
    engine_ = &engine;
    keypad_.attach(engine);
}

std::vector<DeviceMapping> Lpc2294Machine::devices() const
{
    std::vector<DeviceMapping> mappings;
    for (const Placed& p : placed_) {
        mappings.push_back({p.row->name, p.row->base, p.model.get()});
    }
    return mappings;
}

Peripheral* Lpc2294Machine::device(const std::string& name) const
{
    const auto found =
        std::find_if(placed_.begin(), placed_.end(), [&](const Placed& p) { return name == p.row->name; });
    return found == placed_.end() ? nullptr : found->model.get();
}

std::optional<std::pair<Peripheral*, uint32_t>> Lpc2294Machine::deviceAt(uint32_t address) const
{
    const auto found = std::find_if(placed_.begin(), placed_.end(), [&](const Placed& p) {
        return address >= p.row->base && address - p.row->base < p.model->size();
    });
    if (found == placed_.end()) {
        return std::nullopt;
    }
    return std::make_pair(found->model.get(), address - found->row->base);
}

void Lpc2294Machine::reset()
{
    garbleReported_ = false;
    passThrough_.reset();
    keypad_.reset();
    for (const Placed& p : placed_) {
        p.model->reset();
    }
    port0.setOutsideLevels(0xFFFFFFFF);  // the board's pull-ups, no key down
    led_ = led();
}

MemoryTiming Lpc2294Machine::memoryTiming() const
{
    // The VPB bridge waits for the slower peripheral clock.
    return {systemControl.mamMode(), systemControl.mamFetchCycles(), systemControl.vpbDivider()};
}

void Lpc2294Machine::clocksApplied()
{
    for (const Placed& p : placed_) {
        p.model->pclkChanged();
    }
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
        emit(EventKind::Led, now.driven ? 1 : 0, now.high ? 1 : 0);
    }
}

void Lpc2294Machine::transmit(const LineFrame& frame)
{
    if (pinSelect.port0Function(kTxd0Pin) != kTxd0Function) {
        // The transmitter runs but P0.0 is not connected to it: the byte
        // never leaves the chip.
        fault("byte " + hex(frame.byte) + " written to U0THR while P0.0 is not TxD0 (PINSEL0 = " +
              hex(pinSelect.pinsel0()) + ")");
        return;
    }
    emitAt(frame.end(), EventKind::UartByte, kUart0Base, frame.byte);
    if (onTxd0Frame) {
        onTxd0Frame(frame);
    }
    // A terminal at another rate reads garbage; by the end of the first
    // line there is enough of it to show. The code is not to blame for
    // it (whatever instruction runs as the frame ends): the line is.
    if (terminal_.receive(frame) && frame.byte == '\n' && !garbleReported_ && lineCheck_) {
        garbleReported_ = true;
        char when[64];
        std::snprintf(when, sizeof when, "at %.3f ms UART0 sent byte 0x0a", frame.end() * 1e3);
        engine_->boardFault(std::string(when) + " (\\n, the end of the first line); " + garbleMessage());
    }
}

void Lpc2294Machine::hostSend(uint8_t byte, double baud)
{
    LineFrame frame;
    frame.start = std::max(now(), rxLineFreeAt_);
    frame.baud = baud > 0 ? baud : terminal_.baud();
    frame.byte = byte;
    rxLineFreeAt_ = frame.end();
    scheduleAt(frame.end(), [this, frame] {
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
    std::snprintf(rates, sizeof rates,
                  "UART0 sends at %.0f baud, the terminal on TxD0 listens at %.0f baud (%.1f %% apart)",
                  terminal_.lineBaud(), terminal_.baud(), 100.0 * (terminal_.lineBaud() / terminal_.baud() - 1));
    return std::string(rates) + ": it shows \"" + printable(terminal_.seen()) + "\"";
}

}  // namespace boardsim
