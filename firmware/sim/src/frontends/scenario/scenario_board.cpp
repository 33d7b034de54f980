#include "frontends/scenario/scenario_board.h"

#include <memory>

namespace boardsim {
namespace {

// Text a wait has gone past is dropped once there is this much of it, so
// that a chatty UART over a long scenario does not grow without end.
constexpr size_t kKeptBehind = size_t{64} * 1024;

}  // namespace

ScenarioBoard::ScenarioBoard(const ElfImage& image, const BoardOptions& options, const Scenario& scenario)
    : board_(image, options), scenario_(scenario), deadline_(scenario.timeout),
      bounce_(options.bounceSeconds)
{
    board_.subscribe([this](const Event& e) { keep(e); });
    if (scenario.followsDac) {
        dac_.emplace(board_);
    }
    if (scenario.pinsWatched != 0) {
        board_.machine().pins().listen(scenario.pinsWatched, [this](unsigned pin, bool level, double time) {
            if (pinWatcher_) {
                pinWatcher_(pin, level, time);
            }
        });
    }
}

void ScenarioBoard::keep(const Event& e)
{
    if (e.kind != EventKind::UartByte) {
        return;
    }
    const int uart = e.address == kUart1Base ? 1 : 0;
    Received& line = received_.at(size_t(uart));
    if (line.searchFrom > 2 * kKeptBehind) {
        const size_t drop = line.searchFrom - kKeptBehind;
        line.text.erase(0, drop);
        line.times.erase(line.times.begin(), line.times.begin() + std::ptrdiff_t(drop));
        line.searchFrom -= drop;
    }
    line.text += char(e.value);
    line.times.push_back(e.time);
    if (uartWatcher_) {
        uartWatcher_(uart);
    }
}

ScenarioBoard::Ran ScenarioBoard::runTo(const When& target)
{
    if (board_.fault()) {
        return Ran::Fault;
    }
    StopReason reason = StopReason::Limit;
    bool late = false;  // the deadline came first
    if (target.isTime) {
        if (target.seconds <= now()) {
            return Ran::Reached;
        }
        late = target.seconds > deadline_;
        if (late && now() >= deadline_) {
            return Ran::Deadline;
        }
        reason = board_.runUntil(When::at(late ? deadline_ : target.seconds));
    } else {
        if (target.count <= board_.instructions()) {
            return Ran::Reached;
        }
        if (now() >= deadline_) {
            return Ran::Deadline;
        }
        // A count has no time of its own: the deadline stops it by time.
        // Shared with the action, which outlives the run when it ends first.
        auto hit = std::make_shared<bool>(false);
        auto active = std::make_shared<bool>(true);
        board_.scheduleAtTime(deadline_, [this, hit, active] {
            if (*active) {
                *hit = true;
                board_.requestStop();
            }
        });
        reason = board_.runUntil(target.count);
        *active = false;
        late = *hit && reason == StopReason::Requested;
        if (late) {
            reason = StopReason::Limit;
        }
    }
    switch (reason) {
    case StopReason::Fault: return Ran::Fault;
    case StopReason::Requested: return Ran::Stopped;
    case StopReason::Limit: break;
    }
    return late ? Ran::Deadline : Ran::Reached;
}

}  // namespace boardsim
