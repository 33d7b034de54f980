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
};

}  // namespace boardsim
