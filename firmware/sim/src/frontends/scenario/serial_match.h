// Finding a wait-serial's text in what a UART sent, while it arrives: plain
// text anywhere (across lines too), a regular expression within a line (^
// and $ at the line's ends; the line still arriving has no end yet, so $
// waits for its line feed). Each call searches only what is new, and the
// line it continues (of a line longer than 256 bytes, its last 256 until its
// line feed comes), so a long wait on a chatty UART stays cheap.
#pragma once

#include <cstddef>
#include <optional>
#include <regex>
#include <string>

namespace boardsim {

class SerialMatcher {
public:
    // `pattern`: none for plain text. Both must outlive the matcher.
    SerialMatcher(const std::string& text, const std::optional<std::regex>& pattern)
        : text_(text), pattern_(pattern)
    {
    }

    struct Match {
        size_t end;   // of the match
        size_t seen;  // bytes that had to arrive to tell: a pattern's line feed, when $ needed it
    };
    // The first match in `received` from `from` on, or nothing. Call again
    // as `received` grows, with the same `from`.
    std::optional<Match> find(const std::string& received, size_t from);

private:
    std::optional<Match> findPattern(const std::string& received, size_t from);

    const std::string& text_;
    const std::optional<std::regex>& pattern_;
    size_t checked_ = 0;  // no match starts before here
};

// Whether `pattern` matches where nothing has arrived yet (such as "a*"):
// such a wait would end at once.
bool matchesNothing(const std::regex& pattern);

}  // namespace boardsim
