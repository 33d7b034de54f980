// libFuzzer harness of wait-serial's matcher: the input's first line is a
// pattern (or plain text, when it starts with '='), the rest what a UART
// sends, fed a piece at a time. No crash, hang or sanitizer report; a match
// ends within what has arrived, and plain text is found exactly where a
// search of the whole text finds it.
#include <re2/re2.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "frontends/scenario/serial_match.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t feed = input.find('\n');
    if (feed == std::string::npos) {
        return 0;
    }
    const bool plain = !input.empty() && input[0] == '=';
    const std::string wanted = input.substr(plain ? 1 : 0, feed - (plain ? 1 : 0));
    const std::string sent = input.substr(feed + 1);
    boardsim::SerialPattern pattern;
    if (!plain) {
        try {
            pattern = boardsim::compilePattern(wanted);
        } catch (const std::invalid_argument&) {
            return 0;
        }
        boardsim::matchesNothing(*pattern);
    } else if (wanted.empty()) {
        return 0;
    }
    boardsim::SerialMatcher matcher(wanted, pattern);
    std::string received;
    for (size_t at = 0; at < sent.size();) {
        const size_t piece = std::min<size_t>(sent.size() - at, 1 + size_t(uint8_t(sent[at])) % 7);
        received.append(sent, at, piece);
        at += piece;
        const auto match = matcher.find(received, 0);
        if (!match) {
            continue;
        }
        if (match->end > received.size() || match->seen > received.size() || match->seen < match->end) {
            std::abort();
        }
        if (plain && match->end != received.find(wanted) + wanted.size()) {
            std::abort();
        }
        return 0;
    }
    if (plain && received.find(wanted) != std::string::npos) {
        std::abort();  // there, and not found
    }
    return 0;
}
