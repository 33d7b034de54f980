// Who hears of the board's events: any number of observers (the printer,
// the screen, a log, a test), each added and removed on its own. The engine
// keeps no event itself; an observer that wants a history keeps one
// (event_log.h).
#pragma once

#include <cstddef>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "core/events.h"

namespace boardsim {

class EventBus {
public:
    using Observer = std::function<void(const Event&)>;

    // Returns an id for unsubscribe().
    size_t subscribe(Observer observer)
    {
        observers_.emplace_back(++lastId_, std::make_shared<Observer>(std::move(observer)));
        return lastId_;
    }
    // An observer may unsubscribe itself or another while an event is
    // being delivered.
    void unsubscribe(size_t id)
    {
        for (auto& entry : observers_) {
            if (entry.first == id) {
                entry.second = nullptr;
            }
        }
        if (depth_ == 0) {
            compact();
        }
    }
    void publish(const Event& e)
    {
        ++depth_;
        // By index: an observer may subscribe another, which then hears the
        // next event.
        const size_t count = observers_.size();
        for (size_t i = 0; i < count; ++i) {
            // Held while it runs: a subscription from inside may move the list.
            const std::shared_ptr<Observer> observer = observers_[i].second;
            if (observer) {
                (*observer)(e);
            }
        }
        if (--depth_ == 0) {
            compact();
        }
    }
    bool empty() const { return observers_.empty(); }

private:
    void compact()
    {
        observers_.erase(std::remove_if(observers_.begin(), observers_.end(),
                                        [](const auto& entry) { return !entry.second; }),
                         observers_.end());
    }

    std::vector<std::pair<size_t, std::shared_ptr<Observer>>> observers_;
    size_t lastId_ = 0;
    int depth_ = 0;
};

}  // namespace boardsim
