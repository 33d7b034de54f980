#include "machine/pins.h"

#include <algorithm>
#include <limits>

namespace boardsim {
namespace {

// The heap's order: an edge is below one that comes before it.
template <typename Edge>
bool laterEdge(const Edge& a, const Edge& b)
{
    return a.time != b.time ? a.time > b.time : a.order > b.order;
}

}  // namespace

Pins::Pins(const PinSelect& pinSelect, const Gpio& port0, std::function<double()> now)
    : pinSelect_(pinSelect), port0_(port0), now_(std::move(now))
{
    reset();
}

void Pins::reset()
{
    outside_ = 0xFFFFFFFF;
    enabled_.fill(0);
    driven_.fill(0);
    pending_.clear();
    notes_.clear();
    notesHead_ = 0;
    at_ = 0;
    refresh();
    levels_ = compute();
    for (Watcher& w : watchers_) {
        w.seen = seenBy(w);
    }
}

size_t Pins::listen(uint32_t pins, Listener listener)
{
    listeners_.emplace_back(pins, std::move(listener));
    return listeners_.size() - 1;
}

void Pins::setListening(size_t id, uint32_t pins)
{
    listeners_.at(id).first = pins;
}

void Pins::watchInput(unsigned pin, unsigned function, bool idle, InputListener listener)
{
    Watcher w{pin, function, idle, false, std::move(listener)};
    w.seen = seenBy(w);
    watchers_.push_back(std::move(w));
}

unsigned Pins::function(unsigned pin) const
{
    unsigned f = 0;
    while (f < 3 && (functionPins_[f] >> pin & 1u) == 0) {
        ++f;
    }
    return f;
}

bool Pins::seenBy(const Watcher& w) const
{
    return (functionPins_[w.function] >> w.pin & 1u) != 0 ? (levels_ >> w.pin & 1u) != 0 : w.idle;
}

bool Pins::input(unsigned pin, unsigned function, bool idle)
{
    catchUp();
    return seenBy({pin, function, idle, false, nullptr});
}

void Pins::refresh()
{
    latch_ = port0_.latch();
    direction_ = port0_.direction();
    functionPins_.fill(0);
    for (unsigned pin = 0; pin < kCount; ++pin) {
        functionPins_[pinSelect_.port0Function(pin)] |= 1u << pin;
    }
}

uint32_t Pins::compute() const
{
    uint32_t result = functionPins_[0] & ((latch_ & direction_) | (outside_ & ~direction_));
    for (unsigned f = 1; f < 4; ++f) {
        result |= functionPins_[f] & ((enabled_[f] & driven_[f]) | (outside_ & ~enabled_[f]));
    }
    return result;
}

void Pins::catchUp()
{
    if (busy_ == 0) {
        settle(std::max(at_, now_()));
    }
}

void Pins::apply()
{
    const uint32_t now = compute();
    const uint32_t changed = now ^ levels_;
    levels_ = now;
    for (unsigned pin = 0; pin < kCount; ++pin) {
        if ((changed >> pin & 1u) != 0) {
            notes_.push_back({at_, int(pin), -1, (now >> pin & 1u) != 0});
        }
    }
    for (size_t i = 0; i < watchers_.size(); ++i) {
        Watcher& w = watchers_[i];
        const bool seen = seenBy(w);
        if (seen != w.seen) {
            w.seen = seen;
            notes_.push_back({at_, -1, int(i), seen});
        }
    }
    drain();
}

// Notes go out in the order they were made; what a listener changes in
// turn is noted behind them and goes out after them.
void Pins::drain()
{
    if (busy_ > 0) {
        return;  // the delivery under way picks the new notes up
    }
    ++busy_;
    while (notesHead_ < notes_.size()) {
        const Note note = notes_[notesHead_++];
        if (note.pin >= 0) {
            for (const auto& [mask, listener] : listeners_) {
                if ((mask >> note.pin & 1u) != 0) {
                    listener(unsigned(note.pin), note.level, note.time);
                }
            }
        } else {
            watchers_[size_t(note.watcher)].listener(note.level, note.time);
        }
    }
    notes_.clear();
    notesHead_ = 0;
    --busy_;
}

// Each edge's changes reach the listeners before the next edge is applied,
// so that what they do about it (a peripheral dropping the rest of its
// waveform) takes effect in time.
void Pins::settle(double time)
{
    while (!pending_.empty() && pending_.front().time <= time) {
        std::pop_heap(pending_.begin(), pending_.end(), laterEdge<Edge>);
        const Edge edge = pending_.back();
        pending_.pop_back();
        at_ = std::max(at_, edge.time);
        uint32_t* const driven = edge.function == kOutside ? &outside_ : &driven_[edge.function];
        *driven = edge.level ? (*driven | (1u << edge.pin)) : (*driven & ~(1u << edge.pin));
        apply();
    }
    at_ = std::max(at_, time);
}

void Pins::setOutside(uint32_t levels)
{
    catchUp();
    outside_ = levels;
    apply();
}

// What was pending up to now is delivered with the registers as they were
// before the write.
void Pins::update()
{
    catchUp();
    refresh();
    apply();
}

double Pins::nextPending() const
{
    return pending_.empty() ? std::numeric_limits<double>::infinity() : pending_.front().time;  // the heap's earliest
}

uint32_t Pins::levels()
{
    catchUp();
    return levels_;
}

void Pins::drive(unsigned pin, unsigned function, bool enabled, bool level)
{
    catchUp();
    const uint32_t bit = 1u << pin;
    enabled_[function] = enabled ? (enabled_[function] | bit) : (enabled_[function] & ~bit);
    driven_[function] = level ? (driven_[function] | bit) : (driven_[function] & ~bit);
    apply();
}

void Pins::setOutsidePins(uint32_t mask, bool level)
{
    catchUp();
    outside_ = level ? (outside_ | mask) : (outside_ & ~mask);
    apply();
}

void Pins::setOutsideAt(unsigned pin, double time, bool level)
{
    queue({std::max(time, at_), uint8_t(pin), kOutside, level, 0});
}

void Pins::driveAt(unsigned pin, unsigned function, double time, bool level)
{
    queue({std::max(time, at_), uint8_t(pin), uint8_t(function), level, 0});
}

void Pins::queue(const Edge& edge)
{
    pending_.push_back(edge);
    pending_.back().order = queued_++;  // equal times keep the order they came in
    std::push_heap(pending_.begin(), pending_.end(), laterEdge<Edge>);
}

void Pins::cancelAfter(unsigned pin, unsigned function, double time)
{
    const auto gone = std::remove_if(pending_.begin(), pending_.end(), [&](const Edge& e) {
        return e.pin == pin && e.function == function && e.time > time;
    });
    if (gone != pending_.end()) {
        pending_.erase(gone, pending_.end());
        std::make_heap(pending_.begin(), pending_.end(), laterEdge<Edge>);
    }
}

PeripheralPins::PeripheralPins(Pins& pins, std::vector<Wire> wires,
                               const std::function<void(unsigned, bool, double)>& changed)
    : pins_(pins), wires_(std::move(wires))
{
    for (unsigned signal = 0; signal < wires_.size(); ++signal) {
        const Wire& w = wires_[signal];
        pins_.watchInput(w.pin, w.function, w.idle,
                         [changed, signal](bool level, double time) { changed(signal, level, time); });
    }
}

void PeripheralPins::drive(unsigned signal, bool enabled, bool level)
{
    pins_.drive(wire(signal).pin, wire(signal).function, enabled, level);
}

void PeripheralPins::driveAt(unsigned signal, double time, bool level)
{
    pins_.driveAt(wire(signal).pin, wire(signal).function, time, level);
}

void PeripheralPins::cancelAfter(double time)
{
    for (const Wire& w : wires_) {
        pins_.cancelAfter(w.pin, w.function, time);
    }
}

bool PeripheralPins::input(unsigned signal)
{
    return pins_.input(wire(signal).pin, wire(signal).function, wire(signal).idle);
}

bool PeripheralPins::connected(unsigned signal) const
{
    return pins_.function(wire(signal).pin) == wire(signal).function;
}

}  // namespace boardsim
