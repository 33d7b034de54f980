#include "peripherals/vic.h"

namespace boardsim {

using namespace vic;

// Every register 32 bits wide; each checks the protection, and a write
// may change what reaches the core.
Vic::Vic()
    : Peripheral("VIC", 0x240), intSelect_(define(0x00C, "VICIntSelect", 32)),
      intEnable_(define(0x010, "VICIntEnable", 32)), softInt_(define(0x018, "VICSoftInt", 32)),
      protection_(define(0x020, "VICProtection", 32).field(kProtect)),
      defVectAddr_(define(0x034, "VICDefVectAddr", 32))
{
    guardedReader(define(0x000, "VICIRQStatus", 32, 0, Access::ReadOnly),
                  [this] { return irqRequests() & intEnable_.value(); });
    guardedReader(define(0x004, "VICFIQStatus", 32, 0, Access::ReadOnly),
                  [this] { return requests() & intEnable_.value() & intSelect_.value(); });
    guardedReader(define(0x008, "VICRawIntr", 32, 0, Access::ReadOnly), [this] { return requests(); });
    guarded(intSelect_);
    setAndClear(intEnable_, define(0x014, "VICIntEnClr", 32, 0, Access::WriteOnly));
    setAndClear(softInt_, define(0x01C, "VICSoftIntClear", 32, 0, Access::WriteOnly));
    guarded(protection_);
    define(0x030, "VICVectAddr", 32)
        .reads([this] { return allowed() ? readVectAddr() : 0u; })
        .writes([this](uint32_t) {
            if (allowed()) {
                writeVectAddr();
            }
        });
    guarded(defVectAddr_);
    for (unsigned n = 0; n < kSlots; ++n) {
        vectAddr_[n] = &guarded(define(0x100 + 4 * n, "VICVectAddr" + std::to_string(n), 32));
    }
    for (unsigned n = 0; n < kSlots; ++n) {
        vectCntl_[n] = &guarded(
            define(0x200 + 4 * n, "VICVectCntl" + std::to_string(n), 32).field(kSource).field(kSlotEnable));
    }
    reset();
}

Register& Vic::guarded(Register& r)
{
    return r.reads([this, &r] { return allowed() ? r.value() : 0u; }).writes([this, &r](uint32_t v) {
        if (allowed()) {
            r.set(v);
            update();
        }
    });
}

Register& Vic::guardedReader(Register& r, Register::Reader read)
{
    return r.reads([this, read = std::move(read)] { return allowed() ? read() : 0u; });
}

void Vic::setAndClear(Register& r, Register& clear)
{
    r.reads([this, &r] { return allowed() ? r.value() : 0u; }).writes([this, &r](uint32_t v) {
        if (allowed()) {
            r.set(r.value() | v);
            update();
        }
    });
    clear.writes([this, &r](uint32_t v) {
        if (allowed()) {
            r.set(r.value() & ~v);
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
    return !kProtect.in(protection_.value()) || board().privileged();
}

void Vic::setLine(unsigned channel, bool asserted)
{
    const uint32_t bit = 1u << (channel & 31);
    raw_ = asserted ? (raw_ | bit) : (raw_ & ~bit);
    update();
}

uint32_t Vic::irqRequests() const
{
    return requests() & ~intSelect_.value();
}

int Vic::activePriority() const
{
    const uint32_t active = irqRequests() & intEnable_.value();
    if (active == 0) {
        return -1;
    }
    for (unsigned n = 0; n < kSlots; ++n) {
        const uint32_t control = vectCntl_[n]->value();
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
        return defVectAddr_.value();
    }
    inService_.push_back(priority);
    update();
    return priority == int(kSlots) ? defVectAddr_.value() : vectAddr_[priority]->value();
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
    const uint32_t enabled = requests() & intEnable_.value();
    const uint32_t risen = enabled & ~counted_;
    counted_ = enabled;
    for (uint32_t bits = risen; bits != 0; bits &= bits - 1) {
        ++assertions_[unsigned(__builtin_ctz(bits))];
    }
    const int priority = activePriority();
    const int current = inService_.empty() ? int(kSlots) + 1 : inService_.back();
    const bool irq = priority >= 0 && priority < current;
    const bool fiq = (requests() & intEnable_.value() & intSelect_.value()) != 0;
    if (irq != irq_ || fiq != fiq_) {
        irq_ = irq;
        fiq_ = fiq;
        if (core_) {
            core_(irq_, fiq_);
        }
    }
}

}  // namespace boardsim
