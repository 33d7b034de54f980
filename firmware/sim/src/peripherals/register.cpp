#include "peripherals/register.h"

#include <limits>
#include <numeric>
#include <utility>

#include "util/text.h"

namespace boardsim {

Register::Register(uint32_t offset, std::string name, unsigned bits, uint32_t reset, Access access)
    : offset_(offset), name_(std::move(name)), bits_(bits), reset_(reset), access_(access), value_(reset),
      readOut_(access == Access::ReadToClear)
{
}

Register& Register::field(const Field& f)
{
    // A read-write register's fields default to read-write; a read-only or
    // write-only register's to its own rule.
    return field(f, access_);
}

Register& Register::field(const Field& f, Access access)
{
    return field(f, access, nullptr);
}

Register& Register::field(const Field& f, Access access, Reader value)
{
    readOut_ = readOut_ || value || access == Access::ReadToClear;
    fields_.push_back({f, access, std::move(value)});
    return *this;
}

Register& Register::reads(Reader value)
{
    reader_ = std::move(value);
    readOut_ = true;
    return *this;
}

Register& Register::writes(Writer take)
{
    writer_ = std::move(take);
    return *this;
}

Register& Register::beforeWrite(Hook hook)
{
    before_ = std::move(hook);
    return *this;
}

Register& Register::afterWrite(Writer hook)
{
    after_ = std::move(hook);
    return *this;
}

Register& Register::onlyWhile(std::string what, Condition holds)
{
    conditionText_ = std::move(what);
    condition_ = std::move(holds);
    return *this;
}

Register& Register::noResetValue()
{
    hasReset_ = false;
    return *this;
}

Register& Register::steady(std::function<double()> until)
{
    steady_ = true;
    steadyUntil_ = std::move(until);
    return *this;
}

double Register::steadyUntil() const
{
    constexpr double kForEver = std::numeric_limits<double>::infinity();
    if (!readOut_) {
        return kForEver;
    }
    if (!steady_) {
        return 0;
    }
    return steadyUntil_ ? steadyUntil_() : kForEver;
}

bool Register::answers(bool write) const
{
    return (write ? writable() : readable()) && answersNow();
}

uint32_t Register::writableBits() const
{
    if (fields_.empty()) {
        return writable() ? mask() : 0;
    }
    return std::accumulate(fields_.begin(), fields_.end(), 0u, [](uint32_t writable, const FieldRule& f) {
        return f.access == Access::ReadWrite || f.access == Access::WriteOnly ? writable | f.field.mask() : writable;
    });
}

uint32_t Register::read()
{
    if (reader_) {
        return reader_() & mask();
    }
    uint32_t result = value_;
    uint32_t cleared = 0;
    for (const FieldRule& f : fields_) {
        if (f.value) {
            result = f.field.put(result, f.value());
        }
        if (f.access == Access::WriteOnly) {
            result &= ~f.field.mask();
        } else if (f.access == Access::ReadToClear) {
            cleared |= f.field.mask();
        }
    }
    if (fields_.empty() && access_ == Access::ReadToClear) {
        cleared = mask();
    }
    value_ &= ~cleared;
    return result & mask();
}

// What the storage holds after `written`, field by field; bits outside
// every field are reserved and keep what they hold.
uint32_t Register::stored(uint32_t written) const
{
    const auto apply = [written](uint32_t held, uint32_t fieldBits, Access access) {
        switch (access) {
        case Access::ReadWrite:
        case Access::WriteOnly: return (held & ~fieldBits) | (written & fieldBits);
        case Access::WriteOneToClear: return held & ~(written & fieldBits);
        case Access::ReadOnly:
        case Access::ReadToClear: break;
        }
        return held;
    };
    if (fields_.empty()) {
        return apply(value_, mask(), access_);
    }
    uint32_t result = value_;
    for (const FieldRule& f : fields_) {
        result = apply(result, f.field.mask(), f.access);
    }
    return result;
}

void Register::write(uint32_t value)
{
    value &= mask();
    if (before_) {
        before_();
    }
    if (writer_) {
        writer_(value & writableBits());
    } else {
        value_ = stored(value);
    }
    if (after_) {
        after_(value);
    }
}

std::string Register::problem() const
{
    if (bits_ != 8 && bits_ != 16 && bits_ != 32) {
        return "is " + std::to_string(bits_) + " bits wide, not 8, 16 or 32";
    }
    if ((reset_ & ~mask()) != 0) {
        return "resets to " + hex(reset_) + ", more than its " + std::to_string(bits_) + " bits hold";
    }
    uint32_t taken = 0;
    for (const FieldRule& f : fields_) {
        const uint32_t fieldBits = f.field.mask();
        if (f.field.width == 0 || unsigned(f.field.shift) + f.field.width > bits_) {
            return "has field " + std::string(f.field.name) + " outside its " + std::to_string(bits_) + " bits";
        }
        if ((taken & fieldBits) != 0) {
            return "has field " + std::string(f.field.name) + " over bits another field has";
        }
        taken |= fieldBits;
    }
    return {};
}

}  // namespace boardsim
