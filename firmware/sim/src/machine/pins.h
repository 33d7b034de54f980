// Port 0's pins as levels in time: what each pin carries at every moment.
// A pin's level follows from its function in the pin connect block: as GPIO
// from the port's direction and latch, as a peripheral's function from that
// peripheral's output when it drives one, and otherwise from what the board
// puts on it (pull-ups, a key grounding it). Listeners (devices on the
// board, a logic analyzer) hear every change of the pins they listen to,
// with its moment, strictly in time order. A peripheral that knows a
// waveform ahead (a byte's SCK edges and data bits) hands its edges over
// with their times; they are delivered in order among all other changes:
// before anything happens at time t, every edge up to t has been delivered.
// Nothing runs between changes, so a long idle stretch costs nothing.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "peripherals/pin_select.h"
#include "peripherals/gpio.h"
#include "peripherals/signal_pins.h"

namespace boardsim {

class Pins {
public:
    static constexpr unsigned kCount = 32;
    using Listener = std::function<void(unsigned pin, bool level, double time)>;
    using InputListener = std::function<void(bool level, double time)>;

    // `now`: the simulated time, asked whenever something changes from outside.
    Pins(const PinSelect& pinSelect, const Gpio& port0, std::function<double()> now);
    Pins(const Pins&) = delete;
    Pins& operator=(const Pins&) = delete;

    // Power-on: the board's pull-ups on every pin, no peripheral driving,
    // nothing pending, time 0. Listeners stay; they hear nothing of it.
    void reset();

    // `listener` hears every change of the pins in the mask `pins`; the
    // number returned names it to setListening().
    size_t listen(uint32_t pins, Listener listener);
    // Listener `id` hears the pins in `pins` from now on: a device that
    // cares for a line only at times (a clock while its chip select is
    // low) costs nothing the rest of the time.
    void setListening(size_t id, uint32_t pins);
    // What peripheral function `function` (1..3) of `pin` reads: the pin's
    // level while the pin is connected to it, else `idle`. `listener` hears
    // every change of that, whether the level or the connection changed.
    void watchInput(unsigned pin, unsigned function, bool idle, InputListener listener);
    bool input(unsigned pin, unsigned function, bool idle);

    // What the board puts on the pins (1 where nothing pulls a pin low).
    void setOutside(uint32_t levels);
    uint32_t outside() const { return outside_; }
    // The board puts `level` on the pins in `mask` from now on; the others
    // keep what they have (also what is on its way to them).
    void setOutsidePins(uint32_t mask, bool level);
    // The board puts `level` on `pin` at `time` (now or later): a line
    // from outside whose waveform is known ahead, a host's frame on RxD.
    void setOutsideAt(unsigned pin, double time, bool level);

    // The pin connect block or the GPIO registers changed just now (call it
    // after every write to them).
    void update();

    // Every level now.
    uint32_t levels();
    unsigned function(unsigned pin) const;

    // Peripheral function `function` of `pin` drives it at `level` from now
    // on (`enabled`), or lets go of it.
    void drive(unsigned pin, unsigned function, bool enabled, bool level);
    // The same at `time` (now or later), for a waveform known ahead; edges
    // handed over in time order keep that order among themselves.
    void driveAt(unsigned pin, unsigned function, double time, bool level);
    // Drops the pending edges of that output after `time`.
    void cancelAfter(unsigned pin, unsigned function, double time);
    // Delivers every change up to `time`, or up to now (outside a delivery).
    void settle(double time);
    void catchUp();

    // Edges handed over and not yet delivered (for tests of their cost).
    size_t pending() const { return pending_.size(); }
    // When the first of them falls (infinity when there is none).
    double nextPending() const;

private:
    // An edge of what the board puts on a pin rather than of a function.
    static constexpr uint8_t kOutside = 4;
    struct Edge {
        double time;
        uint8_t pin;
        uint8_t function;  // or kOutside
        bool level;
        uint64_t order;    // among edges of one time, the order they came in
    };
    void queue(const Edge& edge);
    struct Watcher {
        unsigned pin;
        unsigned function;
        bool idle;
        bool seen;
        InputListener listener;
    };
    struct Note {
        double time;
        int pin;      // a pin's change, or -1
        int watcher;  // a watched input's change, or -1
        bool level;
    };

    void refresh();  // the registers' state taken in
    uint32_t compute() const;
    void apply();  // levels recomputed; changes noted and delivered
    void drain();
    bool seenBy(const Watcher& w) const;

    const PinSelect& pinSelect_;
    const Gpio& port0_;
    std::function<double()> now_;

    uint32_t outside_ = 0xFFFFFFFF;
    // The registers as last taken in: a write's effect starts at update().
    std::array<uint32_t, 4> functionPins_{};  // pins of each function, from PINSEL0/1
    uint32_t latch_ = 0, direction_ = 0;
    std::array<uint32_t, 4> enabled_{};  // per function: pins its peripheral drives
    std::array<uint32_t, 4> driven_{};   // and at which level
    uint32_t levels_ = 0;
    double at_ = 0;  // delivered up to here

    // A heap, the earliest edge on top: a waveform queued far ahead (a
    // host's long write on RxD) costs nothing to the edges queued before
    // its end.
    std::vector<Edge> pending_;
    uint64_t queued_ = 0;
    std::vector<std::pair<uint32_t, Listener>> listeners_;
    std::vector<Watcher> watchers_;
    std::vector<Note> notes_;
    size_t notesHead_ = 0;
    int busy_ = 0;  // inside a delivery: changes happen at at_, not at now
};

// A peripheral's signals on their pins: signal n is peripheral function
// `function` of pin `pin`, and reads `idle` while the pin connect block
// connects that pin to something else.
class PeripheralPins final : public SignalPins {
public:
    struct Wire {
        unsigned pin;
        unsigned function;
        bool idle;
    };
    // `changed` hears every change of what an input signal reads.
    PeripheralPins(Pins& pins, std::vector<Wire> wires, const std::function<void(unsigned, bool, double)>& changed);

    void drive(unsigned signal, bool enabled, bool level) override;
    void driveAt(unsigned signal, double time, bool level) override;
    void cancelAfter(double time) override;
    void settle(double time) override { pins_.settle(time); }
    bool input(unsigned signal) override;
    bool connected(unsigned signal) const override;

private:
    const Wire& wire(unsigned signal) const { return wires_.at(signal); }

    Pins& pins_;
    std::vector<Wire> wires_;
};

}  // namespace boardsim
