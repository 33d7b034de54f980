#include <gtest/gtest.h>

#include "frontends/cli/options.h"
#include "frontends/web/web_address.h"

namespace boardsim {
namespace {

TEST(WebAddress, TakesAPortAloneOrWithAnAddress)
{
    const WebAddress plain = parseWebAddress("8080");
    EXPECT_EQ(plain.host, "127.0.0.1");
    EXPECT_EQ(plain.port, 8080);
    EXPECT_TRUE(plain.loopback());
    const WebAddress any = parseWebAddress("0.0.0.0:80");
    EXPECT_EQ(any.host, "0.0.0.0");
    EXPECT_FALSE(any.loopback());
    const WebAddress six = parseWebAddress("[::1]:9000");
    EXPECT_EQ(six.host, "::1");
    EXPECT_TRUE(six.loopback());
    EXPECT_EQ(six.hostPort(9000), "[::1]:9000");
    EXPECT_TRUE(parseWebAddress("localhost:1").loopback());
}

TEST(WebAddress, RefusesWhatNamesNoPlaceToListen)
{
    for (const char* bad : {"", "http", "65536", "host:", ":80", "::1:80", "a/b:80", "80a", "-1"}) {
        EXPECT_THROW(parseWebAddress(bad), std::invalid_argument) << bad;
    }
}

TEST(WebAddress, GoesWithTheOptionsOfAPacedBoardOnly)
{
    const Options options = parseOptions({"fw.elf", "--web", "8080", "--speed", "2", "--uart-loopback"});
    ASSERT_TRUE(options.web.has_value());
    EXPECT_EQ(options.web->port, 8080);
    EXPECT_DOUBLE_EQ(options.speed, 2);
    for (const char* other : {"--screen", "--report"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--web", "8080", other}), UsageError) << other;
    }
    EXPECT_THROW(parseOptions({"fw.elf", "--web", "8080", "--run", "1s"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--web", "nowhere"}), UsageError);
}

}  // namespace
}  // namespace boardsim
