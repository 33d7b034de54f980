// Scripted port-0 pin levels for the board-layer tests.
#ifndef FIRMWARE_TESTS_BOARD_PINS_H
#define FIRMWARE_TESTS_BOARD_PINS_H

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <vector>

#include "fake_registers.h"

namespace board_pins {

constexpr std::uint32_t kIo0Pin = 0xE0028000;
constexpr std::uint32_t kT0Tc = 0xE0004008;
// Timer0 ticks (the 11.0592 MHz peripheral clock) in a millisecond.
constexpr std::uint32_t kTicksPerMs = 11059200 / 1000;

// IO0PIN with the given keys (1..4, on P0.16..P0.19, active low) pressed and
// every other pin high.
inline std::uint32_t KeysDown(std::initializer_list<int> keys)
{
    std::uint32_t pins = 0xFFFFFFFF;
    for (int key : keys)
    {
        pins &= ~(1u << (15 + key));
    }
    return pins;
}

// Each read of IO0PIN takes the next sample; reading past the end throws,
// so code that would poll for ever fails the test instead of hanging it.
// `onRead(n)` runs before sample n is returned. Sample n is taken at
// n x `msPerSample` milliseconds, which Timer0's counter (T0TC) shows.
class Script
{
public:
    explicit Script(std::vector<std::uint32_t> samples,
                    std::function<void(std::size_t)> onRead = nullptr, std::uint32_t msPerSample = 20)
        : samples_(std::move(samples)), onRead_(std::move(onRead)), msPerSample_(msPerSample)
    {
    }

    Script(const Script &) = delete;
    Script &operator=(const Script &) = delete;
    ~Script()
    {
        fake_registers::OnRead(kIo0Pin, nullptr);
        fake_registers::OnRead(kT0Tc, nullptr);
    }

    void Install()
    {
        fake_registers::OnRead(kT0Tc, [this] {
            return static_cast<std::uint32_t>(next_ * msPerSample_ * kTicksPerMs);
        });
        fake_registers::OnRead(kIo0Pin, [this] {
            if (next_ >= samples_.size())
            {
                throw std::runtime_error("IO0PIN read past the end of the script");
            }
            if (onRead_)
            {
                onRead_(next_);
            }
            return samples_[next_++];
        });
    }

    std::size_t ReadsDone() const { return next_; }

private:
    std::vector<std::uint32_t> samples_;
    std::function<void(std::size_t)> onRead_;
    std::uint32_t msPerSample_;
    std::size_t next_ = 0;
};

}  // namespace board_pins

#endif
