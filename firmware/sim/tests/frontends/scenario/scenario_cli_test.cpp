// boardsim --scenario as CI runs it: exit status, several scenarios on
// fresh boards, the JUnit report read back by a real XML parser (xmllint),
// the pictures of a mismatch beside it, the LCD movie during a scenario.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <memory>

#include "frontends/cli/options.h"
#include "frontends/scenario/scenario_cli.h"
#include "support/child_process.h"
#include "support/logic_analyzer.h"
#include "support/scenario_text.h"

#ifdef BOARDSIM_HAVE_GIF
#include <gif_lib.h>
#endif

using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::ScratchDir;
using boardsim::testing::writeScenario;

namespace {

CommandResult runBoardsim(std::vector<std::string> args)
{
    args.insert(args.begin(), {BOARDSIM_EXE, FIRMWARE_ELF});
    return boardsim::testing::runCommand(args);
}

// The greeting is over 2.6 ms after reset, once: only a fresh board passes.
const char* const kGreets = "name: Greets\nsteps:\n  - wait-serial: {text: \"pro\\n\", timeout: 3ms}\n";
const char* const kFails = "name: Wrong LED\nsteps:\n  - delay: 5ms\n  - expect-pin: {pin: LED, value: 0}\n"
                           "  - delay: 5ms\n";
const char* const kUnreadable = "steps:\n  - delay: 5ms\n  - presss: 3\n";

// What xmllint's XPath gives for `expression` on `file`.
std::string xpath(const std::string& xmllint, const std::string& file, const std::string& expression)
{
    const CommandResult r = boardsim::testing::runCommand({xmllint, "--xpath", expression, file});
    EXPECT_EQ(r.status, 0) << expression << ": " << r.err;
    std::string out = r.out;
    if (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

}  // namespace

TEST(ScenarioCli, OptionsCollectScenariosAndRefuseWhatASingleRunTakes)
{
    const boardsim::Options o =
        boardsim::parseOptions({"fw.elf", "--scenario", "a.yaml", "--scenario", "b/a.yaml", "--junit", "r.xml",
                                "--bounce", "0", "--lcd-movie", "m.gif", "--quiet"});
    EXPECT_EQ(o.scenarios, (std::vector<std::string>{"a.yaml", "b/a.yaml"}));
    EXPECT_EQ(o.junit, "r.xml");
    const std::vector<std::pair<std::string, std::string>> singleRun = {
        {"--run", "1s"}, {"--press", "1@1ms"}, {"--lcd", "x.png"}, {"--lcd-at", "1ms:x.png"},
        {"--watch", "DelayMs"}, {"--gdb", "0"}, {"--save-flash", "f.bin"}};
    for (const auto& [option, value] : singleRun) {
        try {
            boardsim::parseOptions({"fw.elf", "--scenario", "a.yaml", option, value});
            ADD_FAILURE() << option << " taken with --scenario";
        } catch (const boardsim::UsageError& e) {
            EXPECT_TRUE(contains(e.what(), "--scenario runs its steps on its own boards")) << e.what();
        }
    }
    EXPECT_THROW(boardsim::parseOptions({"fw.elf", "--junit", "r.xml"}), boardsim::UsageError);

    // An output a run writes once goes to one file per scenario, named after it.
    EXPECT_EQ(boardsim::perScenarioPaths("out/m.gif", {"a.yaml"}), (std::vector<std::string>{"out/m.gif"}));
    EXPECT_EQ(boardsim::perScenarioPaths("out/m.gif", {"x/a.yaml", "b.yaml", "y/a.yaml"}),
              (std::vector<std::string>{"out/m-a.gif", "out/m-b.gif", "out/m-a-2.gif"}));
}

TEST(ScenarioCli, StatusIsZeroWhenAllPassOneWhenAStepFailsTwoWhenAScenarioCannotBeRead)
{
    const ScratchDir dir;
    const CommandResult pass = runBoardsim({"--scenario", writeScenario(dir, kGreets, "greets.yaml")});
    EXPECT_EQ(pass.status, 0) << pass.err;
    EXPECT_TRUE(contains(pass.out, "scenario " + dir.file("greets.yaml") + ": Greets\n")) << pass.out;
    EXPECT_TRUE(contains(pass.out, "       2.537 ms  ok     1  wait-serial \"pro\\n\" within 3ms\n")) << pass.out;
    EXPECT_TRUE(contains(pass.out, "passed: 1 step, 0.003 s of simulated time\n")) << pass.out;
    EXPECT_EQ(pass.err, "");

    const CommandResult fail = runBoardsim({"--scenario", writeScenario(dir, kFails, "fails.yaml")});
    EXPECT_EQ(fail.status, 1) << fail.err;
    EXPECT_TRUE(contains(fail.out, "       5.000 ms  FAIL   2  expect-pin P0.31 (LED) = 0\n"
                                   "                           step 2 (expect-pin, line 4): P0.31 (LED) is 1, "
                                   "expected 0\nFAILED at step 2 of 3, 0.005 s of simulated time\n"))
        << fail.out;

    const CommandResult unreadable = runBoardsim({"--scenario", writeScenario(dir, kUnreadable, "bad.yaml")});
    EXPECT_EQ(unreadable.status, 2);
    EXPECT_TRUE(contains(unreadable.err, "boardsim: " + dir.file("bad.yaml") + ":3:5: unknown step \"presss\""))
        << unreadable.err;
    EXPECT_EQ(unreadable.out, "");

    const CommandResult quiet = runBoardsim({"--scenario", dir.file("greets.yaml"), "--scenario", dir.file("fails.yaml"),
                                          "--quiet"});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_FALSE(contains(quiet.out, "Greets")) << quiet.out;
    EXPECT_FALSE(contains(quiet.out, " ok ")) << quiet.out;
    EXPECT_TRUE(contains(quiet.out, "scenario " + dir.file("fails.yaml") + ": Wrong LED\n       5.000 ms  FAIL"))
        << quiet.out;

    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--junit", dir.file("r.xml")},
          std::vector<std::string>{"--scenario", dir.file("greets.yaml"), "--run", "1s"},
          std::vector<std::string>{"--scenario", dir.file("greets.yaml"), "--press", "1@1ms"},
          std::vector<std::string>{"--scenario"}}) {
        const CommandResult usage = runBoardsim(wrong);
        EXPECT_EQ(usage.status, 2) << wrong[0];
        EXPECT_TRUE(contains(usage.err, "usage: boardsim")) << usage.err;
    }
}

TEST(ScenarioCli, SeveralScenariosRunOneAfterAnotherEachOnAFreshBoard)
{
    const ScratchDir dir;
    const std::string greets = writeScenario(dir, kGreets, "greets.yaml");
    const CommandResult r = runBoardsim({"--scenario", greets, "--scenario", greets});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    size_t runs = 0;
    for (size_t at = r.out.find("2.537 ms  ok"); at != std::string::npos; at = r.out.find("2.537 ms  ok", at + 1)) {
        ++runs;
    }
    EXPECT_EQ(runs, 2u) << r.out;
    EXPECT_TRUE(contains(r.out, "scenarios: 2 passed, 0 failed\n")) << r.out;

    // One that cannot be read leaves the others to run.
    const CommandResult mixed = runBoardsim(
        {"--scenario", greets, "--scenario", writeScenario(dir, kUnreadable, "bad.yaml"), "--scenario", greets});
    EXPECT_EQ(mixed.status, 2);
    EXPECT_TRUE(contains(mixed.out, "scenarios: 2 passed, 0 failed, 1 could not be read\n")) << mixed.out;
}

TEST(ScenarioCli, TheJUnitReportIsReadByAnXmlParserWithThePicturesOfAMismatchBesideIt)
{
    REQUIRE_PROGRAM(xmllint, "xmllint");
    const ScratchDir dir;
    std::filesystem::copy_file(SCENARIO_DIR "/menu-author.png", dir.file("author.png"));
    const std::string picture = writeScenario(
        dir, "name: Marker\nsteps:\n  - delay: 100ms\n  - expect-lcd: author.png\n", "marker.yaml");
    std::filesystem::create_directory(dir.path() / "reports");
    const std::string report = dir.file("reports/junit.xml");
    const CommandResult r = runBoardsim({"--scenario", writeScenario(dir, kGreets, "greets.yaml"), "--scenario",
                                      writeScenario(dir, kFails, "fails.yaml"), "--scenario",
                                      writeScenario(dir, kUnreadable, "bad.yaml"), "--scenario", picture, "--junit",
                                      report});
    EXPECT_EQ(r.status, 2) << r.err;

    const CommandResult wellFormed = boardsim::testing::runCommand({xmllint, "--noout", report});
    ASSERT_EQ(wellFormed.status, 0) << wellFormed.err;
    EXPECT_EQ(xpath(xmllint, report, "count(/testsuites/testsuite/testcase)"), "4");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/testsuite/@tests)"), "4");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/testsuite/@failures)"), "2");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/testsuite/@errors)"), "1");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/testsuite/@name)"), "firmware.elf");

    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/@name)"), "Greets");
    EXPECT_EQ(xpath(xmllint, report, "count(//testcase[1]/*[self::failure or self::error])"), "0");
    EXPECT_TRUE(contains(xpath(xmllint, report, "string(//testcase[1]/system-out)"), "ok     1  wait-serial"));

    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[2]/@classname)"), "fails");
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[2]/failure/@message)"),
              "step 2 (expect-pin, line 4): P0.31 (LED) is 1, expected 0");

    EXPECT_TRUE(contains(xpath(xmllint, report, "string(//testcase[3]/error/@message)"),
                         "bad.yaml:3:5: unknown step \"presss\""));

    const std::string mismatch = xpath(xmllint, report, "string(//testcase[4]/failure/@message)");
    EXPECT_TRUE(contains(mismatch, "step 2 (expect-lcd, line 4): the LCD differs from author.png in ")) << mismatch;
    EXPECT_TRUE(contains(mismatch, dir.file("reports/marker-step2-actual.png"))) << mismatch;
    EXPECT_TRUE(std::filesystem::exists(dir.file("reports/marker-step2-actual.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("reports/marker-step2-diff.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("marker-step2-actual.png")));
}

TEST(ScenarioCli, TheLcdMovieIsRecordedDuringEachScenario)
{
#ifndef BOARDSIM_HAVE_GIF
    GTEST_SKIP() << "built without giflib";
#else
    const ScratchDir dir;
    const std::string menu = writeScenario(
        dir, "steps:\n  - delay: 100ms\n  - press: 2\n  - delay: 50ms\n  - press: 3\n  - delay: 100ms\n", "menu.yaml");
    const std::string version = writeScenario(
        dir, "steps:\n  - delay: 100ms\n  - press: 3\n  - delay: 100ms\n  - expect-lcd: blank\n", "version.yaml");
    const CommandResult r =
        runBoardsim({"--scenario", menu, "--scenario", version, "--lcd-movie", dir.file("lcd.gif"), "--quiet"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("lcd.gif")));

    // The glass before the controller is set up, the menu, then the marker
    // moved to "Author" (and nothing more: "Author" changes nothing); the
    // menu, then "Version"'s blank screen.
    const auto frames = [](const std::string& path) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
        if (gif == nullptr) {
            ADD_FAILURE() << path << ": " << GifErrorString(error);
            return -1;
        }
        const std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(
            gif, [](GifFileType* g) { DGifCloseFile(g, nullptr); });
        EXPECT_EQ(DGifSlurp(gif), GIF_OK);
        return gif->ImageCount;
    };
    EXPECT_EQ(frames(dir.file("lcd-menu.gif")), 3);
    EXPECT_EQ(frames(dir.file("lcd-version.gif")), 3);

    const CommandResult one = runBoardsim({"--scenario", version, "--lcd-movie", dir.file("one.gif"), "--quiet"});
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(frames(dir.file("one.gif")), 3);
#endif
}

// A pin trace for each scenario, on its own board's time axis, whole when
// the scenario ends, also when one of its steps failed.
TEST(ScenarioCli, APinTraceIsRecordedDuringEachScenario)
{
    REQUIRE_PROGRAM(sigrok, "sigrok-cli");
    const ScratchDir dir;
    const std::string greets = writeScenario(dir, kGreets, "greets.yaml");
    const std::string fails = writeScenario(dir, kFails, "fails.yaml");
    const CommandResult r = runBoardsim({"--scenario", greets, "--scenario", fails, "--vcd", dir.file("pins.vcd"),
                                         "--vcd-pins", "P0_0,P0_31", "--quiet"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;  // the second scenario's step fails
    EXPECT_FALSE(std::filesystem::exists(dir.file("pins.vcd")));
    for (const char* trace : {"pins-greets.vcd", "pins-fails.vcd"}) {
        const std::string text = boardsim::testing::slurp(dir.file(trace));
        EXPECT_TRUE(contains(text, "$var wire 1 \" P0_31 $end")) << trace;
        const auto bytes = boardsim::testing::decodeVcd(sigrok, dir.file(trace), "uart:tx=P0_0:format=ascii", "tx-data");
        EXPECT_EQ(boardsim::testing::joined(bytes), "Hello my first UART pro[0A]") << trace;
    }
    // Each ends where its scenario did: the greeting's wait at 2.54 ms, the
    // failed check after 5 ms.
    const auto lastLine = [&](const char* trace) {
        const std::string text = boardsim::testing::slurp(dir.file(trace));
        const size_t start = text.rfind('\n', text.size() - 2);
        return text.substr(start + 1);
    };
    EXPECT_EQ(lastLine("pins-greets.vcd").substr(0, 4), "#253") << lastLine("pins-greets.vcd");
    EXPECT_EQ(lastLine("pins-fails.vcd").substr(0, 5), "#5000") << lastLine("pins-fails.vcd");
}

// A signal ends a scenario run as it ends a plain one: the scenario running
// fails as interrupted, the rest are not run, and the report, the trace and
// the movie are written whole; boardsim then ends by that signal.
TEST(ScenarioCli, ASignalEndsTheRunWithEveryFileWritten)
{
    const ScratchDir dir;
    const std::string longer =
        writeScenario(dir, "timeout: 100000s\nsteps:\n  - delay: 90000s\n", "longer.yaml");
    const std::string next = writeScenario(dir, kGreets, "next.yaml");
    std::vector<std::string> args = {BOARDSIM_EXE, FIRMWARE_ELF, "--scenario", longer, "--scenario", next,
                                     "--junit", dir.file("report.xml"), "--vcd", dir.file("pins.vcd")};
#ifdef BOARDSIM_HAVE_GIF
    args.insert(args.end(), {"--lcd-movie", dir.file("lcd.gif")});
#endif
    boardsim::testing::Child boardsim(args);
    ASSERT_TRUE(boardsim::testing::waitFor([&] { return contains(boardsim.out(), "scenario "); })) << boardsim.err();
    boardsim.signal(SIGTERM);
    const auto status = boardsim.exitStatus();
    ASSERT_TRUE(status) << "SIGTERM did not end the run";
    EXPECT_EQ(*status, -1) << "not ended by the signal: " << boardsim.err();
    EXPECT_TRUE(contains(boardsim.out(), "the run stopped during the delay: interrupted (SIGTERM)")) << boardsim.out();

    const std::string report = boardsim::testing::slurp(dir.file("report.xml"));
    EXPECT_TRUE(contains(report, "failures=\"1\" errors=\"0\" skipped=\"1\"")) << report;
    EXPECT_TRUE(contains(report, "<skipped message=\"not run: interrupted (SIGTERM)\"/>")) << report;
    const std::string trace = boardsim::testing::slurp(dir.file("pins-longer.vcd"));
    EXPECT_TRUE(contains(trace, "$enddefinitions $end")) << trace.substr(0, 500);
    EXPECT_EQ(trace.back(), '\n');
#ifdef BOARDSIM_HAVE_GIF
    const std::string movie = boardsim::testing::slurp(dir.file("lcd-longer.gif"));
    EXPECT_EQ(movie.substr(0, 6), "GIF89a");
    EXPECT_EQ(movie.back(), ';') << "the movie has no trailer";
#endif
}

// A trace that cannot be written stops the run, and the failure says why,
// not that a time-out ran out.
TEST(ScenarioCli, ATraceThatCannotBeWrittenFailsTheScenarioForWhatHappened)
{
    const ScratchDir dir;
    const std::string waits =
        writeScenario(dir, "timeout: 60s\nsteps:\n  - wait-serial: {text: never sent, timeout: 50s}\n", "waits.yaml");
    const CommandResult r = runBoardsim({"--scenario", waits, "--vcd", "/dev/full", "--junit", dir.file("r.xml")});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_FALSE(contains(r.out, "timeout")) << r.out;
    EXPECT_TRUE(contains(r.out, "cannot write /dev/full: No space left on device")) << r.out;
    EXPECT_TRUE(contains(boardsim::testing::slurp(dir.file("r.xml")), "No space left on device"));
}

// No output of a scenario run may be a file the run reads, or a file
// another output writes: refused before the first scenario starts.
TEST(ScenarioCli, OutputsThatAreInputsOrEachOthersFilesAreRefused)
{
    const ScratchDir dir;
    const std::string image = dir.file("image.elf");
    std::filesystem::copy_file(FIRMWARE_ELF, image);
    const std::string saves = writeScenario(dir, "steps:\n  - save-lcd: shot.png\n", "saves.yaml");
    const auto refused = [&](const std::vector<std::string>& args, const std::string& says) {
        std::vector<std::string> all = {BOARDSIM_EXE, image};
        all.insert(all.end(), args.begin(), args.end());
        const CommandResult r = boardsim::testing::runCommand(all);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_TRUE(contains(r.err, says)) << r.err;
        EXPECT_EQ(r.out, "") << "refused before the run";
    };
    const std::string onImage = writeScenario(dir, "steps:\n  - save-lcd: image.elf\n", "on-image.yaml");
    refused({"--scenario", onImage}, "is the image " + image);
    const std::string onItself = writeScenario(dir, "steps:\n  - save-lcd: on-itself.yaml\n", "on-itself.yaml");
    refused({"--scenario", onItself}, "is the scenario " + onItself);
    refused({"--scenario", saves, "--junit", saves}, "--junit " + saves + " is the scenario");
    refused({"--scenario", saves, "--vcd", dir.file("shot.png")}, "name the same file");
    refused({"--scenario", saves, "--junit", dir.file("shot.png")}, "name the same file");
    EXPECT_FALSE(std::filesystem::exists(dir.file("shot.png")));
    EXPECT_EQ(boardsim::testing::slurp(onItself), "steps:\n  - save-lcd: on-itself.yaml\n");

    // Two scenarios of one stem leave their pictures of a mismatch under
    // names of their own, and per-scenario names never meet.
    std::filesystem::create_directory(dir.file("other"));
    const std::string blank = "steps:\n  - delay: 100ms\n  - expect-lcd: blank\n";
    const std::string first = writeScenario(dir, blank, "menu.yaml");
    const std::string second = writeScenario(dir, blank, "other/menu.yaml");
    const CommandResult both = runBoardsim({"--scenario", first, "--scenario", second, "--junit",
                                            dir.file("reports/r.xml"), "--quiet"});
    EXPECT_EQ(both.status, 1) << both.out << both.err;
    EXPECT_TRUE(std::filesystem::exists(dir.file("reports/menu-step2-actual.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.file("reports/menu-2-step2-actual.png")));
    EXPECT_EQ(boardsim::scenarioLabels({"a.yaml", "x/a.yaml", "a-2.yaml"}),
              (std::vector<std::string>{"a", "a-2", "a-2-2"}));
}
