// The board's clocks as config.h plans them, set up before main: the PLL
// multiplies the crystal by 4 (Fcclk), the VPB divider gives Fpclk, the
// memory accelerator serves flash at that speed, and the vectors are those
// of user flash however the image was started.
#include "config.h"
#include "clock_setup.h"

namespace {

constexpr INT32U kMultiplier = Fcclk / Fosc;
// The PLL's current-controlled oscillator runs at Fcclk x 2 x P.
constexpr INT32U kPostDivider = Fcco / (2 * Fcclk);
static_assert(kMultiplier >= 1 && kMultiplier <= 32 && Fcclk == Fosc * kMultiplier, "M must be whole, 1..32");
static_assert(kPostDivider == 1 || kPostDivider == 2 || kPostDivider == 4 || kPostDivider == 8, "P is 1, 2, 4 or 8");
static_assert(Fcco >= 156000000 && Fcco <= 320000000, "Fcco must lie in 156..320 MHz");

constexpr INT32U Psel(INT32U p) { return p == 1 ? 0 : p == 2 ? 1 : p == 4 ? 2 : 3; }
constexpr INT32U kPllCfg = (Psel(kPostDivider) << 5) | (kMultiplier - 1);

constexpr INT32U kPllEnable = 0x1;
constexpr INT32U kPllConnect = 0x2;
constexpr INT32U kPllLocked = 1u << 10;

// VPBDIV: 00 pclk = cclk / 4, 01 = cclk, 10 = cclk / 2.
constexpr INT32U kVpbDiv = Fcclk / Fpclk == 1 ? 1 : Fcclk / Fpclk == 2 ? 2 : 0;
static_assert(Fcclk / Fpclk == 1 || Fcclk / Fpclk == 2 || Fcclk / Fpclk == 4, "Fpclk must be Fcclk / 1, 2 or 4");

// Flash fetch cycles the user manual gives: 1 below 20 MHz, 2 up to 40 MHz,
// 3 above.
constexpr INT32U kMamFetchCycles = Fcclk < 20000000 ? 1 : Fcclk < 40000000 ? 2 : 3;
// MAM fully on. Early silicon revisions of this family have an erratum in
// mode 2 (wrong data from flash under some access patterns); on such a
// part use mode 1 (MAM partly on), which costs only branch targets.
constexpr INT32U kMamFullyOn = 2;
constexpr INT32U kMemMapUserFlash = 1;

// PLLCON and PLLCFG take effect only after this pair, with nothing between
// on the bus; interrupts are still masked at this point of the start-up.
void Feed()
{
    PLLFEED = 0xAA;
    PLLFEED = 0x55;
}

}  // namespace

extern "C" void BoardClockInit(void)
{
    // The fetch timing may change only with the MAM off.
    MAMCR = 0;
    MAMTIM = kMamFetchCycles;
    MAMCR = kMamFullyOn;
    VPBDIV = kVpbDiv;

    PLLCFG = kPllCfg;
    PLLCON = kPllEnable;
    Feed();
    while ((PLLSTAT & kPllLocked) == 0)
    {
    }
    PLLCON = kPllEnable | kPllConnect;
    Feed();

    MEMMAP = kMemMapUserFlash;
}
