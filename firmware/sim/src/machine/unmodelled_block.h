// A block of the chip's registers the simulator does not model: every
// access to it is refused, naming the register and saying so, so that a
// firmware using it stops at once and by name.
#pragma once

#include <algorithm>
#include <memory>

#include "core/bus_target.h"
#include "machine/chip_map.h"
#include "util/text.h"

namespace boardsim {

class UnmodelledBlock final : public BusTarget {
public:
    explicit UnmodelledBlock(const ChipBlock& block)
        : block_(block), names_(block.model != nullptr ? block.model() : nullptr)
    {
    }

    uint32_t base() const { return block_.base; }
    uint32_t size() const override { return block_.size; }
    BusResult read(uint32_t offset, unsigned /*size*/) override { return refuse(offset); }
    BusResult write(uint32_t offset, unsigned /*size*/, uint32_t /*value*/) override { return refuse(offset); }
    std::string registerName(uint32_t offset, bool write) const override
    {
        if (names_) {
            return names_->registerName(offset, write);
        }
        const auto found = std::find_if(block_.registers.begin(), block_.registers.end(),
                                        [offset](const ChipRegister& r) { return r.offset == offset; });
        return found != block_.registers.end() ? std::string(found->name)
                                               : std::string(block_.name) + "+" + hex(offset);
    }

private:
    BusResult refuse(uint32_t offset) const
    {
        return BusResult::refuse(std::string(block_.what) + " (" + block_.name + ") is not modelled" +
                                 (registerName(offset, false).find('+') == std::string::npos
                                      ? ""
                                      : ", and the chip has no register there either"));
    }

    const ChipBlock& block_;
    // The block's model, not placed: only its definitions name the registers.
    std::unique_ptr<Peripheral> names_;
};

}  // namespace boardsim
