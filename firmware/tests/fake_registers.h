// A RAM-backed stand-in for the memory-mapped registers. LPC_REG32(addr)
// yields a FakeRegister: reads come from a value per address (or from a
// script installed by the test), writes are stored and logged in order.
#ifndef FIRMWARE_TESTS_FAKE_REGISTERS_H
#define FIRMWARE_TESTS_FAKE_REGISTERS_H

#include <cstdint>
#include <functional>

class FakeRegister
{
public:
    explicit FakeRegister(std::uint32_t address) : address_(address) {}
    FakeRegister(const FakeRegister &) = default;

    std::uint32_t address() const { return address_; }

    operator std::uint32_t() const;
    FakeRegister &operator=(std::uint32_t value);
    FakeRegister &operator=(const FakeRegister &other) { return *this = static_cast<std::uint32_t>(other); }
    FakeRegister &operator|=(std::uint32_t bits) { return *this = static_cast<std::uint32_t>(*this) | bits; }
    FakeRegister &operator&=(std::uint32_t bits) { return *this = static_cast<std::uint32_t>(*this) & bits; }

private:
    std::uint32_t address_;
};

inline FakeRegister FakeRegisterAt(std::uint32_t address) { return FakeRegister(address); }

#define LPC_REG32(addr) (FakeRegisterAt(addr))

namespace fake_registers {

// Zeroes every register, drops read and write scripts and read counts.
void Reset();
// Sets a register's value without logging a write.
void Preset(std::uint32_t address, std::uint32_t value);
// The value last written or preset.
std::uint32_t Value(std::uint32_t address);
// From now on reads of this address return what the function returns;
// an empty function goes back to the stored value.
void OnRead(std::uint32_t address, std::function<std::uint32_t()> read);
// From now on every write of this address, once stored and logged, is
// handed to `written` too (a fake device behind the register); an empty
// function stops it.
void OnWrite(std::uint32_t address, std::function<void(std::uint32_t)> written);
int ReadCount(std::uint32_t address);
// From now on `access` runs just before and just after every register read
// and write (the moments an interrupt may come between two accesses); an
// empty function stops it. Accesses `access` makes itself do not call it
// again.
void OnEveryAccess(std::function<void()> access);

}  // namespace fake_registers

#endif
