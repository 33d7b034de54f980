// The generator's timing: Timer1 on the peripheral clock, its MR0 match
// resetting the counter and raising VIC channel 5, which slot 0 of the VIC
// vectors to SignalTimerIrq. Everything the interrupt reads is changed only
// with IRQs masked in the core.
#include <stdint.h>

#include "config.h"
#include "signal_generator.h"
#include "spi0.h"

extern "C" void Irq_Hang(void);

namespace {

constexpr bool RatesExact(INT32U from = 0)
{
    return from == kSignalRateCount || (Fpclk % kSignalRates[from] == 0 && RatesExact(from + 1));
}
static_assert(RatesExact(), "every rate divides the peripheral clock");
// The frequency's arithmetic stays within 32 bits.
static_assert(kSignalRates[kSignalRateCount - 1] < 0xFFFFFFFFu / 1000, "rate too high");

constexpr INT32U kTimer1Channel = 5;
constexpr INT32U kTimer1Interrupt = 1u << kTimer1Channel;
constexpr INT32U kVectorEnabled = 1u << 5;  // VICVectCntl: the slot serves its channel

constexpr INT32U kTimerEnable = 1u;         // TCR
constexpr INT32U kTimerReset = 1u << 1;     // TCR: counters held at 0
constexpr INT32U kMr0Interrupt = 1u << 0;   // MCR, and the flag in IR
constexpr INT32U kMr0ResetsCounter = 1u << 1;
constexpr INT32U kAllTimerFlags = 0xFFu;    // IR: MR0..3, CR0..3; a 1 clears

INT32U HandlerAddress(void (*handler)(void))
{
    return static_cast<INT32U>(reinterpret_cast<uintptr_t>(handler));
}

const INT16U *Words = nullptr;
INT32U Length = 0;
INT32U Next = 0;

}  // namespace

void SignalPlay(const SignalTable *table, INT32U rateHz)
{
    IRQDisable();
    T1TCR = kTimerReset;
    T1IR = kAllTimerFlags;
    Words = table->words;
    Length = table->length;
    Next = 0;
    T1PR = 0;
    // The counter runs 0 .. MR0 and is reset by the match: MR0 + 1 clocks
    // a sample.
    T1MR0 = Fpclk / rateHz - 1;
    T1MCR = kMr0Interrupt | kMr0ResetsCounter;
    VICIntSelect = VICIntSelect & ~kTimer1Interrupt;
    VICVectAddr0 = HandlerAddress(SignalTimerIrq);
    VICVectCntl0 = kVectorEnabled | kTimer1Channel;
    // An IRQ that no slot claims has no business here: it stops at a name.
    VICDefVectAddr = HandlerAddress(Irq_Hang);
    VICIntEnable = kTimer1Interrupt;
    T1TCR = kTimerEnable;
    IRQEnable();
}

void SignalStop(void)
{
    // Masked in the core first: the VIC then cannot hand the core an
    // interrupt it has just withdrawn (the default vector's spurious IRQ).
    IRQDisable();
    VICIntEnClr = kTimer1Interrupt;
    T1TCR = kTimerReset;
    T1IR = kAllTimerFlags;
    IRQEnable();
    // No interrupt can touch the bus now.
    Spi0DacWord(kSignalStopWord);
}

INT32U SignalMilliHertz(INT32U rateHz, INT32U length)
{
    return (rateHz * 1000u + length / 2) / length;
}

extern "C" BOARD_IRQ_HANDLER void SignalTimerIrq(void)
{
    T1IR = kMr0Interrupt;
    Spi0DacWord(Words[Next]);
    Next++;
    if (Next == Length)
    {
        Next = 0;
    }
    VICVectAddr = 0;
}
