// The LPC2294 board as a machine: its memories, its peripherals placed by
// name, base address, model and interrupt channel (the table in
// lpc2294.cpp), and what the board wires to the pins: the status LED on
// P0.31, KEY_1..KEY_4 on P0.16..P0.19 with board pull-ups, the host's
// terminal at the other end of TxD0/RxD0. A new peripheral is a model of its
// own and one row in the table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/machine_model.h"
#include "machine/interrupts.h"
#include "machine/keypad.h"
#include "machine/serial_line.h"
#include "peripherals/peripheral.h"
#include "peripherals/pin_select.h"
#include "peripherals/port0.h"
#include "peripherals/system_control.h"
#include "peripherals/timer.h"
#include "peripherals/uart.h"

namespace boardsim {

constexpr uint32_t kFlashBase = 0x00000000;
constexpr uint32_t kFlashSize = 256 * 1024;
constexpr uint32_t kRamBase = 0x40000000;
constexpr uint32_t kRamSize = 16 * 1024;
constexpr uint32_t kUart0Base = 0xE000C000;

// What a front end may set of the board around the chip.
constexpr double kDefaultHostBaud = 115200;  // the terminal on TxD0
constexpr double kDefaultBounce = 0.005;     // key contacts' chatter at each edge

struct LedState {
    bool driven = false;  // P0.31 is an output
    bool high = false;    // level on the pin
    bool operator==(const LedState& o) const { return driven == o.driven && high == o.high; }
    bool operator!=(const LedState& o) const { return !(*this == o); }
};

// One line of the machine file.
struct DeviceRow {
    const char* name;  // how traces and messages call it
    uint32_t base;
    std::unique_ptr<Peripheral> (*model)();
    int channel;  // interrupt controller channel, -1 for none
};

class Lpc2294Machine final : public MachineModel, private BoardServices {
    struct Placed {
        const DeviceRow* row;
        std::unique_ptr<Peripheral> model;
    };
    // First, so that the models exist before the references below.
    std::vector<Placed> placed_;

public:
    static constexpr unsigned kLedPin = 31;
    static constexpr unsigned kFirstKeyPin = 16;
    static constexpr int kKeyCount = Keypad::kKeys;

    // `hostBaud`: the rate the terminal on TxD0 listens at; `bounceSeconds`:
    // how long key contacts chatter.
    explicit Lpc2294Machine(double hostBaud = kDefaultHostBaud, double bounceSeconds = kDefaultBounce);
    Lpc2294Machine(const Lpc2294Machine&) = delete;
    Lpc2294Machine& operator=(const Lpc2294Machine&) = delete;

    // The machine file.
    static const std::vector<DeviceRow>& rows();

    // MachineModel.
    void attach(EngineServices& engine) override;
    const std::vector<MemoryRegion>& memory() const override;
    std::vector<DeviceMapping> devices() const override;
    void reset() override;
    double cclkHz() const override { return systemControl.cclkHz(); }
    MemoryTiming memoryTiming() const override;
    void clocksApplied() override;

    // The peripheral that answers for a bus address, and the offset in it.
    std::optional<std::pair<Peripheral*, uint32_t>> deviceAt(uint32_t address) const;
    Peripheral* device(const std::string& name) const;

    Keypad& keypad() { return keypad_; }
    void setKey(int key, bool down);  // key 1..4; throws for any other
    bool keyDown(int key) const;
    LedState led() const;
    double pclkHz() const override { return systemControl.pclkHz(); }
    const HostTerminal& terminal() const { return terminal_; }
    const InterruptController& interrupts() const { return *interrupts_; }
    // The host's terminal types `byte`: an 8N1 frame at its rate (or at
    // `baud`, when given) on RxD0, after the ones it sent before; UART0
    // samples it at its own rate once the frame is over (when P0.1 is RxD0).
    void hostSend(uint8_t byte, double baud = 0);
    // Why the terminal's text is garbage, with what it shows.
    std::string garbleMessage() const;
    // On (the default): a first line the terminal reads as garbage ends
    // the run as a fault, so that a run asserts UART0's line speed. Off for
    // a session in which a person or a program watches the line: it shows
    // the garbage and the board goes on.
    void setLineCheck(bool on) { lineCheck_ = on; }
    bool lineCheck() const { return lineCheck_; }
    // Each frame TxD0 puts on the line, once it has ended: for a front end
    // that passes the line on to a terminal with a rate of its own.
    std::function<void(const LineFrame&)> onTxd0Frame;

    SystemControl& systemControl;
    PinSelect& pinSelect;
    Port0& port0;
    Uart& uart0;
    Timer& timer0;
    Timer& timer1;

private:
    template <typename Model>
    Model& placed(const char* name);

    // BoardServices, for the peripherals.
    void emit(EventKind kind, uint32_t address, uint32_t value) override { engine_->emit(kind, address, value); }
    void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) override
    {
        engine_->emitAt(time, kind, address, value);
    }
    double now() const override { return engine_->now(); }
    void scheduleAt(double at, std::function<void()> action) override
    {
        engine_->schedule(When::at(at), std::move(action));
    }
    void fault(std::string what) override { engine_->fault(std::move(what)); }
    void clocksChanged() override { engine_->clocksChanged(); }
    uint64_t busAccesses() const override { return engine_->busAccesses(); }
    void noteLed();
    void transmit(const LineFrame& frame);

    EngineServices* engine_ = nullptr;
    PassThroughInterrupts passThrough_{engine_};
    InterruptController* interrupts_ = &passThrough_;
    Keypad keypad_;
    LedState led_;
    HostTerminal terminal_;
    bool garbleReported_ = false;
    bool lineCheck_ = true;
    double rxLineFreeAt_ = 0;  // the end of the last frame the host sent
};

}  // namespace boardsim
