// Finding a wait's text in a UART's output as it arrives, byte by byte.
#include <gtest/gtest.h>

#include "frontends/scenario/serial_match.h"

#include <re2/re2.h>


using namespace boardsim;

namespace {

// Feeds `sent` a byte at a time; the match's end and the bytes it needed.
std::optional<SerialMatcher::Match> arriving(const std::string& text, const SerialPattern& pattern,
                                             const std::string& sent, size_t from = 0)
{
    SerialMatcher matcher(text, pattern);
    std::string received;
    for (const char c : sent) {
        received += c;
        if (received.size() > from) {
            if (const auto match = matcher.find(received, from)) {
                return match;
            }
        }
    }
    return std::nullopt;
}

}  // namespace

TEST(SerialMatch, PlainTextMatchesAnywhereOnceItsLastByteIsIn)
{
    const auto match = arriving("UART pro\nT", nullptr, "Hello my first UART pro\nTemp");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->end, 25u);
    EXPECT_EQ(match->seen, 25u);
    EXPECT_EQ(arriving("Hello", nullptr, "Hello, Hello", 1)->end, 12u);  // not before `from`
}

TEST(SerialMatch, APatternMatchesWithinALineAndItsEndWaitsForTheLineFeed)
{
    const SerialPattern whole = compilePattern("^T=[0-9]+$");
    // "T=2" is no match while "T=25" may still be arriving.
    const auto match = arriving("", whole, "boot\nT=25\nT=3");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->end, 9u);
    EXPECT_EQ(match->seen, 10u);  // the line feed told
    // ^ is a line's start, not where the last match ended.
    EXPECT_FALSE(arriving("", compilePattern("^b"), "ab\n", 1));
    EXPECT_TRUE(arriving("", compilePattern("^b"), "a\nb", 1));
    // Within a line: a pattern does not reach across a line feed.
    EXPECT_FALSE(arriving("", compilePattern("a.b"), "a\nb\n"));
    // Without $, a partial line matches as soon as it can.
    const auto early = arriving("", compilePattern("[0-9]{2}"), "T=25");
    ASSERT_TRUE(early);
    EXPECT_EQ(early->seen, 4u);
}

TEST(SerialMatch, ALineThatNeverEndsStillMatchesInItsLatestBytes)
{
    const SerialPattern pattern = compilePattern("ready");
    std::string sent(20'000, 'x');
    sent += "ready";
    const auto match = arriving("", pattern, sent);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->end, sent.size());
    // The whole line once its line feed is in: a match longer than what a
    // partial line is searched over.
    const SerialPattern longLine = compilePattern("a[a-z]{300}b$");
    const auto whole = arriving("", longLine, "a" + std::string(300, 'q') + "b\n");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->end, 302u);
}

TEST(SerialMatch, PatternsThatMatchWhereNothingArrivedAreTold)
{
    EXPECT_TRUE(matchesNothing(*compilePattern("a*")));
    EXPECT_TRUE(matchesNothing(*compilePattern("^")));
    EXPECT_FALSE(matchesNothing(*compilePattern("^$")));  // an empty line, once its line feed is in
    EXPECT_FALSE(matchesNothing(*compilePattern("a+")));
}

// Patterns a backtracking engine takes exponential time or stack over (a
// stack overflow on the long line, a hang on the greeting): each is a
// plain search here.
TEST(SerialMatch, PatternsThatBacktrackElsewhereMatchInLinearTime)
{
    const std::string longLine = std::string(200'000, 'a') + "b\n";
    SerialMatcher alternation("", compilePattern("^(a|b)*$"));
    const auto match = alternation.find(longLine, 0);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->end, longLine.size() - 1);

    SerialMatcher nested("", compilePattern("^(.*?)*X$"));
    std::string greeting;
    for (const char c : std::string("Hello my first UART pro\r\n")) {
        greeting += c;
        EXPECT_FALSE(nested.find(greeting, 0));
    }

    EXPECT_THROW(compilePattern("(a)\\1"), std::invalid_argument);  // no back-references
}
