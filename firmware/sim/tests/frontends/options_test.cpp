// The command line.
#include <gtest/gtest.h>

#include "frontends/cli/options.h"

using namespace boardsim;

TEST(Options, PressesWithAndWithoutHold)
{
    const Options o = parseOptions({"fw.elf", "--press", "1@2000000", "--press", "4@3M:500"});
    ASSERT_EQ(o.presses.size(), 2u);
    EXPECT_EQ(o.presses[0].key, 1);
    EXPECT_EQ(o.presses[0].at.count, 2'000'000u);
    EXPECT_TRUE(o.presses[0].hold.isTime);  // 80 ms, as at the live screen
    EXPECT_DOUBLE_EQ(o.presses[0].hold.seconds, 0.080);
    EXPECT_EQ(o.presses[1].key, 4);
    EXPECT_EQ(o.presses[1].at.count, 3'000'000u);
    EXPECT_EQ(o.presses[1].hold.count, 500u);
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "5@10"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "1@10:0"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "1"}), UsageError);
}

TEST(Options, PicturesAtTheEndOrAtMoments)
{
    const Options o = parseOptions({"fw.elf", "--lcd", "end.png", "--lcd-at", "1M:early.png"});
    ASSERT_EQ(o.shots.size(), 2u);
    EXPECT_FALSE(o.shots[0].at);
    EXPECT_EQ(o.shots[0].path, "end.png");
    EXPECT_EQ(o.shots[1].at->count, 1'000'000u);
    EXPECT_EQ(o.shots[1].path, "early.png");
}

TEST(Options, PeriodsLiftTheDefaultInstructionBoundButNotAGivenOne)
{
    EXPECT_EQ(parseOptions({"fw.elf"}).run.count, kDefaultRun);
    EXPECT_EQ(parseOptions({"fw.elf", "--periods", "3"}).run.count, kPeriodRunCap);
    EXPECT_EQ(parseOptions({"fw.elf", "--periods", "3", "--run", "2M"}).run.count, 2'000'000u);
}

TEST(Options, Mistakes)
{
    EXPECT_THROW(parseOptions({}), UsageError);
    EXPECT_THROW(parseOptions({"a.elf", "b.elf"}), UsageError);
    EXPECT_THROW(parseOptions({"a.elf", "--frobnicate"}), UsageError);
    EXPECT_THROW(parseOptions({"a.elf", "--run"}), UsageError);
    EXPECT_NO_THROW(parseOptions({"--help"}));
}

TEST(Options, AKeyMustBeUpBeforeItGoesDownAgain)
{
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "3@1M:1M", "--press", "3@1500k:1"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "3@2M:1", "--press", "3@1M:1M"}), UsageError);  // in any order
    EXPECT_THROW(parseOptions({"fw.elf", "--press", "3@1M:500", "--press", "3@1000500:1"}), UsageError);
    EXPECT_NO_THROW(parseOptions({"fw.elf", "--press", "3@1M:500", "--press", "3@1000501:1"}));
    EXPECT_NO_THROW(parseOptions({"fw.elf", "--press", "3@1M:1M", "--press", "2@1500k:1"}));  // other keys overlap freely
}

TEST(Options, GdbPortAndWhatDoesNotGoWithIt)
{
    EXPECT_EQ(*parseOptions({"fw.elf", "--gdb", "3333"}).gdbPort, 3333);
    EXPECT_EQ(*parseOptions({"fw.elf", "--gdb", "0", "--press", "3@1M"}).gdbPort, 0);
    EXPECT_FALSE(parseOptions({"fw.elf"}).gdbPort);
    for (const char* port : {"", "x", "-1", "65536", "123456", "3333x"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--gdb", port}), UsageError) << port;
    }
    EXPECT_THROW(parseOptions({"fw.elf", "--gdb", "1", "--run", "5M"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--gdb", "1", "--lcd", "a.png"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--gdb", "1", "--report"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--gdb", "1", "--isp", "/tmp/link"}), UsageError);
    EXPECT_THROW(parseOptions({"--gdb", "1"}), UsageError);  // gdb needs an image
}

TEST(Options, MomentsAreCountsOrTimesAndABadOneIsAUsageError)
{
    for (const char* bad : {"ms", "-1ms", "2 s", "1e3s", "2min", ".5s", "5m", ""}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--run", bad}), UsageError) << bad;
    }
    const Options o = parseOptions({"fw.elf", "--run", "2s", "--press", "3@250ms:80ms", "--baud", "28800",
                                    "--bounce", "0", "--lcd-at", "1ms:a.png"});
    EXPECT_TRUE(o.run.isTime);
    EXPECT_DOUBLE_EQ(o.presses[0].at.seconds, 0.25);
    EXPECT_DOUBLE_EQ(o.presses[0].hold.seconds, 0.08);
    EXPECT_DOUBLE_EQ(o.baud, 28800);
    EXPECT_DOUBLE_EQ(o.bounce, 0);
    EXPECT_THROW(parseOptions({"fw.elf", "--baud", "7"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--bounce", "5"}), UsageError);  // a count is no bounce time
    EXPECT_THROW(parseOptions({"fw.elf", "--json"}), UsageError);
}

TEST(Options, TheLiveRunsOptions)
{
    const Options o = parseOptions({"fw.elf", "--screen", "--speed", "0.5", "--uart-pty", "tty0", "--lcd-movie", "m.gif"});
    EXPECT_TRUE(o.screen);
    EXPECT_TRUE(o.quiet);  // the screen owns the terminal
    EXPECT_DOUBLE_EQ(o.speed, 0.5);
    EXPECT_EQ(o.uartPty, "tty0");
    EXPECT_EQ(o.lcdMovie, "m.gif");
    EXPECT_FALSE(parseOptions({"fw.elf", "--uart-pty", "tty0"}).quiet);
    for (const char* bad : {"0", "-1", "1e3", "x", "", "2x", "1001"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--speed", bad}), UsageError) << bad;
    }
    EXPECT_DOUBLE_EQ(parseOptions({"fw.elf", "--speed", "1000"}).speed, 1000);
    EXPECT_THROW(parseOptions({"fw.elf", "--uart-pty", ""}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--lcd-movie", ""}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--report", "--screen"}), UsageError);
    // --report writes no file: one asked for is refused by name, not dropped.
    for (const std::vector<std::string>& files : std::vector<std::vector<std::string>>{
             {"--lcd", "x.png"}, {"--lcd-at", "1M:x.png"}, {"--save-flash", "f.bin"}}) {
        std::vector<std::string> args = {"fw.elf", "--report"};
        args.insert(args.end(), files.begin(), files.end());
        try {
            parseOptions(args);
            ADD_FAILURE() << files[0] << " was taken with --report";
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(files[0]), std::string::npos) << e.what();
        }
    }
}

TEST(Options, APinTraceOfAllPinsOrOfTheOnesNamed)
{
    const Options all = parseOptions({"fw.elf", "--vcd", "pins.vcd"});
    EXPECT_EQ(all.vcd, "pins.vcd");
    EXPECT_EQ(all.vcdPins, 0xFFFFFFFFu);
    const Options some = parseOptions({"fw.elf", "--vcd", "pins.vcd", "--vcd-pins", "P0_0,P0.4,P0_31"});
    EXPECT_EQ(some.vcdPins, (1u << 0) | (1u << 4) | (1u << 31));
    // By the board's names, as scenarios name them.
    const Options named = parseOptions({"fw.elf", "--vcd", "pins.vcd", "--vcd-pins", "LED,TXD0,key_1,LCD_SCE"});
    EXPECT_EQ(named.vcdPins, (1u << 31) | (1u << 0) | (1u << 16) | (1u << 21));
    EXPECT_EQ(parseOptions({"fw.elf", "--trace-pins", "LED", "--trace-pins", "P0.4"}).tracePins, (1u << 31) | (1u << 4));
    EXPECT_NO_THROW(parseOptions({"fw.elf", "--gdb", "0", "--vcd", "pins.vcd"}));
    for (const char* bad : {"P0_32", "P1_0", "P0_", "P0_4,", "P0_x", "4", "P0_123", "LED2", "P0_04"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--vcd", "pins.vcd", "--vcd-pins", bad}), UsageError) << bad;
    }
    EXPECT_THROW(parseOptions({"fw.elf", "--vcd-pins", "P0_0"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--vcd", ""}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--report", "--vcd", "pins.vcd"}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--report", "--trace-pins", "LED"}), UsageError);
    // The DAC's outputs are in unless --vcd-pins leaves them out.
    EXPECT_TRUE(all.vcdDac);
    EXPECT_FALSE(some.vcdDac);
    const Options dac = parseOptions({"fw.elf", "--vcd", "pins.vcd", "--vcd-pins", "P0_4,DAC_B,P0_23"});
    EXPECT_TRUE(dac.vcdDac);
    EXPECT_EQ(dac.vcdPins, (1u << 4) | (1u << 23));
    EXPECT_THROW(parseOptions({"fw.elf", "--vcd", "pins.vcd", "--vcd-pins", "DAC_C"}), UsageError);
}

TEST(Options, TheDacsOutputsAsAWavFileAtARateOfWholeHertz)
{
    const Options plain = parseOptions({"fw.elf", "--dac-out", "out.wav"});
    EXPECT_EQ(plain.dacOut, "out.wav");
    EXPECT_EQ(plain.dacRate, 1'000'000u);
    EXPECT_EQ(parseOptions({"fw.elf", "--dac-out", "out.wav", "--dac-rate", "192k"}).dacRate, 192'000u);
    for (const char* bad : {"999", "101M", "1.5k", "fast", "0"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--dac-out", "out.wav", "--dac-rate", bad}), UsageError) << bad;
    }
    EXPECT_THROW(parseOptions({"fw.elf", "--dac-rate", "1M"}), UsageError) << "a rate without a file";
    EXPECT_THROW(parseOptions({"fw.elf", "--dac-out", ""}), UsageError);
    EXPECT_THROW(parseOptions({"fw.elf", "--report", "--dac-out", "out.wav"}), UsageError);
    EXPECT_NO_THROW(parseOptions({"fw.elf", "--scenario", "s.yaml", "--dac-out", "out.wav"}));
    EXPECT_NO_THROW(parseOptions({"fw.elf", "--gdb", "0", "--dac-out", "out.wav"}));
}

TEST(Options, EachAnalogueInputItsVoltage)
{
    const Options o = parseOptions({"fw.elf", "--ain", "1=1.65", "--ain", "3=3.3", "--ain", "1=0.5"});
    EXPECT_DOUBLE_EQ(o.ain[0], 0.0);
    EXPECT_DOUBLE_EQ(o.ain[1], 0.5);  // the last one given
    EXPECT_DOUBLE_EQ(o.ain[3], 3.3);
    for (const char* bad : {"4=1", "1=3.4", "1=-1", "1", "=1", "1=", "1=1V", "12=1"}) {
        EXPECT_THROW(parseOptions({"fw.elf", "--ain", bad}), UsageError) << bad;
    }
}
