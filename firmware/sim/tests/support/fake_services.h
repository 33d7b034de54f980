// The board around a model (or the engine around the machine) in a test:
// time stands still unless the test moves it, scheduled work runs when it
// does, and events, faults, clock changes and the core's interrupt inputs
// are written down for the test to read.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/machine_model.h"
#include "peripherals/peripheral.h"

namespace boardsim::testing {

class FakeServices final : public BoardServices, public EngineServices {
public:
    void emit(EventKind kind, uint32_t address, uint32_t value) override { emitAt(time, kind, address, value); }
    void emitAt(double at, EventKind kind, uint32_t address, uint32_t value) override
    {
        events.push_back({0, at, kind, 0, address, value});
    }
    double now() const override { return time; }
    uint64_t instructions() const override { return 0; }
    void scheduleAt(double at, std::function<void()> action) override { due.emplace(at, std::move(action)); }
    void schedule(const When& when, std::function<void()> action) override
    {
        due.emplace(when.isTime ? when.seconds : time, std::move(action));
    }
    double pclkHz() const override { return pclk ? pclk() : 11059200.0 / 4; }
    void fault(std::string what) override { faults.push_back(std::move(what)); }
    void boardFault(std::string what) override { faults.push_back(std::move(what)); }
    void warn(std::string what) override { warnings.push_back(std::move(what)); }
    void clocksChanged() override
    {
        ++clockChanges;
        if (onClocksChanged) {
            onClocksChanged();
        }
    }
    uint64_t busAccesses() const override { return accesses; }
    bool privileged() const override { return !userMode; }
    void sleep(bool powerDown) override { sleeping = powerDown ? 2 : 1; }
    void wake() override { sleeping = 0; }
    void resetChip(std::string why) override { resets.push_back(std::move(why)); }
    void setCoreInterrupt(ArmException kind, bool asserted) override
    {
        (kind == ArmException::Fiq ? nFiq : nIrq) = asserted;
    }

    // Runs what falls due up to `t`, in order, and leaves time at `t`.
    void advanceTo(double t)
    {
        while (!due.empty() && due.begin()->first <= t) {
            time = due.begin()->first;
            auto action = std::move(due.begin()->second);
            due.erase(due.begin());
            action();
        }
        time = t;
    }

    double time = 0;
    uint64_t accesses = 0;
    int clockChanges = 0;
    bool nIrq = false;
    bool nFiq = false;
    bool userMode = false;
    int sleeping = 0;  // 1 idle, 2 powered down
    std::function<double()> pclk;
    std::function<void()> onClocksChanged;
    std::multimap<double, std::function<void()>> due;
    std::vector<Event> events;
    std::vector<std::string> faults;
    std::vector<std::string> warnings;
    std::vector<std::string> resets;
};

// A model on its own, attached to fake services, reached by offset as the
// bus would reach it. Records what its interrupt line does.
template <typename Model>
class ModelUnderTest {
public:
    template <typename... Args>
    explicit ModelUnderTest(Args&&... args) : model(std::forward<Args>(args)...)
    {
        model.validate();
        model.attach(services);
        model.connectInterrupt(InterruptLine([this](bool asserted) { irq = asserted; }));
        model.reset();
    }

    uint32_t read(uint32_t offset, unsigned size = 4)
    {
        ++services.accesses;
        const BusResult r = model.read(offset, size);
        if (!r.ok) {
            throw std::runtime_error("read refused: " + r.problem);
        }
        return r.value;
    }
    void write(uint32_t offset, uint32_t value, unsigned size = 4)
    {
        ++services.accesses;
        const BusResult r = model.write(offset, size, value);
        if (!r.ok) {
            throw std::runtime_error("write refused: " + r.problem);
        }
    }

    FakeServices services;
    Model model;
    bool irq = false;
};

}  // namespace boardsim::testing
