// The board's four keys: each grounds its port-0 pin while pressed (the
// board's pull-ups hold it high otherwise), and its contacts chatter for
// the bounce time at each edge, flipping the level at a few uneven moments
// before it settles.
#pragma once

#include <cstdint>
#include <functional>

#include "core/machine_model.h"
#include "util/when.h"

namespace boardsim {

// How long a key is held when no length is given, wherever a key is pressed
// (the live screen's keys, scenarios, --press, gdb's monitor press): a quick
// press by hand, longer than a heartbeat (18 ms), so that DealKey, which
// looks at the keys once a pass, sees it.
inline When defaultKeyPress()
{
    return {true, 0, 0.080, "80ms"};
}

class Keypad {
public:
    static constexpr int kKeys = 4;

    // `setLevel(key, down)` puts the key's contact level on its pin.
    Keypad(double bounceSeconds, std::function<void(int, bool)> setLevel)
        : bounceSeconds_(bounceSeconds), setLevel_(std::move(setLevel))
    {
    }
    void attach(EngineServices& engine) { engine_ = &engine; }
    void reset() { held_ = 0; }

    // KEY_k goes down at `at` and up again after `hold` (instructions or
    // time), chattering at each edge. Throws BoardError for a key the board
    // lacks, and (when it comes) for a press of a key still held.
    void press(int key, const When& at, const When& hold);
    // KEY_k goes down at `at` and stays down until release(); release()
    // lets a held key go at `at`. Both throw BoardError for a key the board
    // lacks; at their moment, for a key already down (hold) or up (release).
    void hold(int key, const When& at);
    void release(int key, const When& at);
    bool held(int key) const { return (held_ & bit(key)) != 0; }

private:
    static uint32_t bit(int key);
    // The moment of an edge asked for at `at`: its own time, which the
    // instruction under way when it falls due may have passed by a few
    // cycles (the contacts then settle one bounce time after it, where a
    // scenario's step expects them); a count has only the board's time.
    double momentOf(const When& at) const;
    void down(int key, double start);
    void up(int key, double start);
    void edge(int key, bool down, double start);

    double bounceSeconds_;
    std::function<void(int, bool)> setLevel_;
    EngineServices* engine_ = nullptr;
    uint32_t held_ = 0;  // bit k-1 for KEY_k
    uint32_t bounceSeed_ = 1;
};

}  // namespace boardsim
