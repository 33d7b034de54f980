// One on-chip peripheral as the bus sees it. A model describes its registers
// in a table (offset, name, access, reset value) and handles accesses the
// table allows; it never knows where it is mapped: the machine places it.
// What it needs of the board (events, time, clocks, scheduled work,
// interrupt lines, faults) it asks through BoardServices.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/bus_result.h"
#include "core/events.h"

namespace boardsim {

enum class Access { ReadWrite, ReadOnly, WriteOnly };

struct RegisterSpec {
    uint32_t offset;
    const char* name;
    Access access;
    uint32_t reset;  // the value after reset, from the user manual
};

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
    // Drives interrupt request line `line` (a VIC channel number, 0..31).
    virtual void setInterruptLine(unsigned line, bool asserted) = 0;
    // Stops the run: the model saw something the chip would not do.
    virtual void fault(std::string what) = 0;
    // The clocks or the memory timing changed.
    virtual void clocksChanged() = 0;
    // Peripheral bus accesses since reset, this one included.
    virtual uint64_t busAccesses() const = 0;

protected:
    ~BoardServices() = default;
};

class Peripheral {
public:
    virtual ~Peripheral() = default;

    virtual const char* name() const = 0;
    // Bytes of address space the model answers for.
    virtual uint32_t size() const = 0;
    virtual const std::vector<RegisterSpec>& registers() const = 0;
    virtual void reset() = 0;

    // Checks the access against the register table and the model's access
    // widths, then hands it to the model.
    BusResult read(uint32_t offset, unsigned size);
    BusResult write(uint32_t offset, unsigned size, uint32_t value);

    // The register's name for a trace: where one address holds several
    // registers, the one this access reaches.
    virtual std::string registerName(uint32_t offset, bool write) const;

    void attach(BoardServices& board) { board_ = &board; }
    // The peripheral clock changed: a model that counts it re-plans.
    virtual void pclkChanged() {}

protected:
    // Access widths in bytes the registers take: bit n set = n bytes.
    virtual unsigned accessWidths() const { return 1u << 4; }
    virtual uint32_t readRegister(uint32_t offset) = 0;
    virtual void writeRegister(uint32_t offset, uint32_t value) = 0;

    BoardServices& board() const { return *board_; }
    const RegisterSpec* findRegister(uint32_t offset) const;

private:
    BusResult check(uint32_t offset, unsigned size, bool write) const;

    BoardServices* board_ = nullptr;
};

}  // namespace boardsim
