#include "frontends/scenario/serial_match.h"

#include <algorithm>

namespace boardsim {
namespace {

// A line still arriving is searched over its last bytes only: a UART that
// never sends a line feed must not make each new byte cost the whole line
// (its line feed has the whole line searched).
constexpr size_t kLongestPartialMatch = 256;

}  // namespace

std::optional<SerialMatcher::Match> SerialMatcher::find(const std::string& received, size_t from)
{
    if (pattern_) {
        return findPattern(received, from);
    }
    const size_t at = received.find(text_, std::max(from, checked_));
    if (at != std::string::npos) {
        return Match{at + text_.size(), at + text_.size()};
    }
    // A match that starts here or later could still be completed.
    if (received.size() >= text_.size()) {
        checked_ = std::max(checked_, received.size() - text_.size() + 1);
    }
    return std::nullopt;
}

std::optional<SerialMatcher::Match> SerialMatcher::findPattern(const std::string& received, size_t from)
{
    for (size_t line = std::max(from, checked_);;) {
        const size_t feed = received.find('\n', line);
        const bool complete = feed != std::string::npos;
        const size_t end = complete ? feed : received.size();
        size_t begin = line;
        auto flags = std::regex_constants::match_default;
        if (!complete) {
            flags |= std::regex_constants::match_not_eol;
            if (end - begin > kLongestPartialMatch) {
                begin = end - kLongestPartialMatch;
            }
        }
        // Mid-line (after an earlier match, or a partial line cut short),
        // ^ must not match.
        if (begin > 0 && received[begin - 1] != '\n') {
            flags |= std::regex_constants::match_prev_avail;
        }
        std::smatch match;
        const auto first = received.cbegin() + std::ptrdiff_t(begin);
        if (std::regex_search(first, received.cbegin() + std::ptrdiff_t(end), match, *pattern_, flags)) {
            // A complete line was searched whole: what matched may have
            // needed its end.
            return Match{begin + size_t(match.position(0) + match.length(0)), complete ? end + 1 : end};
        }
        if (!complete) {
            checked_ = line;  // the complete lines before it have been searched
            return std::nullopt;
        }
        line = feed + 1;
    }
}

bool matchesNothing(const std::regex& pattern)
{
    const std::string nothing;
    return std::regex_search(nothing, pattern, std::regex_constants::match_not_eol);
}

}  // namespace boardsim
