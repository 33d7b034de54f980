#include "frontends/scenario/serial_match.h"

#include <re2/re2.h>

#include <algorithm>
#include <stdexcept>

namespace boardsim {
namespace {

// A line still arriving is searched over its last bytes only: a UART that
// never sends a line feed must not make each new byte cost the whole line
// (its line feed has the whole line searched).
constexpr size_t kLongestPartialMatch = 256;

// Searches `text` from `start` to `end`. What lies before `start` and after
// `end` in `text` is context only: ^ matches at `start` only when nothing
// comes before it, $ at `end` only when nothing comes after it.
std::optional<size_t> matchEnd(const re2::RE2& pattern, re2::StringPiece text, size_t start, size_t end)
{
    re2::StringPiece match;
    if (!pattern.Match(text, start, end, re2::RE2::UNANCHORED, &match, 1)) {
        return std::nullopt;
    }
    return size_t(match.data() - text.data()) + match.size();
}

}  // namespace

SerialPattern compilePattern(const std::string& source)
{
    re2::RE2::Options options;
    options.set_log_errors(false);
    auto pattern = std::make_shared<const re2::RE2>(source, options);
    if (!pattern->ok()) {
        throw std::invalid_argument(pattern->error());
    }
    return pattern;
}

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
        if (!complete && end - begin > kLongestPartialMatch) {
            begin = end - kLongestPartialMatch;
        }
        // Mid-line (after an earlier match, or a partial line cut short),
        // the byte before is context, so that ^ does not match there.
        const size_t context = begin > 0 && received[begin - 1] != '\n' ? begin - 1 : begin;
        std::optional<size_t> found;
        if (complete) {
            const re2::StringPiece text(received.data() + context, end - context);
            found = matchEnd(*pattern_, text, begin - context, text.size());
        } else {
            // A byte after the partial line, so that $ cannot match at its
            // end: the line goes on.
            partial_.assign(received, context, end - context);
            partial_ += '\n';
            found = matchEnd(*pattern_, partial_, begin - context, end - context);
        }
        if (found) {
            // A complete line was searched whole: what matched may have
            // needed its end.
            return Match{context + *found, complete ? end + 1 : end};
        }
        if (!complete) {
            checked_ = line;  // the complete lines before it have been searched
            return std::nullopt;
        }
        line = feed + 1;
    }
}

bool matchesNothing(const re2::RE2& pattern)
{
    // Nothing, with a line still to come after it.
    const std::string context = "\n";
    return bool(matchEnd(pattern, context, 0, 0));
}

}  // namespace boardsim
