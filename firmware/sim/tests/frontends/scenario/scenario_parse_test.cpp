// Reading scenario files: every mistake is told with its line and column
// before a board starts, and what is read is what the steps will do.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "frontends/common/lcd_picture.h"
#include "frontends/scenario/scenario_parse.h"
#include "machine/lcd_geometry.h"
#include "support/scenario_text.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::ScratchDir;

namespace {

ScenarioError refusal(const std::string& yaml)
{
    try {
        parseScenario(yaml, "dir/s.yaml");
    } catch (const ScenarioError& e) {
        return e;
    }
    ADD_FAILURE() << "read without complaint:\n" << yaml;
    return ScenarioError("", 0, 0, "");
}

template <typename T>
const T& actionOf(const Step& step)
{
    return std::get<T>(step.action);
}

}  // namespace

TEST(ScenarioParse, ASyntaxErrorIsToldWithItsLineAndColumn)
{
    const ScenarioError e = refusal("name: x\nsteps:\n  - delay: 300ms\n  - press: {key: 3, for: 80ms\n");
    EXPECT_EQ(e.file, "dir/s.yaml");
    EXPECT_EQ(e.line, 5);  // the flow map is still open where the file ends
    EXPECT_GT(e.column, 0);
    EXPECT_TRUE(contains(e.what(), "dir/s.yaml:5:")) << e.what();
    EXPECT_TRUE(contains(e.message, "not YAML")) << e.message;

    const ScenarioError tab = refusal("steps:\n  - delay: 1ms\n   - delay: 2ms\n");
    EXPECT_EQ(tab.line, 3) << tab.what();
}

TEST(ScenarioParse, AnUnknownStepOrKeyIsToldWhereItIsWithWhatIsKnown)
{
    const ScenarioError kind = refusal("steps:\n  - delay: 1ms\n  - presss: 3\n");
    EXPECT_EQ(kind.line, 3);
    EXPECT_EQ(kind.column, 5);
    EXPECT_TRUE(contains(kind.message, "unknown step \"presss\"")) << kind.message;
    EXPECT_TRUE(contains(kind.message, "press, release, save-lcd")) << kind.message;

    const ScenarioError key = refusal("steps:\n  - expect-pin: {pin: LED, valeu: 0}\n");
    EXPECT_EQ(key.line, 2);
    EXPECT_EQ(key.column, 28);
    EXPECT_TRUE(contains(key.message, "expect-pin takes pin, value; not \"valeu\"")) << key.message;

    const ScenarioError top = refusal("name: x\nstesp:\n  - delay: 1ms\n");
    EXPECT_EQ(top.line, 2);
    EXPECT_TRUE(contains(top.message, "not \"stesp\"")) << top.message;
}

TEST(ScenarioParse, BadValuesAreToldAtTheValue)
{
    struct Case {
        const char* step;  // one step, on line 2 from column 5
        const char* at;    // where in it the complaint points
        const char* says;
    };
    const std::vector<Case> cases = {
        {"delay: 3 parsecs", "3", "not a time"},
        {"delay: 3 min", "3", "not a count"},
        {"delay: -5ms", "-", "not a time"},
        {"wait-serial: {text: x, timeout: 5M}", "5M", "timeout wants a time"},
        {"wait-serial: {text: x, regex: y}", "{", "either text or regex"},
        {"wait-serial: {regex: \"(\"}", "\"(", "not a regular expression"},
        {"wait-serial: {regex: \"a*\"}", "\"a", "matches where nothing has arrived"},
        {"wait-serial: \"\"", "\"", "wants some text"},
        {"wait-serial: {text: x, uart: 2}", "2", "uart wants 0 or 1"},
        {"write-serial: [a, b]", "[", "wants a single value, not a list"},
        {"press: 5", "5", "keys are 1 to 4"},
        {"press: {key: 2, for: 0ms}", "0ms", "must last a while"},
        {"hold: KEY_9", "KEY", "keys are 1 to 4"},
        {"expect-pin: {pin: P1.3, value: 0}", "P1", "no pin \"P1.3\""},
        {"expect-pin: {pin: P0.32, value: 0}", "P0", "port 0's pins are P0.0 to P0.31"},
        {"expect-pin: {pin: LED, value: 2}", "2", "value wants 0 or 1"},
        {"expect-pin: {pin: LED}", "{", "expect-pin wants value"},
        {"expect-pin: LED", "LED", "wants a map"},
        {"wait-pin: {pin: LED, value: 1, timeout: 0ms}", "0ms", "a time above 0"},
        {"expect-blink: {pin: LED, hz: -1}", "-1", "hz wants a number above 0"},
        {"expect-blink: {pin: LED, hz: 50, tolerance: 3}", "3}", "a percentage"},
        {"expect-blink: {pin: LED, hz: 50, duty: 100%}", "100%", "above 0 and below 100"},
        {"expect-blink: {pin: LED, hz: 50, over: 30ms}", "30ms", "less than two periods"},
        {"expect-lcd: missing.png", "missing", "cannot read the picture dir/missing.png"},
        {"save-lcd: /dev/null/x.png", "/", "cannot write /dev/null/x.png"},
        {"delay:", "delay", "delay wants a value"},
        {"delay", "delay", "is not one kind and its value"},
    };
    for (const Case& c : cases) {
        const std::string step = c.step;
        const ScenarioError e = refusal("steps:\n  - " + step + "\n");
        EXPECT_EQ(e.line, 2) << c.step << ": " << e.what();
        EXPECT_EQ(e.column, int(4 + step.find(c.at) + 1)) << c.step << ": " << e.what();
        EXPECT_TRUE(contains(e.message, c.says)) << c.step << ": " << e.what();
    }
}

TEST(ScenarioParse, AScenarioWithoutStepsOrThatCannotBeOpenedIsRefused)
{
    EXPECT_TRUE(contains(refusal("").message, "the file is empty"));
    EXPECT_TRUE(contains(refusal("name: x\n").message, "wants steps"));
    EXPECT_TRUE(contains(refusal("steps: []\n").message, "a list of steps"));
    EXPECT_TRUE(contains(refusal("- delay: 1ms\n").message, "a scenario is a map"));
    EXPECT_TRUE(contains(refusal("steps:\n  - delay: 1ms\ntimeout: 1M\n").message, "timeout wants a time"));
    try {
        readScenario("/nonexistent/s.yaml");
        ADD_FAILURE() << "read a file that is not there";
    } catch (const ScenarioError& e) {
        EXPECT_EQ(std::string(e.what()), "/nonexistent/s.yaml: cannot read: No such file or directory");
        EXPECT_EQ(e.line, 0);
    }
    const ScratchDir dir;
    try {
        readScenario(dir.path().string());
        ADD_FAILURE() << "read a folder";
    } catch (const ScenarioError& e) {
        EXPECT_EQ(e.message, "cannot read: it is a folder");
    }
}

// What cannot be a scenario is told for what it is: no endless read, no
// document left unread, no read error taken for an empty file.
TEST(ScenarioParse, AFileThatIsNoSingleScenarioIsRefusedForWhatItIs)
{
    const ScenarioError second = refusal("steps:\n  - delay: 1ms\n---\nsteps: [oops\n");
    EXPECT_TRUE(contains(second.message, "not YAML")) << second.message;
    const ScenarioError two = refusal("steps:\n  - delay: 1ms\n---\nsteps:\n  - delay: 2ms\n");
    EXPECT_TRUE(contains(two.message, "2 YAML documents in one file")) << two.message;
    EXPECT_EQ(two.line, 4);
    EXPECT_EQ(parseScenario("steps:\n  - delay: 1ms\n---\n", "s.yaml").steps.size(), 1u);

    const ScenarioError deep = refusal("steps: " + std::string(5000, '[') + "\n");
    EXPECT_TRUE(contains(deep.message, "nested too deeply")) << deep.message;

    // Texts the YAML reader would never finish (making nodes until the
    // memory runs out) are refused at once.
    for (const char* runaway : {"\"a\", b\n", "# the menu\n'on', KEY_1 up\n", "x: 1\n---\n&x \"a\"\n,\n",
                                "# low\" duty: 50%}\n, times(1\n"}) {
        const ScenarioError e = refusal(runaway);
        EXPECT_TRUE(contains(e.message, "never comes to the end of it")) << runaway << ": " << e.message;
        EXPECT_GE(e.line, 1) << runaway;
    }

    const auto readRefusal = [](const std::string& path) {
        try {
            readScenario(path);
        } catch (const ScenarioError& e) {
            return e.message;
        }
        return std::string("read without complaint");
    };
    EXPECT_EQ(readRefusal("/dev/urandom"), "cannot read: larger than 1024 kB, too large for a scenario");
    EXPECT_EQ(readRefusal("/proc/self/mem"), "cannot read: Input/output error");
}

TEST(ScenarioParse, StepsReadAsWrittenWithTheirNumbersLinesAndDefaults)
{
    const Scenario s = parseScenario("name: Menu\n"
                                     "timeout: 10s\n"
                                     "steps:\n"
                                     "  - wait-serial: Hello\n"
                                     "  - wait-serial: {uart: 1, regex: \"^T=[0-9]+$\", timeout: 1s}\n"
                                     "  - press: 3\n"
                                     "  - press: {key: KEY_2, for: 1M}\n"
                                     "  - release: key_4\n"
                                     "  - wait-pin: {pin: P0_16, value: low}\n"
                                     "  - expect-blink: {pin: p0.31, hz: 50}\n"
                                     "  - delay: 200k\n"
                                     "  - expect-lcd: blank\n",
                                     "s.yaml");
    EXPECT_EQ(s.name, "Menu");
    EXPECT_EQ(s.timeout, 10);
    ASSERT_EQ(s.steps.size(), 9u);
    EXPECT_EQ(s.steps[0].number, 1);
    EXPECT_EQ(s.steps[0].line, 4);
    EXPECT_EQ(s.steps[0].kind, "wait-serial");
    EXPECT_EQ(s.steps[0].summary, "wait-serial \"Hello\"");
    EXPECT_FALSE(actionOf<WaitSerialStep>(s.steps[0]).timeout);  // the scenario's timeout bounds it
    const auto& regex = actionOf<WaitSerialStep>(s.steps[1]);
    EXPECT_EQ(regex.uart, 1);
    EXPECT_TRUE(regex.pattern);
    EXPECT_EQ(regex.timeout, 1.0);
    EXPECT_EQ(s.steps[1].summary, "wait-serial UART1 /^T=[0-9]+$/ within 1s");
    EXPECT_EQ(actionOf<KeyStep>(s.steps[2]).length.seconds, 0.080);  // as a key at the live screen
    EXPECT_EQ(s.steps[3].summary, "press KEY_2 for 1M");
    EXPECT_EQ(actionOf<KeyStep>(s.steps[3]).length.count, 1'000'000u);
    EXPECT_EQ(actionOf<KeyStep>(s.steps[4]).action, KeyStep::Release);
    EXPECT_EQ(actionOf<KeyStep>(s.steps[4]).key, 4);
    EXPECT_EQ(actionOf<PinStep>(s.steps[5]).pin, 16u);
    EXPECT_FALSE(actionOf<PinStep>(s.steps[5]).level);
    const auto& blink = actionOf<BlinkStep>(s.steps[6]);
    EXPECT_EQ(blink.pin, 31u);
    EXPECT_DOUBLE_EQ(blink.over, 0.2);  // ten periods
    EXPECT_DOUBLE_EQ(blink.tolerance, 0.05);
    EXPECT_EQ(s.pinsWatched, (1u << 16) | (1u << 31));
    EXPECT_EQ(actionOf<DelayStep>(s.steps[7]).length.count, 200'000u);
    EXPECT_EQ(actionOf<LcdStep>(s.steps[8]).action, LcdStep::ExpectBlank);

    const Scenario unnamed = parseScenario("steps:\n  - delay: 1ms\n", "some/where/version.yaml");
    EXPECT_EQ(unnamed.name, "version");
    EXPECT_EQ(unnamed.timeout, 30);
}

TEST(ScenarioParse, PicturesAreFoundBesideTheScenario)
{
    const ScratchDir dir;
    std::filesystem::create_directory(dir.path() / "sub");
    std::vector<uint8_t> frame(kLcdFrameBytes, 0);
    frame[100] = 0x5A;
    writeLcdPicture(frame, dir.file("sub/picture.pbm"));
    const std::string path =
        boardsim::testing::writeScenario(dir, "steps:\n  - expect-lcd: picture.pbm\n  - save-lcd: out.png\n",
                                         "sub/s.yaml");
    const Scenario s = readScenario(path);
    const auto& expect = std::get<LcdStep>(s.steps[0].action);
    EXPECT_EQ(expect.action, LcdStep::ExpectPicture);
    EXPECT_EQ(expect.path, dir.file("sub/picture.pbm"));
    EXPECT_EQ(expect.expected, frame);
    EXPECT_EQ(std::get<LcdStep>(s.steps[1].action).path, dir.file("sub/out.png"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("sub/out.png")));  // checked, not yet written
}

TEST(ScenarioParse, SetAinTakesAnInputAndItsVoltsAndSaysWhereEitherIsWrong)
{
    const Scenario s = parseScenario("steps:\n  - set-ain: {channel: 2, volts: 1.25}\n", "s.yaml");
    const auto& set = actionOf<SetAinStep>(s.steps.at(0));
    EXPECT_EQ(set.channel, 2u);
    EXPECT_DOUBLE_EQ(set.volts, 1.25);
    EXPECT_EQ(s.steps[0].summary, "set-ain AIN2 = 1.25 V");

    const ScenarioError channel = refusal("steps:\n  - set-ain: {channel: 4, volts: 1}\n");
    EXPECT_EQ(channel.line, 2);
    EXPECT_EQ(channel.column, 24);
    EXPECT_TRUE(contains(channel.message, "AIN4 to AIN7 are not modelled")) << channel.message;
    const ScenarioError volts = refusal("steps:\n  - set-ain: {channel: 1, volts: 3.5}\n");
    EXPECT_EQ(volts.column, 34);
    EXPECT_TRUE(contains(volts.message, "volts wants volts from 0 to 3.3")) << volts.message;
    EXPECT_TRUE(contains(refusal("steps:\n  - set-ain: 1\n").message, "{channel: 1, volts: 1.65}"));
}

