// What the engine maps into the address space besides memory: something
// that answers register accesses (a peripheral model). The engine knows
// neither its registers nor its address; it passes on the offset.
#pragma once

#include <cstdint>
#include <string>

#include "core/bus_result.h"

namespace boardsim {

class BusTarget {
public:
    virtual ~BusTarget() = default;
    // Bytes of address space it answers for.
    virtual uint32_t size() const = 0;
    virtual BusResult read(uint32_t offset, unsigned size) = 0;
    virtual BusResult write(uint32_t offset, unsigned size, uint32_t value) = 0;
    // The register at `offset` by name, for traces and faults.
    virtual std::string registerName(uint32_t offset, bool write) const = 0;
    // Until this time (seconds since reset), reading the register at
    // `offset` again gives the same value and leaves the model as it is,
    // unless the core writes or scheduled work runs first: a loop that only
    // polls it may have its turns counted unrun. Infinity: until then; 0
    // (or any time not ahead): no such promise (a counter that runs with
    // time, a FIFO a read pops).
    virtual double steadyUntil(uint32_t /*offset*/) const { return 0; }
};

}  // namespace boardsim
