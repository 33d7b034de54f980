// UART0 as seen by a polled transmitter: the transmitter is always ready,
// nothing is ever received. Registers are 8 bits wide at word addresses.
#pragma once

#include <optional>

#include "bus_result.h"

namespace boardsim {

class Uart0 {
public:
    static constexpr uint32_t kBase = 0xE000C000;
    static constexpr uint32_t kRbrThrDll = 0x00;
    static constexpr uint32_t kIerDlm = 0x04;
    static constexpr uint32_t kIirFcr = 0x08;
    static constexpr uint32_t kLcr = 0x0C;
    static constexpr uint32_t kLsr = 0x14;
    static constexpr uint32_t kScr = 0x1C;
    static constexpr uint32_t kLsrTransmitterReady = 0x60;  // THRE | TEMT
    static constexpr uint32_t kLcrDlab = 0x80;

    BusResult read(uint32_t offset, unsigned size) const;
    // A byte written to THR comes back in `sent`.
    BusResult write(uint32_t offset, unsigned size, uint32_t value, std::optional<uint8_t>& sent);

    uint32_t divisor() const { return (uint32_t(dlm_) << 8) | dll_; }
    uint8_t lineControl() const { return lcr_; }
    // "8N1", "7E2", ... from the line control register.
    std::string frameFormat() const;

private:
    bool dlab() const { return (lcr_ & kLcrDlab) != 0; }

    uint8_t dll_ = 1;  // reset values of the divisor latch
    uint8_t dlm_ = 0;
    uint8_t ier_ = 0;
    uint8_t lcr_ = 0;
    uint8_t fcr_ = 0;
    uint8_t scr_ = 0;
};

}  // namespace boardsim
