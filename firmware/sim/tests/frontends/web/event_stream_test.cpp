#include <gtest/gtest.h>

#include <thread>

#include "frontends/web/event_stream.h"

namespace boardsim {
namespace {

using std::chrono::milliseconds;

TEST(EventStream, AJoiningReaderGetsThePresentThenEachChangeInOrder)
{
    EventStream stream;
    stream.publish("state", "{\"t\":1}", "{\"t\":1}");
    stream.publish("state", "{\"t\":2}", "{\"t\":2}");
    stream.publish("uart0", "[66]", "[65,66]");
    stream.publish("pins", "[1]", "");
    EventStream::Cursor reader;
    const std::string present = stream.next(reader, milliseconds(0));
    EXPECT_EQ(present, "event: state\ndata: {\"t\":2}\n\nevent: uart0\ndata: [65,66]\n\n");
    EXPECT_EQ(stream.latest("uart0"), "[65,66]");
    EXPECT_EQ(stream.latest("pins"), "");
    stream.publish("pins", "[2]", "");
    stream.publish("uart0", "[67]", "[65,66,67]");
    EXPECT_EQ(stream.next(reader, milliseconds(0)), "event: pins\ndata: [2]\n\nevent: uart0\ndata: [67]\n\n");
    EXPECT_EQ(stream.next(reader, milliseconds(1)), "");
}

TEST(EventStream, AReaderLeftBehindByTheHistoryStartsAgainFromThePresent)
{
    EventStream stream(64);
    EventStream::Cursor reader;
    stream.next(reader, milliseconds(0));
    for (int i = 0; i < 10; ++i) {
        stream.publish("state", std::to_string(i), std::to_string(i));
    }
    EXPECT_EQ(stream.next(reader, milliseconds(0)), "event: state\ndata: 9\n\n");
}

TEST(EventStream, EndingWakesAWaitingReader)
{
    EventStream stream;
    EventStream::Cursor reader;
    stream.next(reader, milliseconds(0));
    std::thread ender([&] {
        std::this_thread::sleep_for(milliseconds(50));
        stream.end();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stream.next(reader, milliseconds(10000)), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(5000));
    EXPECT_TRUE(stream.ended());
    ender.join();
}

}  // namespace
}  // namespace boardsim
