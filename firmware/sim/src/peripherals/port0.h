// GPIO port 0: direction, output latch and pin levels of P0.0..P0.31. What
// sits outside the pins (pull-ups, keys, the LED) is the machine's business:
// it sets the levels the inputs read and hears when the outputs change.
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

class Port0 final : public Peripheral {
public:
    static constexpr uint32_t kPin = 0x00;
    static constexpr uint32_t kSet = 0x04;
    static constexpr uint32_t kDir = 0x08;
    static constexpr uint32_t kClr = 0x0C;

    Port0() { reset(); }
    const char* name() const override { return "GPIO0"; }
    uint32_t size() const override { return 0x10; }
    const std::vector<RegisterSpec>& registers() const override;
    void reset() override;

    // Level of every pin: outputs read back what they drive, inputs read
    // what the outside world puts on them.
    uint32_t pins() const { return (latch_ & dir_) | (outside_ & ~dir_); }
    uint32_t direction() const { return dir_; }
    uint32_t latch() const { return latch_; }

    // Level the outside world puts on the pins (a pulled-up input reads 1).
    void setOutsideLevels(uint32_t levels) { outside_ = levels; }
    uint32_t outsideLevels() const { return outside_; }

    // Called after every write to the port's registers.
    std::function<void()> onOutputsChanged;

protected:
    unsigned accessWidths() const override { return 1u << 4; }
    uint32_t readRegister(uint32_t offset) override;
    void writeRegister(uint32_t offset, uint32_t value) override;

private:
    uint32_t dir_ = 0;
    uint32_t latch_ = 0;
    uint32_t outside_ = 0xFFFFFFFF;
};

}  // namespace boardsim
