// One peripheral register, defined once: where it sits in its block, its
// manual name, how wide the manual makes it, how it may be accessed, what it
// holds after reset, its named fields each with its own access mode, and
// what the model does when it is read or written. A register that only
// stores needs nothing but its definition. Several registers may share an
// offset (U0RBR when read, U0THR when written, U0DLL while LCR.DLAB is set):
// each says when it answers.
//
//   define(0x00, "T0IR", 8).field(kMr0Interrupt, Access::WriteOneToClear)
//       .afterWrite([this](uint32_t) { ... });
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace boardsim {

// How a register, or a field of one, takes the bus's accesses.
enum class Access {
    ReadWrite,
    ReadOnly,         // a register refuses writes; a field keeps its bits
    WriteOnly,        // a register refuses reads; a field reads as 0
    WriteOneToClear,  // reads; a 1 written clears the bit, a 0 leaves it
    ReadToClear,      // reads; the read clears it
};

// A bit field of a register, by its manual name.
struct Field {
    const char* name;
    uint8_t shift;
    uint8_t width;

    constexpr uint32_t mask() const
    {
        return (width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1u)) << shift;
    }
    // The field's value in `reg`.
    constexpr uint32_t get(uint32_t reg) const { return (reg & mask()) >> shift; }
    // `value` placed in the field (other bits zero).
    constexpr uint32_t of(uint32_t value) const { return (value << shift) & mask(); }
    // `reg` with the field set to `value`.
    constexpr uint32_t put(uint32_t reg, uint32_t value) const { return (reg & ~mask()) | of(value); }
    constexpr bool in(uint32_t reg) const { return (reg & mask()) != 0; }
};

class Register {
public:
    using Reader = std::function<uint32_t()>;
    using Writer = std::function<void(uint32_t)>;
    using Hook = std::function<void()>;
    using Condition = std::function<bool()>;

    // `bits`: the register's width in the manual (8, 16 or 32). The chip
    // takes a register whole: an access at least that wide reads or writes
    // it, the value's low bits; a narrower write is refused (see
    // Peripheral::write).
    Register(uint32_t offset, std::string name, unsigned bits, uint32_t reset, Access access);

    // The definition, in chained calls.
    // A named field; it takes the register's access unless given its own.
    Register& field(const Field& f);
    Register& field(const Field& f, Access access);
    // A field whose value the model supplies at each read.
    Register& field(const Field& f, Access access, Reader value);
    // The whole register reads what the model supplies (nothing stored).
    Register& reads(Reader value);
    // A write goes to the model (its value within the writable fields)
    // instead of the storage.
    Register& writes(Writer take);
    // Runs before a write changes anything (to bring the model's time up
    // to the present under the old setting).
    Register& beforeWrite(Hook hook);
    // Runs after a write has been stored, with the value written.
    Register& afterWrite(Writer hook);
    // An alias: the register answers only while `holds` (`what` says when,
    // for people: "LCR.DLAB = 1").
    Register& onlyWhile(std::string what, Condition holds);
    // The manual gives no reset value: it reads what lies outside the chip
    // (pin levels).
    Register& noResetValue();
    // A register the model reads out (reads, or fields with their own
    // value) whose read, repeated with nothing written and no scheduled
    // work run in between, gives what it gave and changes nothing a later
    // read would see; `until` says up to when (seconds since reset) that
    // holds, unset: for ever.
    Register& steady(std::function<double()> until = nullptr);

    // The model's view of the stored value.
    uint32_t value() const { return value_; }
    void set(uint32_t value) { value_ = value & mask(); }
    uint32_t get(const Field& f) const { return f.get(value_); }
    bool has(const Field& f) const { return f.in(value_); }
    void put(const Field& f, uint32_t value) { set(f.put(value_, value)); }

    // The bus's view: an access that the peripheral has accepted.
    uint32_t read();
    void write(uint32_t value);
    void reset() { value_ = reset_; }
    // Whether it answers an access in that direction now (its condition
    // holds, and its access allows it).
    bool answers(bool write) const;
    bool answersNow() const { return !condition_ || condition_(); }

    uint32_t offset() const { return offset_; }
    const std::string& name() const { return name_; }
    unsigned bits() const { return bits_; }
    uint32_t mask() const { return bits_ >= 32 ? 0xFFFFFFFFu : (1u << bits_) - 1u; }
    uint32_t resetValue() const { return reset_; }
    bool hasResetValue() const { return hasReset_; }
    Access access() const { return access_; }
    bool readable() const { return access_ != Access::WriteOnly; }
    bool writable() const { return access_ != Access::ReadOnly; }
    bool conditional() const { return bool(condition_); }
    const std::string& condition() const { return conditionText_; }
    // The bits a write can change (every bit without fields).
    uint32_t writableBits() const;
    // Up to when a read gives what the last one gave and leaves the model as
    // it is, unless the bus writes or scheduled work runs first: for ever for
    // a register that only stores (a model changes what it stores only when
    // the bus writes, or from scheduled work), what steady() said for one the
    // model reads out, 0 (no such promise) for any other and for a read that
    // clears.
    double steadyUntil() const;

    struct FieldRule {
        Field field;
        Access access;
        Reader value;
    };
    const std::vector<FieldRule>& fields() const { return fields_; }

    // What is wrong with the definition itself (fields beyond its width or
    // overlapping, a reset value it cannot hold), or empty.
    std::string problem() const;

private:
    uint32_t stored(uint32_t written) const;

    uint32_t offset_;
    std::string name_;
    unsigned bits_;
    uint32_t reset_;
    Access access_;
    bool hasReset_ = true;
    uint32_t value_ = 0;
    std::vector<FieldRule> fields_;
    Reader reader_;
    Writer writer_;
    Hook before_;
    Writer after_;
    Condition condition_;
    std::string conditionText_;
    bool readOut_ = false;  // a read asks the model, or clears bits
    bool steady_ = false;
    std::function<double()> steadyUntil_;
};

}  // namespace boardsim
