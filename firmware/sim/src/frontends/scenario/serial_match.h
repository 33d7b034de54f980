// Finding a wait-serial's text in what a UART sent, while it arrives: plain
// text anywhere (across lines too), a regular expression within a line (^
// and $ at the line's ends; the line still arriving has no end yet, so $
// waits for its line feed). Each call searches only what is new, and the
// line it continues (of a line longer than 256 bytes, its last 256 until its
// line feed comes), so a long wait on a chatty UART stays cheap.
//
// Regular expressions are RE2's: matched in time linear in the text, with
// no recursion, so that no pattern can hang a run or overflow its stack
// (RE2 has no back-references and no look-around).
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace re2 {
class RE2;
}

namespace boardsim {

using SerialPattern = std::shared_ptr<const re2::RE2>;

// `source` compiled; throws std::invalid_argument with RE2's reason when
// it is no regular expression RE2 takes.
SerialPattern compilePattern(const std::string& source);

class SerialMatcher {
public:
    // `pattern`: none for plain text. `text` must outlive the matcher.
    SerialMatcher(const std::string& text, SerialPattern pattern) : text_(text), pattern_(std::move(pattern)) {}

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
    SerialPattern pattern_;
    size_t checked_ = 0;  // no match starts before here
    std::string partial_;  // a partial line's last bytes, as searched
};

// Whether `pattern` matches where nothing has arrived yet (such as "a*"):
// such a wait would end at once.
bool matchesNothing(const re2::RE2& pattern);

}  // namespace boardsim
