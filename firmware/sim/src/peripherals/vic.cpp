#include "peripherals/vic.h"

namespace boardsim {

using namespace vic;

namespace {

std::vector<RegisterSpec> vicTable()
{
    std::vector<RegisterSpec> table = {
        {kIrqStatus, "VICIRQStatus", Access::ReadOnly, 0, Behaviour::Handled},
        {kFiqStatus, "VICFIQStatus", Access::ReadOnly, 0, Behaviour::Handled},
        {kRawIntr, "VICRawIntr", Access::ReadOnly, 0, Behaviour::Handled},
        {kIntSelect, "VICIntSelect", Access::ReadWrite, 0, Behaviour::Handled},
        {kIntEnable, "VICIntEnable", Access::ReadWrite, 0, Behaviour::Handled},
        {kIntEnClr, "VICIntEnClr", Access::WriteOnly, 0, Behaviour::Handled},
        {kSoftInt, "VICSoftInt", Access::ReadWrite, 0, Behaviour::Handled},
        {kSoftIntClear, "VICSoftIntClear", Access::WriteOnly, 0, Behaviour::Handled},
        {kProtection, "VICProtection", Access::ReadWrite, 0, Behaviour::Handled, {kProtect}},
        {kVectAddr, "VICVectAddr", Access::ReadWrite, 0, Behaviour::Handled},
        {kDefVectAddr, "VICDefVectAddr", Access::ReadWrite, 0, Behaviour::Handled},
    };
    for (unsigned n = 0; n < kSlots; ++n) {
        table.push_back(
            {kVectAddr0 + 4 * n, "VICVectAddr" + std::to_string(n), Access::ReadWrite, 0, Behaviour::Handled});
    }
    for (unsigned n = 0; n < kSlots; ++n) {
        table.push_back({kVectCntl0 + 4 * n, "VICVectCntl" + std::to_string(n), Access::ReadWrite, 0,
                         Behaviour::Handled, {kSource, kSlotEnable}});
    }
    return table;
}

}  // namespace

Vic::Vic() : Peripheral("VIC", 0x240, vicTable())
{
    // Every register is handled: each checks the protection, and a write
    // may change what reaches the core.
    guardedStorage(kIntSelect);
    guardedStorage(kProtection);
    guardedStorage(kDefVectAddr);
    for (unsigned n = 0; n < kSlots; ++n) {
        guardedStorage(kVectAddr0 + 4 * n);
        guardedStorage(kVectCntl0 + 4 * n);
    }
    guardedReader(kIrqStatus, [this] { return irqRequests() & stored(kIntEnable); });
    guardedReader(kFiqStatus, [this] { return requests() & stored(kIntEnable) & stored(kIntSelect); });
    guardedReader(kRawIntr, [this] { return requests(); });
    // IntEnable and SoftInt set the bits written as 1; their Clear
    // registers clear them.
    setAndClear(kIntEnable, kIntEnClr);
    setAndClear(kSoftInt, kSoftIntClear);
    handle(kVectAddr, [this] { return allowed() ? readVectAddr() : 0u; },
           [this](uint32_t) {
               if (allowed()) {
                   writeVectAddr();
               }
           });
    reset();
}

void Vic::guardedStorage(uint32_t offset)
{
    handle(offset, [this, offset] { return allowed() ? stored(offset) : 0u; },
           [this, offset](uint32_t v) {
               if (allowed()) {
                   store(offset, v);
                   update();
               }
           });
}

void Vic::guardedReader(uint32_t offset, Reader read)
{
    handle(offset, [this, read = std::move(read)] { return allowed() ? read() : 0u; }, nullptr);
}

void Vic::setAndClear(uint32_t offset, uint32_t clear)
{
    handle(offset, [this, offset] { return allowed() ? stored(offset) : 0u; },
           [this, offset](uint32_t v) {
               if (allowed()) {
                   store(offset, stored(offset) | v);
                   update();
               }
           });
    handle(clear, nullptr, [this, offset](uint32_t v) {
        if (allowed()) {
            store(offset, stored(offset) & ~v);
            update();
        }
    });
}

void Vic::resetState()
{
    raw_ = 0;
    counted_ = 0;
    inService_.clear();
    std::fill(assertions_.begin(), assertions_.end(), 0);
    irq_ = fiq_ = false;
    if (core_) {
        core_(false, false);
    }
}

bool Vic::allowed() const
{
    return !kProtect.in(stored(kProtection)) || board().privileged();
}

void Vic::setLine(unsigned channel, bool asserted)
{
    const uint32_t bit = 1u << (channel & 31);
    raw_ = asserted ? (raw_ | bit) : (raw_ & ~bit);
    update();
}

uint32_t Vic::irqRequests() const
{
    return requests() & ~stored(kIntSelect);
}

int Vic::activePriority() const
{
    const uint32_t active = irqRequests() & stored(kIntEnable);
    if (active == 0) {
        return -1;
    }
    for (unsigned n = 0; n < kSlots; ++n) {
        const uint32_t control = stored(kVectCntl0 + 4 * n);
        if (kSlotEnable.in(control) && (active & (1u << kSource.get(control))) != 0) {
            return int(n);
        }
    }
    return int(kSlots);  // only non-vectored requests
}

uint32_t Vic::readVectAddr()
{
    const int priority = activePriority();
    const int current = inService_.empty() ? int(kSlots) + 1 : inService_.back();
    if (priority < 0 || priority >= current) {
        // Nothing above what is being handled: the default address, and no
        // change to the priority logic.
        return stored(kDefVectAddr);
    }
    inService_.push_back(priority);
    update();
    return priority == int(kSlots) ? stored(kDefVectAddr) : stored(kVectAddr0 + 4 * uint32_t(priority));
}

void Vic::writeVectAddr()
{
    if (!inService_.empty()) {
        inService_.pop_back();
    }
    update();
}

void Vic::update()
{
    // Count each rise of an enabled request: what the code asked to hear.
    const uint32_t enabled = requests() & stored(kIntEnable);
    const uint32_t risen = enabled & ~counted_;
    counted_ = enabled;
    for (uint32_t bits = risen; bits != 0; bits &= bits - 1) {
        ++assertions_[unsigned(__builtin_ctz(bits))];
    }
    const int priority = activePriority();
    const int current = inService_.empty() ? int(kSlots) + 1 : inService_.back();
    const bool irq = priority >= 0 && priority < current;
    const bool fiq = (requests() & stored(kIntEnable) & stored(kIntSelect)) != 0;
    if (irq != irq_ || fiq != fiq_) {
        irq_ = irq;
        fiq_ = fiq;
        if (core_) {
            core_(irq_, fiq_);
        }
    }
}

}  // namespace boardsim
