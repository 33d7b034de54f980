// One on-chip peripheral as the bus sees it. A model defines each of its
// registers once (register.h): offset, name, width, access, reset value,
// fields, and what an access does where it does more than store; plain
// storage registers need nothing more. The model never knows where it is
// mapped or which interrupt channel it drives: the machine places it and
// hands it an interrupt line. What it needs of the board (time, clocks,
// scheduled work, events, faults) it asks through BoardServices.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/bus_target.h"
#include "core/events.h"
#include "peripherals/register.h"

namespace boardsim {

class BoardServices {
public:
    virtual void emit(EventKind kind, uint32_t address, uint32_t value) = 0;
    // The same for something that happened at `time`, a moment of the last
    // instruction (a byte's stop bit ending between two instructions).
    virtual void emitAt(double time, EventKind kind, uint32_t address, uint32_t value) = 0;
    // Simulated time since reset, in seconds.
    virtual double now() const = 0;
    // `action` runs once simulated time reaches `at` (seconds since reset),
    // before the next instruction.
    virtual void scheduleAt(double at, std::function<void()> action) = 0;
    // The peripheral clock now, in hertz.
    virtual double pclkHz() const = 0;
    // Stops the run: the model saw something the chip would not do.
    virtual void fault(std::string what) = 0;
    // Something the data sheet rules out and the chip does all the same (a
    // PLL oscillator outside its range): a warning, or a fault in a strict
    // run.
    virtual void warn(std::string what) = 0;
    // Stops the run for what the board around the chip saw (a terminal
    // reading garbage): no instruction is to blame.
    virtual void boardFault(std::string what) = 0;
    // The clocks or the memory timing changed.
    virtual void clocksChanged() = 0;
    // Peripheral bus accesses since reset, this one included.
    virtual uint64_t busAccesses() const = 0;
    // The access comes from a privileged mode of the core (not User).
    virtual bool privileged() const = 0;
    // The core stops after this instruction: until an enabled interrupt
    // (idle), or until wake() (power-down).
    virtual void sleep(bool powerDown) = 0;
    virtual void wake() = 0;
    // The chip resets after this instruction (`why`: "watchdog reset (...)"):
    // the core to its reset vector, every peripheral to its reset state;
    // RAM keeps its contents.
    virtual void resetChip(std::string why) = 0;

protected:
    ~BoardServices() = default;
};

// Where a model's interrupt request goes: a channel of the interrupt
// controller, chosen by the machine. Unconnected, it goes nowhere.
class InterruptLine {
public:
    using Sink = std::function<void(bool)>;
    InterruptLine() = default;
    explicit InterruptLine(Sink sink) : sink_(std::move(sink)) {}
    void set(bool asserted) const
    {
        if (sink_) {
            sink_(asserted);
        }
    }
    bool connected() const { return bool(sink_); }

private:
    Sink sink_;
};

class Peripheral : public BusTarget {
public:
    // `name` is the model's name in messages ("UART0"); `size` the bytes of
    // address space it answers for.
    Peripheral(std::string name, uint32_t size);
    ~Peripheral() override = default;
    Peripheral(const Peripheral&) = delete;
    Peripheral& operator=(const Peripheral&) = delete;

    const char* name() const { return name_.c_str(); }
    uint32_t size() const override { return size_; }
    // Every register the model defines, in the order it defines them.
    const std::deque<Register>& registers() const { return registers_; }

    // Every register to its reset value, then the model's own state.
    void reset();

    // The register that answers at `offset` (read or write, as the
    // registers' conditions stand now), refusing what the chip would not
    // take: a register the block lacks, a read of a write-only one or a
    // write of a read-only one, an offset off a register's word, a write
    // narrower than the register.
    BusResult read(uint32_t offset, unsigned size) override;
    BusResult write(uint32_t offset, unsigned size, uint32_t value) override;

    // The register's name for a trace: where one address holds several
    // registers, the one this access reaches now.
    std::string registerName(uint32_t offset, bool write) const override;
    // What the register a read reaches now promises (Register::steadyUntil);
    // 0 where no register answers.
    double steadyUntil(uint32_t offset) const override;

    // Throws BoardError when a definition cannot be right: a register
    // outside the model's space or off a word boundary, two names alike,
    // two registers at one offset that answer the same access, a field
    // beyond its register's width.
    void validate() const;

    void attach(BoardServices& board) { board_ = &board; }
    // The model's interrupt request outputs, in the order its header lists
    // them (most models have one).
    void connectInterrupt(unsigned output, InterruptLine line);
    void connectInterrupt(InterruptLine line) { connectInterrupt(0, std::move(line)); }
    // The peripheral clock changed: a model that counts it re-plans.
    virtual void pclkChanged() {}

protected:
    // Defines a register (register.h); the reference stays valid for the
    // model's life.
    Register& define(uint32_t offset, std::string name, unsigned bits, uint32_t reset = 0,
                     Access access = Access::ReadWrite);

    // The model's state beyond the register values (FIFOs, timers), after
    // the registers have their reset values.
    virtual void resetState() {}

    BoardServices& board() const { return *board_; }
    const InterruptLine& irq(unsigned output = 0) const;

private:
    // The register of the word at `offset` that answers the access now, or
    // nullptr.
    Register* answering(uint32_t offset, bool write) const;
    // The same, with `why` said when none does.
    Register* find(uint32_t offset, bool write, std::string& why) const;

    std::string name_;
    uint32_t size_;
    std::deque<Register> registers_;
    std::vector<std::vector<Register*>> byWord_;  // the registers of each word offset
    BoardServices* board_ = nullptr;
    std::vector<InterruptLine> irqs_;
};

// A model as the machine builds it: make<Timer, 0u> for Timer0.
template <typename Model, auto... Args>
std::unique_ptr<Peripheral> make()
{
    return std::make_unique<Model>(Args...);
}

}  // namespace boardsim
