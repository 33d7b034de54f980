// What the board's viewers are told, as server-sent events: a numbered
// history of changes for the browsers following it, and the present (the
// latest of each kind of news) for one that joins or falls behind. One
// thread publishes; any number read, each at its own pace.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace boardsim {

// "event: NAME\ndata: DATA\n\n"; DATA must hold no line end (JSON does not).
std::string serverSentEvent(const std::string& name, const std::string& data);

class EventStream {
public:
    // A reader's place: the number of the last event it has.
    struct Cursor {
        uint64_t seen = 0;
        bool joined = false;
    };

    explicit EventStream(size_t historyBytes = size_t{8} << 20) : historyLimit_(historyBytes) {}

    // A change for those following, and at once what a joining reader gets
    // first of `name` from now on (replacing the one before): `present`,
    // the whole of it where `data` is a piece (a terminal's new bytes), or
    // `data` itself where that is the whole; nothing when both are empty.
    void publish(const std::string& name, const std::string& data, const std::string& present);
    // The latest news of `name`, empty if there is none.
    std::string latest(const std::string& name) const;

    // What the reader has not had yet, waiting up to `wait` for something:
    // the present for a new reader or one the history has left behind, the
    // changes since its last read otherwise. Empty after the wait, or when
    // the stream has ended.
    std::string next(Cursor& cursor, std::chrono::milliseconds wait);
    // Ends the stream: every reader's wait returns.
    void end();
    bool ended() const;

private:
    std::string present() const;  // with the lock held

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    size_t historyLimit_;
    size_t historyBytes_ = 0;
    uint64_t last_ = 0;                                   // the newest event's number
    std::deque<std::pair<uint64_t, std::string>> history_;  // oldest first
    std::map<std::string, std::string> latest_;             // name: the event as sent
    bool ended_ = false;
};

}  // namespace boardsim
