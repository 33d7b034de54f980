// The pins a peripheral's signals reach the outside world on, as the machine
// wires them. A model drives its outputs and reads its inputs by its own
// signal numbers (SPI's SCK, MOSI, ...): which pin carries a signal, and
// whether the pin connect block has connected it at all, is the machine's
// business. Input changes come back to the model through a call the
// machine makes (each model names its own, e.g. Spi::inputChanged).
#pragma once

namespace boardsim {

class SignalPins {
public:
    // From now on the model drives `signal` at `level` (`enabled`), or lets
    // go of it, the pin becoming an input again.
    virtual void drive(unsigned signal, bool enabled, bool level) = 0;
    // A driven `signal` goes to `level` at `time` (not before now): a
    // waveform the model knows ahead, handed over edge by edge in time order
    // instead of one scheduled action per edge.
    virtual void driveAt(unsigned signal, double time, bool level) = 0;
    // Drops the edges handed over by driveAt() for after `time`.
    virtual void cancelAfter(double time) = 0;
    // Every pin change up to `time`, handed-over edges included, has reached
    // whoever listens to the pins (this model's inputs among them).
    virtual void settle(double time) = 0;
    // The level the model sees on an input: its pin's, when the pin is
    // connected to the signal, else the signal's idle level.
    virtual bool input(unsigned signal) = 0;
    // Whether the pin connect block routes `signal` to its pin.
    virtual bool connected(unsigned signal) const = 0;

protected:
    ~SignalPins() = default;
};

}  // namespace boardsim
