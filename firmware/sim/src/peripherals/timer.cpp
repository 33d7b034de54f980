#include "peripherals/timer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace boardsim {
namespace {

constexpr uint32_t kEnable = 0x1;
constexpr uint32_t kCounterReset = 0x2;

}  // namespace

Timer::Timer(unsigned index, unsigned line) : name_("TIMER" + std::to_string(index)), line_(line)
{
    static const struct {
        uint32_t offset;
        const char* suffix;
        Access access;
    } layout[] = {
        {kIr, "IR", Access::ReadWrite},   {kTcr, "TCR", Access::ReadWrite}, {kTc, "TC", Access::ReadWrite},
        {kPr, "PR", Access::ReadWrite},   {kPc, "PC", Access::ReadWrite},   {kMcr, "MCR", Access::ReadWrite},
        {0x18, "MR0", Access::ReadWrite}, {0x1C, "MR1", Access::ReadWrite}, {0x20, "MR2", Access::ReadWrite},
        {0x24, "MR3", Access::ReadWrite}, {kCcr, "CCR", Access::ReadWrite}, {0x2C, "CR0", Access::ReadOnly},
        {0x30, "CR1", Access::ReadOnly},  {0x34, "CR2", Access::ReadOnly},  {0x38, "CR3", Access::ReadOnly},
        {kEmr, "EMR", Access::ReadWrite},
    };
    names_.reserve(std::size(layout));  // the table points into it: no reallocation
    for (const auto& r : layout) {
        names_.push_back("T" + std::to_string(index) + r.suffix);
        table_.push_back({r.offset, names_.back().c_str(), r.access, 0});
    }
}

void Timer::reset()
{
    ir_ = tcr_ = tc_ = pr_ = pc_ = mcr_ = ccr_ = emr_ = 0;
    std::fill(std::begin(mr_), std::end(mr_), 0u);
    anchor_ = 0;
    anchorFraction_ = 0;
    ++plan_;
}

void Timer::catchUp()
{
    const double now = board().now();
    if (counting()) {
        // Whole pclk cycles since the anchor; the rest carries over.
        const double cycles = (now - anchor_) * board().pclkHz() + anchorFraction_;
        const double whole = std::floor(cycles + 1e-6);
        anchorFraction_ = cycles - whole > 0 ? cycles - whole : 0;
        const uint64_t ticks = uint64_t(whole);
        const uint64_t period = uint64_t(pr_) + 1;
        const uint64_t total = uint64_t(pc_) + ticks;
        tc_ += uint32_t(total / period);
        pc_ = uint32_t(total % period);
    }
    anchor_ = now;
}

uint32_t Timer::counter()
{
    catchUp();
    return tc_;
}

void Timer::pclkChanged()
{
    // Counted so far at the old rate; from here on at the new one.
    ++plan_;
    planNextMatch();
}

void Timer::planNextMatch()
{
    const uint64_t plan = ++plan_;
    if (!counting()) {
        return;
    }
    uint64_t soonest = UINT64_MAX;
    unsigned which = 0;
    for (unsigned n = 0; n < 4; ++n) {
        if (((mcr_ >> (3 * n)) & 0x7) == 0) {
            continue;  // a match without an action needs no moment
        }
        const uint64_t steps = mr_[n] > tc_ ? uint64_t(mr_[n] - tc_) : (uint64_t(1) << 32) - tc_ + mr_[n];
        if (steps < soonest) {
            soonest = steps;
            which = n;
        }
    }
    if (soonest == UINT64_MAX) {
        return;
    }
    const double pclkCycles = double(soonest) * (double(pr_) + 1) - double(pc_) - anchorFraction_;
    board().scheduleAt(anchor_ + pclkCycles / board().pclkHz(), [this, plan, which] {
        if (plan == plan_) {
            match(which);
        }
    });
}

void Timer::match(unsigned n)
{
    catchUp();
    tc_ = mr_[n];
    pc_ = 0;
    const uint32_t actions = (mcr_ >> (3 * n)) & 0x7;
    if ((actions & 0x1) != 0) {
        ir_ |= 1u << n;
        board().setInterruptLine(line_, true);
    }
    if ((actions & 0x2) != 0) {
        tc_ = 0;
    }
    if ((actions & 0x4) != 0) {
        tcr_ &= ~kEnable;
    }
    planNextMatch();
}

uint32_t Timer::readRegister(uint32_t offset)
{
    switch (offset) {
    case kIr: return ir_;
    case kTcr: return tcr_;
    case kTc: return counter();
    case kPr: return pr_;
    case kPc: catchUp(); return pc_;
    case kMcr: return mcr_;
    case kCcr: return ccr_;
    case kEmr: return emr_;
    default:
        if (offset >= kMr0 && offset < kCcr) {
            return mr_[(offset - kMr0) / 4];
        }
        return 0;  // CR0..3: nothing is ever captured
    }
}

void Timer::writeRegister(uint32_t offset, uint32_t value)
{
    catchUp();
    switch (offset) {
    case kIr:
        ir_ &= ~value;  // writing 1 clears the flag
        if ((ir_ & 0xFF) == 0) {
            board().setInterruptLine(line_, false);
        }
        break;
    case kTcr:
        tcr_ = value & 0x3;
        if ((tcr_ & kCounterReset) != 0) {
            tc_ = 0;
            pc_ = 0;
        }
        break;
    case kTc: tc_ = value; break;
    case kPr: pr_ = value; break;
    case kPc: pc_ = value; break;
    case kMcr: mcr_ = value & 0xFFF; break;
    case kCcr: ccr_ = value & 0xFFF; break;
    case kEmr: emr_ = value & 0xFFF; break;
    default: mr_[(offset - kMr0) / 4] = value; break;
    }
    planNextMatch();
}

}  // namespace boardsim
