#include "frontends/scenario/scenario_board.h"

#include <memory>

#include "frontends/common/signals.h"

namespace boardsim {
namespace {

// Text a wait has gone past is dropped once there is this much of it, so
// that a chatty UART over a long scenario does not grow without end.
constexpr size_t kKeptBehind = size_t{64} * 1024;
// What no wait has read yet is kept up to this much (some 20 s of a UART
// that talks all the time at 115200 baud).
constexpr size_t kKeptUnread = size_t{256} * 1024;

}  // namespace

ScenarioBoard::ScenarioBoard(const ElfImage& image, const BoardOptions& options, const Scenario& scenario,
                             const volatile std::sig_atomic_t* stopFlag)
    : board_(image, options), scenario_(scenario), deadline_(scenario.timeout),
      bounce_(options.bounceSeconds), stopFlag_(stopFlag)
{
    if (stopFlag != nullptr) {
        board_.stopWhen(stopFlag);
    }
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
    const int uart = int(e.address);
    received_.at(size_t(uart)).add(char(e.value), e.time, bool(uartWatcher_));
    if (uartWatcher_) {
        uartWatcher_(uart);
    }
}

void ScenarioBoard::Received::add(char byte, double time, bool waiting)
{
    size_t drop = 0;
    if (searchFrom > 2 * kKeptBehind) {
        drop = searchFrom - kKeptBehind;
    }
    if (!waiting && text.size() > 2 * kKeptUnread) {
        drop = text.size() - kKeptUnread;  // a wait's own positions are never moved under it
    }
    if (drop > 0) {
        unreadLetGo += drop > searchFrom ? drop - searchFrom : 0;
        text.erase(0, drop);
        times.erase(times.begin(), times.begin() + std::ptrdiff_t(drop));
        searchFrom = searchFrom > drop ? searchFrom - drop : 0;
    }
    text += byte;
    times.push_back(time);
}

ScenarioBoard::Ran ScenarioBoard::runTo(const When& target)
{
    if (board_.fault()) {
        return Ran::Fault;
    }
    stopAsked_ = false;
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
    case StopReason::Requested: return stopAsked_ ? Ran::Stopped : Ran::Interrupted;
    case StopReason::Limit: break;
    }
    return late ? Ran::Deadline : Ran::Reached;
}

std::string ScenarioBoard::interruption() const
{
    if (stopFlag_ != nullptr && *stopFlag_ != 0) {
        return std::string("interrupted (") + signalName(int(*stopFlag_)) + ")";
    }
    return "an output of the run could not be written";
}

}  // namespace boardsim
