#include "machine/keypad.h"

#include <string>

#include "core/board_error.h"

namespace boardsim {
namespace {

// A linear congruential generator: the same chatter on every run.
constexpr uint32_t kLcgMultiplier = 1103515245u;
constexpr uint32_t kLcgIncrement = 12345u;

}  // namespace

uint32_t Keypad::bit(int key)
{
    if (key < 1 || key > kKeys) {
        throw BoardError("there is no KEY_" + std::to_string(key));
    }
    return 1u << (key - 1);
}

double Keypad::momentOf(const When& at) const
{
    const double now = engine_->now();
    return at.isTime && at.seconds < now ? at.seconds : now;
}

void Keypad::down(int key, double start)
{
    if ((held_ & bit(key)) != 0) {
        throw BoardError("KEY_" + std::to_string(key) + " pressed again while still held");
    }
    held_ |= bit(key);
    edge(key, true, start);
}

void Keypad::up(int key, double start)
{
    if ((held_ & bit(key)) == 0) {
        throw BoardError("KEY_" + std::to_string(key) + " released while it is not held");
    }
    held_ &= ~bit(key);
    edge(key, false, start);
}

void Keypad::press(int key, const When& at, const When& hold)
{
    bit(key);
    engine_->schedule(at, [this, key, at, hold] {
        const double start = momentOf(at);
        down(key, start);
        const When release = hold.isTime ? When::at(start + hold.seconds)
                                         : When::instructions(engine_->instructions() + hold.count);
        engine_->schedule(release, [this, key, release] { up(key, momentOf(release)); });
    });
}

void Keypad::hold(int key, const When& at)
{
    bit(key);
    engine_->schedule(at, [this, key, at] { down(key, momentOf(at)); });
}

void Keypad::release(int key, const When& at)
{
    bit(key);
    engine_->schedule(at, [this, key, at] { up(key, momentOf(at)); });
}

void Keypad::edge(int key, bool down, double start)
{
    engine_->emit(EventKind::Key, uint32_t(key), down ? 1 : 0);
    // Contacts chatter: the level flips at a few uneven moments within the
    // bounce time before it settles where the edge goes.
    double t = start;
    bool level = down;
    setLevel_(key, level);
    while (bounceSeconds_ > 0) {
        bounceSeed_ = bounceSeed_ * kLcgMultiplier + kLcgIncrement;
        t += bounceSeconds_ * (0.05 + 0.25 * double((bounceSeed_ >> 16) & 0x7FFF) / 32768.0);
        if (t >= start + bounceSeconds_) {
            break;
        }
        level = !level;
        engine_->schedule(When::at(t), [this, key, level] { setLevel_(key, level); });
    }
    if (level != down) {
        engine_->schedule(When::at(start + bounceSeconds_), [this, key, down] { setLevel_(key, down); });
    }
}

}  // namespace boardsim
