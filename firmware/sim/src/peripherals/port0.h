// GPIO port 0: direction, output latch and pin levels of P0.0..P0.31. What
// sits outside the pins (pull-ups, keys, the LED) is the machine's business:
// it sets the levels the inputs read and hears when the outputs change.
#pragma once

#include "peripherals/peripheral.h"

namespace boardsim {

namespace gpio {
constexpr uint32_t kPin = 0x00;
constexpr uint32_t kSet = 0x04;
constexpr uint32_t kDir = 0x08;
constexpr uint32_t kClr = 0x0C;
}  // namespace gpio

class Port0 final : public Peripheral {
public:
    Port0();

    // Level of every pin. On the board, what the machine's pin layer says
    // (pinLevels); on its own, outputs read back what they drive and inputs
    // what the outside world puts on them.
    uint32_t pins() const
    {
        return pinLevels ? pinLevels() : (latch_ & direction()) | (outside_ & ~direction());
    }
    uint32_t direction() const { return stored(gpio::kDir); }
    uint32_t latch() const { return latch_; }
    double steadyFor(uint32_t offset) const override
    {
        return offset == gpio::kPin && nextPinEdge ? nextPinEdge() : Peripheral::steadyFor(offset);
    }

    // Level the outside world puts on the pins (a pulled-up input reads 1).
    void setOutsideLevels(uint32_t levels) { outside_ = levels; }
    uint32_t outsideLevels() const { return outside_; }

    // Called after every write to the port's registers.
    std::function<void()> onOutputsChanged;
    // Where IO0PIN reads the pins from, when the board has them: a pin reads
    // its level whatever its function or direction.
    std::function<uint32_t()> pinLevels;
    // When the next edge already on its way to the pins falls (a byte's
    // bits on TxD, SCK0 and MOSI0): IO0PIN reads the same until then.
    std::function<double()> nextPinEdge;

protected:
    void resetState() override { latch_ = 0; }

private:
    void changed() const;

    uint32_t latch_ = 0;
    uint32_t outside_ = 0xFFFFFFFF;
};

}  // namespace boardsim
