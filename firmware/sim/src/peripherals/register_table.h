// A peripheral's registers as data: the one place that says where each
// register sits, what it is called, how it may be accessed, what it holds
// after reset, and which named bit fields it has. Models read their masks
// from the fields instead of writing bare numbers, and the bus checks every
// access against the table before a model sees it.
#pragma once

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "peripherals/register.h"

namespace boardsim {

// Plain storage: the bus keeps the value (within the writable bits) and
// reads it back; no code runs. Handled: the model has a reader and/or a
// writer for it, because an access does more than store.
enum class Behaviour { Storage, Handled };

struct RegisterSpec {
    uint32_t offset;
    std::string name;
    Access access;
    uint32_t reset;  // the value after reset, from the user manual
    Behaviour behaviour = Behaviour::Storage;
    // Named fields, where the manual gives them. A storage register with
    // fields keeps only their bits; one without keeps every bit.
    std::vector<Field> fields = {};
    // Reads what lies outside the chip (pin levels): after reset it reads
    // those, not a value of its own.
    bool readsOutside = false;

    bool readable() const { return access != Access::WriteOnly; }
    bool writable() const { return access != Access::ReadOnly; }
    uint32_t writableBits() const
    {
        if (fields.empty()) {
            return 0xFFFFFFFFu;
        }
        return std::accumulate(fields.begin(), fields.end(), 0u,
                               [](uint32_t bits, const Field& f) { return bits | f.mask(); });
    }
};

}  // namespace boardsim
