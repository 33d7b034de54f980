#include "fake_core.h"

#include <cstdint>

#include "event_log.h"
#include "fake_registers.h"

namespace {

constexpr std::uint32_t kVicIntEnable = 0xFFFFF010;
constexpr std::uint32_t kVicIntEnClr = 0xFFFFF014;

bool masked = false;
std::uint32_t enabled = 0;

}  // namespace

namespace fake_core {

void Install()
{
    masked = false;
    enabled = 0;
    fake_registers::OnWrite(kVicIntEnable, [](std::uint32_t v) { enabled |= v; });
    fake_registers::OnWrite(kVicIntEnClr, [](std::uint32_t v) { enabled &= ~v; });
}

bool IrqMasked() { return masked; }

bool Delivers(unsigned channel) { return !masked && (enabled & (1u << channel)) != 0; }

}  // namespace fake_core

extern "C" {

void SwiHandle1(int handle)
{
    static const char *const names[] = {"IRQDisable", "IRQEnable", "FIQDisable", "FIQEnable"};
    if (handle >= 0 && handle <= 3)
    {
        event_log::Add(names[handle]);
    }
    if (handle == 0)
    {
        masked = true;
    }
    else if (handle == 1)
    {
        masked = false;
    }
}

// The start-up's hang loop, the VIC's default vector: only its address is
// taken here.
void Irq_Hang(void) {}

}  // extern "C"
