#include "frontends/web/event_stream.h"

#include <cstddef>

namespace boardsim {

std::string serverSentEvent(const std::string& name, const std::string& data)
{
    return "event: " + name + "\ndata: " + data + "\n\n";
}

void EventStream::publish(const std::string& name, const std::string& data, const std::string& present)
{
    std::string event = serverSentEvent(name, data);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!present.empty()) {
            latest_[name] = present == data ? event : serverSentEvent(name, present);
        }
        historyBytes_ += event.size();
        history_.emplace_back(++last_, std::move(event));
        while (historyBytes_ > historyLimit_ && history_.size() > 1) {
            historyBytes_ -= history_.front().second.size();
            history_.pop_front();
        }
    }
    changed_.notify_all();
}

std::string EventStream::latest(const std::string& name) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = latest_.find(name);
    if (found == latest_.end()) {
        return {};
    }
    // The data line of the event as sent.
    const std::string& event = found->second;
    const size_t data = event.find("\ndata: ") + 7;
    return event.substr(data, event.size() - data - 2);
}

std::string EventStream::present() const
{
    std::string text;
    for (const auto& [name, event] : latest_) {
        text += event;
    }
    return text;
}

std::string EventStream::next(Cursor& cursor, std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (cursor.joined) {
        changed_.wait_for(lock, wait, [&] { return ended_ || last_ > cursor.seen; });
    }
    if (ended_) {
        return {};
    }
    // Numbers run on without gaps: the reader's next event is at a known place.
    const uint64_t oldest = history_.empty() ? last_ + 1 : history_.front().first;
    if (!cursor.joined || oldest > cursor.seen + 1) {
        cursor.joined = true;
        cursor.seen = last_;
        return present();
    }
    std::string text;
    for (auto event = history_.begin() + std::ptrdiff_t(cursor.seen + 1 - oldest); event != history_.end(); ++event) {
        text += event->second;
    }
    cursor.seen = last_;
    return text;
}

void EventStream::end()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
}

bool EventStream::ended() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

}  // namespace boardsim
