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
// `onRead(n)` runs before sample n is returned.
class Script
{
public:
    explicit Script(std::vector<std::uint32_t> samples,
                    std::function<void(std::size_t)> onRead = nullptr)
        : samples_(std::move(samples)), onRead_(std::move(onRead))
    {
    }

    Script(const Script &) = delete;
    Script &operator=(const Script &) = delete;
    ~Script() { fake_registers::OnRead(kIo0Pin, nullptr); }

    void Install()
    {
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
    std::size_t next_ = 0;
};

}  // namespace board_pins

#endif
