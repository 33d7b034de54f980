#include "peripherals/peripheral.h"

#include <algorithm>
#include <set>

#include "core/board_error.h"
#include "util/text.h"

namespace boardsim {

Peripheral::Peripheral(std::string name, uint32_t size)
    : name_(std::move(name)), size_(size), byWord_((size + 3) / 4)
{
}

Register& Peripheral::define(uint32_t offset, std::string name, unsigned bits, uint32_t reset, Access access)
{
    Register& r = registers_.emplace_back(offset, std::move(name), bits, reset, access);
    if (offset % 4 == 0 && offset / 4 < byWord_.size()) {
        byWord_[offset / 4].push_back(&r);
    }
    return r;
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

namespace {

// At one offset, each access has at most one register that answers it with
// no condition, and that one comes last: an alias behind it would never
// answer. What is wrong with the registers of one word, or empty.
std::string sharingProblem(const std::vector<Register*>& word)
{
    for (const bool write : {false, true}) {
        const Register* unconditional = nullptr;
        for (const Register* r : word) {
            if (!(write ? r->writable() : r->readable())) {
                continue;
            }
            if (unconditional != nullptr) {
                return r->name() + " (offset " + hex(r->offset()) + ") shares its offset with " +
                       unconditional->name() + ", which answers every " + (write ? "write" : "read") + " there first";
            }
            if (!r->conditional()) {
                unconditional = r;
            }
        }
    }
    return {};
}

// What is wrong with one register's definition in a block of `size` bytes,
// or empty.
std::string definitionProblem(const Register& r, uint32_t size)
{
    const std::string what = r.name() + " (offset " + hex(r.offset()) + ") ";
    if (r.offset() % 4 != 0 || r.offset() >= size) {
        return what + "lies outside its " + std::to_string(size) + " bytes or off a word boundary";
    }
    const std::string problem = r.problem();
    return problem.empty() ? problem : what + problem;
}

}  // namespace

void Peripheral::validate() const
{
    const auto fail = [this](const std::string& what) { throw BoardError("the " + name_ + " model: " + what); };
    std::set<std::string> names;
    for (const Register& r : registers_) {
        if (const std::string problem = definitionProblem(r, size_); !problem.empty()) {
            fail(problem);
        }
        if (!names.insert(r.name()).second) {
            fail("two registers are named " + r.name());
        }
    }
    for (const auto& word : byWord_) {
        if (const std::string problem = sharingProblem(word); !problem.empty()) {
            fail(problem);
        }
    }
}

void Peripheral::reset()
{
    for (Register& r : registers_) {
        r.reset();
    }
    resetState();
}

Register* Peripheral::answering(uint32_t offset, bool write) const
{
    const uint32_t word = offset / 4;
    if (word >= byWord_.size()) {
        return nullptr;
    }
    const auto& atWord = byWord_[word];
    const auto found =
        std::find_if(atWord.begin(), atWord.end(), [write](const Register* r) { return r->answers(write); });
    return found == atWord.end() ? nullptr : *found;
}

Register* Peripheral::find(uint32_t offset, bool write, std::string& why) const
{
    if (Register* r = answering(offset, write)) {
        return r;
    }
    const uint32_t word = offset / 4;
    if (word >= byWord_.size() || byWord_[word].empty()) {
        why = "no such " + name_ + " register";
        return nullptr;
    }
    // There, but not for this access now: the last one whose condition
    // holds, or the first.
    const auto& atWord = byWord_[word];
    const auto now = std::find_if(atWord.rbegin(), atWord.rend(), [](const Register* r) { return r->answersNow(); });
    const Register* other = now == atWord.rend() ? atWord.front() : *now;
    why = other->name() + (write ? " is read-only" : " is write-only");
    return nullptr;
}

// Asked before every read of a peripheral: no allocation, nothing said.
double Peripheral::steadyUntil(uint32_t offset) const
{
    const Register* r = offset % 4 == 0 ? answering(offset, false) : nullptr;
    return r == nullptr ? 0 : r->steadyUntil();
}

std::string Peripheral::registerName(uint32_t offset, bool write) const
{
    std::string why;
    if (const Register* r = find(offset, write, why)) {
        return r->name();
    }
    const uint32_t word = offset / 4;
    if (word < byWord_.size() && !byWord_[word].empty()) {
        return byWord_[word].front()->name();
    }
    return name_ + "+" + hex(offset);
}

namespace {

uint32_t lowBits(unsigned size)
{
    return size >= 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1u;
}

// The chip reaches its peripheral registers at their word addresses only:
// the byte lanes of a register are not decoded, so its upper bytes cannot
// be read or written on their own.
BusResult offWord(uint32_t offset)
{
    return BusResult::refuse("the chip reaches a peripheral register only whole, at its word address (this access "
                             "starts at its byte " +
                             std::to_string(offset % 4) + ")");
}

}  // namespace

BusResult Peripheral::read(uint32_t offset, unsigned size)
{
    std::string why;
    Register* r = find(offset, false, why);
    if (r == nullptr) {
        return BusResult::refuse(why);
    }
    if (offset % 4 != 0) {
        return offWord(offset);
    }
    // The register is read whole; a narrower load takes its low bits.
    return BusResult::read(r->read() & lowBits(size));
}

BusResult Peripheral::write(uint32_t offset, unsigned size, uint32_t value)
{
    std::string why;
    Register* r = find(offset, true, why);
    if (r == nullptr) {
        return BusResult::refuse(why);
    }
    if (offset % 4 != 0) {
        return offWord(offset);
    }
    value &= lowBits(size);
    if (8 * size < r->bits()) {
        // The core repeats a byte or halfword across the data bus, and the
        // register takes all of it: the value would be smeared over its
        // upper bits. The manual has such registers written whole.
        const uint32_t smeared = size == 1 ? value * 0x01010101u : value * 0x00010001u;
        return BusResult::refuse(r->name() + " is " + std::to_string(r->bits()) +
                                 " bits wide and the chip writes it whole: " + (size == 1 ? "an " : "a ") + std::to_string(8 * size) +
                                 "-bit store reaches it as " + hex(smeared & r->mask()) +
                                 " (its bytes repeated across the bus)");
    }
    r->write(value);
    return BusResult::done();
}

}  // namespace boardsim
