#include "peripherals/peripheral.h"

#include <limits>

#include <algorithm>

#include "core/board_error.h"
#include "util/text.h"

namespace boardsim {

Peripheral::Peripheral(std::string name, uint32_t size, std::vector<RegisterSpec> table)
    : name_(std::move(name)), size_(size), table_(std::move(table)), slots_(table_.size()),
      byWord_((size + 3) / 4, -1)
{
    for (size_t i = 0; i < table_.size(); ++i) {
        const uint32_t offset = table_[i].offset;
        if (offset % 4 == 0 && offset / 4 < byWord_.size() && byWord_[offset / 4] < 0) {
            byWord_[offset / 4] = int16_t(i);
        }
    }
}

int Peripheral::indexOf(uint32_t offset) const
{
    return offset % 4 == 0 && offset / 4 < byWord_.size() ? byWord_[offset / 4] : -1;
}

const RegisterSpec* Peripheral::findRegister(uint32_t offset) const
{
    const int index = indexOf(offset);
    return index < 0 ? nullptr : &table_[size_t(index)];
}

void Peripheral::handle(uint32_t offset, Reader read, Writer write)
{
    const int index = indexOf(offset);
    if (index < 0) {
        strayHandlers_.push_back(offset);  // reported by validate()
        return;
    }
    slots_[size_t(index)].read = std::move(read);
    slots_[size_t(index)].write = std::move(write);
}

void Peripheral::markSteady(uint32_t offset)
{
    const int index = indexOf(offset);
    if (index >= 0) {
        slots_[size_t(index)].steady = true;
    }
}

double Peripheral::steadyUntil(uint32_t offset) const
{
    const int index = indexOf(offset);
    if (index < 0) {
        return 0;
    }
    const Slot& slot = slots_[size_t(index)];
    return !slot.read ? std::numeric_limits<double>::infinity() : slot.steady ? steadyFor(offset) : 0;
}

double Peripheral::steadyFor(uint32_t /*offset*/) const
{
    return std::numeric_limits<double>::infinity();
}

uint32_t Peripheral::stored(uint32_t offset) const
{
    const int index = indexOf(offset);
    if (index < 0) {
        throw BoardError(name_ + " has no register at offset " + hex(offset));
    }
    return slots_[size_t(index)].value;
}

void Peripheral::store(uint32_t offset, uint32_t value)
{
    const int index = indexOf(offset);
    if (index < 0) {
        throw BoardError(name_ + " has no register at offset " + hex(offset));
    }
    slots_[size_t(index)].value = value;
}

void Peripheral::connectInterrupt(unsigned output, InterruptLine line)
{
    if (irqs_.size() <= output) {
        irqs_.resize(output + 1);
    }
    irqs_[output] = std::move(line);
}

const InterruptLine& Peripheral::irq(unsigned output) const
{
    static const InterruptLine unconnected;
    return output < irqs_.size() ? irqs_[output] : unconnected;
}

void Peripheral::validate() const
{
    const auto fail = [this](const std::string& what) { throw BoardError("the " + name_ + " model: " + what); };
    for (const uint32_t offset : strayHandlers_) {
        fail("a handler for offset " + hex(offset) + ", where its register table has no register");
    }
    for (size_t i = 0; i < table_.size(); ++i) {
        const RegisterSpec& r = table_[i];
        const Slot& slot = slots_[i];
        const std::string what = r.name + " (offset " + hex(r.offset) + ")";
        if (r.offset % 4 != 0 || r.offset >= size_) {
            fail(what + " lies outside its " + std::to_string(size_) + " bytes or off a word boundary");
        }
        if (indexOf(r.offset) != int(i)) {
            fail(what + " shares its offset with " + table_[size_t(indexOf(r.offset))].name);
        }
        if (r.behaviour == Behaviour::Storage && (slot.read || slot.write)) {
            fail(what + " is plain storage in the table but has a handler");
        }
        if (r.behaviour == Behaviour::Handled && r.readable() && !slot.read) {
            fail(what + " is readable and handled, but has no reader");
        }
        if (r.behaviour == Behaviour::Handled && r.writable() && !slot.write) {
            fail(what + " is writable and handled, but has no writer");
        }
    }
}

void Peripheral::reset()
{
    for (size_t i = 0; i < table_.size(); ++i) {
        slots_[i].value = table_[i].reset;
    }
    resetState();
}

std::string Peripheral::registerName(uint32_t offset, bool /*write*/) const
{
    if (const RegisterSpec* r = findRegister(offset)) {
        return r->name;
    }
    const auto chip = std::find_if(chipRegisters_.begin(), chipRegisters_.end(),
                                   [offset](const auto& r) { return r.first == offset; });
    return chip != chipRegisters_.end() ? chip->second : name_ + "+" + hex(offset);
}

BusResult Peripheral::check(const RegisterSpec* r, unsigned size, bool write) const
{
    if (r == nullptr) {
        return BusResult::refuse("no such " + name_ + " register");
    }
    if (size > 4 || (accessWidths() & (1u << size)) == 0) {
        std::string widths;
        for (unsigned bytes : {1u, 2u, 4u}) {
            if ((accessWidths() & (1u << bytes)) != 0) {
                widths += (widths.empty() ? "" : " or ") + std::to_string(bytes * 8) + "-bit";
            }
        }
        return BusResult::refuse(name_ + " registers take " + widths + " accesses only");
    }
    if (write && !r->writable()) {
        return BusResult::refuse(r->name + " is read-only");
    }
    if (!write && !r->readable()) {
        return BusResult::refuse(r->name + " is write-only");
    }
    return BusResult::done();
}

BusResult Peripheral::missing(uint32_t offset) const
{
    const auto chip = std::find_if(chipRegisters_.begin(), chipRegisters_.end(),
                                   [offset](const auto& r) { return r.first == offset; });
    if (chip != chipRegisters_.end()) {
        return BusResult::refuse(chip->second + " is a register of the chip that the " + name_ +
                                 " model does not have (not modelled)");
    }
    return BusResult::refuse("no such " + name_ + " register");
}

BusResult Peripheral::read(uint32_t offset, unsigned size)
{
    const int index = indexOf(offset);
    if (index < 0) {
        return missing(offset);
    }
    const RegisterSpec* r = &table_[size_t(index)];
    BusResult result = check(r, size, false);
    if (result.ok) {
        const Slot& slot = slots_[size_t(index)];
        result.value = slot.read ? slot.read() : slot.value;
    }
    return result;
}

BusResult Peripheral::write(uint32_t offset, unsigned size, uint32_t value)
{
    const int index = indexOf(offset);
    if (index < 0) {
        return missing(offset);
    }
    const RegisterSpec* r = &table_[size_t(index)];
    BusResult result = check(r, size, true);
    if (result.ok) {
        Slot& slot = slots_[size_t(index)];
        if (slot.write) {
            slot.write(value);
        } else {
            slot.value = value & r->writableBits();
        }
    }
    return result;
}

}  // namespace boardsim
