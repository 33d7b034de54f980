// The watchdog: a 32-bit counter (WDTV) that counts down at pclk / 4 from
// the time-out value (WDTC, at least 0xFF) once WDMOD.WDEN is set and a
// feed (0xAA then 0x55 to WDFEED) has started it; every feed reloads it.
// When it runs out, WDTOF is set and, with WDRESET, the chip resets;
// without, WDINT is set and requests the interrupt until the next reset
// (software cannot clear it). After 0xAA, any access to a watchdog
// register other than writing 0x55 to WDFEED times the running watchdog
// out at once. WDEN and WDRESET cannot be cleared by software; WDTOF is
// cleared only by software or by a reset that is not the watchdog's own.
// The counter stays at 0 after a time-out until it is fed again.
#pragma once

#include <cstdint>
#include <string>

#include "peripherals/pclk_ticks.h"
#include "peripherals/peripheral.h"

namespace boardsim {

namespace wdt {
constexpr Field kEnable{"WDEN", 0, 1};
constexpr Field kResetEnable{"WDRESET", 1, 1};
constexpr Field kTimeOut{"WDTOF", 2, 1};
constexpr Field kInterrupt{"WDINT", 3, 1};
constexpr uint32_t kMinimumTimeOut = 0xFF;
constexpr unsigned kPclksPerCount = 4;
}  // namespace wdt

class Watchdog final : public Peripheral {
public:
    Watchdog();

    uint32_t counter();  // WDTV now
    void pclkChanged() override;

    // A feed sequence broken by another access of the block is a time-out.
    BusResult read(uint32_t offset, unsigned size) override;
    BusResult write(uint32_t offset, unsigned size, uint32_t value) override;

protected:
    void resetState() override;

private:
    void writeMode(uint32_t value);
    void feed(uint32_t value);
    // An access other than the feed's 0x55 while a feed is half done.
    void interruptsFeed(uint32_t offset, bool write, uint32_t value);
    void catchUp();
    void planTimeOut();
    void timeOut(const std::string& cause);

    Register& wdmod_;
    Register& wdtc_;
    bool running_ = false;
    uint32_t count_ = 0;
    bool feedStarted_ = false;
    bool timedOutIntoReset_ = false;  // WDTOF survives the reset this time-out causes
    PclkTicks ticks_;         // pclk cycles up to when the count was last brought up to date
    uint32_t prescale_ = 0;   // whole pclk cycles of the count under way (0..3)
    uint64_t plan_ = 0;       // a scheduled time-out of an older plan is void
};

}  // namespace boardsim
