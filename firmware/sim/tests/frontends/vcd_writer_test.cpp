// The VCD as it is written: the header a viewer needs, values only where
// they change, one timestamp for what changes together, the end of the
// trace marked; nothing at the target until the trace is finished, and a
// failed write reported at the finish rather than in the middle of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "frontends/trace/pin_trace.h"
#include "frontends/trace/vcd_writer.h"
#include "support/scratch_dir.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

TEST(VcdWriter, HeaderStartValuesThenOnlyChangesUnderTheirTimes)
{
    const ScratchDir dir;
    const std::string path = dir.file("t.vcd");
    // P0_0 also under the board's name, a variable of its own that changes with it.
    VcdWriter vcd(path, {{"P0_0", "P0_0: TxD0", "TXD0"}, {"P0_4", "", ""}}, "test");
    vcd.start({true, false}, 0);
    vcd.change(0, false, 1000);
    vcd.change(1, true, 1000);   // the same moment: one timestamp
    vcd.change(1, true, 1500);   // no change: nothing
    vcd.change(0, true, 9680);
    EXPECT_FALSE(std::filesystem::exists(path)) << "nothing in place before the end";
    vcd.finish(20000);
    EXPECT_EQ(vcd.changes(), 3u);
    EXPECT_EQ(slurp(path),
              "$version test $end\n"
              "$comment P0_0: TxD0 $end\n"
              "$timescale 1ns $end\n"
              "$scope module port0 $end\n"
              "$var wire 1 ! P0_0 $end\n"
              "$var wire 1 \" P0_4 $end\n"
              "$upscope $end\n"
              "$scope module board $end\n"
              "$var wire 1 # TXD0 $end\n"
              "$upscope $end\n"
              "$enddefinitions $end\n"
              "#0\n$dumpvars\n1!\n1#\n0\"\n$end\n"
              "#1000\n0!\n0#\n1\"\n"
              "#9680\n1!\n1#\n"
              "#20000\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              1);
}

TEST(VcdWriter, RealVariablesInAScopeOfTheirOwnWithTheirValuesWhereTheyChange)
{
    const ScratchDir dir;
    const std::string path = dir.file("t.vcd");
    VcdWriter vcd(path, {{"P0_4", "", ""}, {"DAC_B", "DAC_B: volts", "", true}}, "test");
    vcd.start({false, true}, 0);  // a real starts at 0 whatever it is given
    vcd.changeReal(1, 0.5, 100);
    vcd.change(0, true, 100);
    vcd.changeReal(1, 0.5, 150);         // no change: nothing
    vcd.change(1, false, 160);           // a real takes no level
    vcd.changeReal(0, 1.0, 170);         // nor a wire a value
    vcd.changeReal(1, 0.998046875, 200);
    vcd.finish(300);
    EXPECT_EQ(vcd.changes(), 3u);
    EXPECT_EQ(slurp(path),
              "$version test $end\n"
              "$comment DAC_B: volts $end\n"
              "$timescale 1ns $end\n"
              "$scope module port0 $end\n"
              "$var wire 1 ! P0_4 $end\n"
              "$upscope $end\n"
              "$scope module dac $end\n"
              "$var real 64 \" DAC_B $end\n"
              "$upscope $end\n"
              "$enddefinitions $end\n"
              "#0\n$dumpvars\n0!\nr0 \"\n$end\n"
              "#100\nr0.5 \"\n1!\n"
              "#200\nr0.998046875 \"\n"
              "#300\n");
}

TEST(VcdWriter, AWriteThatFailsIsReportedAtTheFinishAndAnUnfinishedTraceLeavesTheTargetAlone)
{
    {
        VcdWriter full("/dev/full", {{"P0_0", "", ""}}, "test");
        full.start({true}, 0);
        for (uint64_t t = 1; t < 100'000; ++t) {
            full.change(0, t % 2 == 0, t);  // never throws, also once the device is full
        }
        EXPECT_TRUE(full.failed());
        EXPECT_TRUE(contains(full.error(), "No space left on device")) << full.error();
        try {
            full.finish(100'000);
            ADD_FAILURE() << "a trace whose writes failed was finished";
        } catch (const OutputError& e) {
            EXPECT_TRUE(contains(e.what(), "No space left on device")) << e.what();
        }
    }
    const ScratchDir dir;
    const std::string path = dir.file("t.vcd");
    std::ofstream(path) << "yesterday's trace\n";
    {
        VcdWriter vcd(path, {{"P0_0", "", ""}}, "test");
        vcd.start({true}, 0);
        vcd.change(0, false, 10);
    }
    EXPECT_EQ(slurp(path), "yesterday's trace\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              1);
}

TEST(PinTrace, EachPinsCommentNamesItsFunctionsAndWhatTheBoardWiresToIt)
{
    EXPECT_EQ(pinComment(0), "P0_0: PINSEL 00 GPIO P0.0, PINSEL 01 TxD0, PINSEL 10 PWM1; on the board: UART0's TxD "
                             "to the host's terminal");
    EXPECT_TRUE(contains(pinComment(4), "PINSEL 01 SCK0")) << pinComment(4);
    EXPECT_TRUE(contains(pinComment(4), "LCD SCLK")) << pinComment(4);
    EXPECT_TRUE(contains(pinComment(16), "PINSEL 01 EINT0")) << pinComment(16);
    EXPECT_TRUE(contains(pinComment(16), "KEY_1")) << pinComment(16);
    EXPECT_TRUE(contains(pinComment(20), "LCD D/C")) << pinComment(20);
    EXPECT_TRUE(contains(pinComment(31), "LED")) << pinComment(31);
    EXPECT_TRUE(contains(pinComment(2), "free on the board")) << pinComment(2);
}
