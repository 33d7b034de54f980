#include "frontends/scenario/scenario_parse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <set>

#include "frontends/common/lcd_picture.h"
#include "frontends/common/output_file.h"
#include "machine/pin_names.h"
#include "frontends/scenario/serial_match.h"
#include "frontends/signal/dac_out.h"
#include "machine/lpc2294.h"
#include "peripherals/adc.h"
#include "util/text.h"

#ifdef BOARDSIM_HAVE_YAML
#include <yaml-cpp/depthguard.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <sstream>
#endif

namespace boardsim {
namespace {

// Far more than any scenario needs.
constexpr size_t kLargestScenario = size_t{1} << 20;

std::string located(const std::string& file, int line, int column, const std::string& message)
{
    if (line <= 0) {
        return file + ": " + message;
    }
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

}  // namespace

ScenarioError::ScenarioError(const std::string& file, int line, int column, const std::string& message)
    : std::runtime_error(located(file, line, column, message)), file(file), line(line), column(column),
      message(message)
{
}

std::string scenarioStem(const std::string& file)
{
    return std::filesystem::path(file).stem().string();
}

Scenario readScenario(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw ScenarioError(path, 0, 0, std::string("cannot read: ") + std::strerror(errno));
    }
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw ScenarioError(path, 0, 0, "cannot read: it is a folder");
    }
    // A scenario is a page or two of text: a device that never ends
    // (/dev/urandom) or a huge file is refused, not read into memory.
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw ScenarioError(path, 0, 0, std::string("cannot read: ") + std::strerror(error));
        }
        if (got == 0) {
            break;
        }
        if (text.size() + size_t(got) > kLargestScenario) {
            ::close(fd);
            throw ScenarioError(path, 0, 0, "cannot read: larger than " + std::to_string(kLargestScenario / 1024) +
                                                " kB, too large for a scenario");
        }
        text.append(buffer, size_t(got));
    }
    ::close(fd);
    return parseScenario(text, path);
}

#ifdef BOARDSIM_HAVE_YAML

namespace {

std::string percent(double fraction)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g%%", fraction * 100);
    return text;
}

// Reads one file's nodes; every complaint names the node's line and column.
class Reader {
public:
    explicit Reader(Scenario& scenario) : scenario_(scenario) {}

    [[noreturn]] void fail(const YAML::Node& at, const std::string& message) const
    {
        const YAML::Mark mark = at.Mark();
        throw ScenarioError(scenario_.file, mark.is_null() ? 0 : mark.line + 1, mark.is_null() ? 0 : mark.column + 1,
                            message);
    }

    std::string scalar(const YAML::Node& node, const std::string& what) const
    {
        if (!node.IsScalar()) {
            fail(node, what + " wants a single value, not " + shape(node));
        }
        return node.Scalar();
    }

    double seconds(const YAML::Node& node, const std::string& what) const
    {
        const std::string text = scalar(node, what);
        try {
            const double value = parseSeconds(text, what);
            if (value <= 0) {
                fail(node, what + " wants a time above 0, got \"" + text + "\"");
            }
            return value;
        } catch (const BadValue& e) {
            fail(node, e.what());
        }
    }

    When when(const YAML::Node& node, const std::string& what) const
    {
        const std::string text = scalar(node, what);
        try {
            return parseWhen(text);
        } catch (const BadValue& e) {
            fail(node, what + ": " + e.what() + " (a count such as 200k, or a time such as 80ms)");
        }
    }

    double number(const YAML::Node& node, const std::string& what) const
    {
        const std::string text = scalar(node, what);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool plain = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
        if (!plain || end != text.c_str() + text.size() || !(value > 0) || !std::isfinite(value)) {
            fail(node, what + " wants a number above 0, got \"" + text + "\"");
        }
        return value;
    }

    // "3%" as 0.03, strictly between 0 and 100 %.
    double share(const YAML::Node& node, const std::string& what) const
    {
        const std::string text = scalar(node, what);
        const std::string digits = text.empty() || text.back() != '%' ? "" : text.substr(0, text.size() - 1);
        char* end = nullptr;
        const double value = std::strtod(digits.c_str(), &end);
        if (digits.empty() || digits.find_first_not_of("0123456789.") != std::string::npos ||
            end != digits.c_str() + digits.size() || !(value > 0) || value >= 100) {
            fail(node, what + " wants a percentage above 0 and below 100, such as 3%, got \"" + text + "\"");
        }
        return value / 100;
    }

    // Volts from 0 up to `highest` (the DAC's full scale unless given).
    double volts(const YAML::Node& node, const std::string& what,
                 double highest = 2 * Tlv5618::kReferenceVolts) const
    {
        const std::string text = scalar(node, what);
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        const bool plain = !text.empty() && text.find_first_not_of("0123456789.") == std::string::npos;
        if (!plain || end != text.c_str() + text.size() || !(value >= 0) || value > highest) {
            char range[32];
            std::snprintf(range, sizeof range, "%g", highest);
            fail(node, what + " wants volts from 0 to " + range + ", got \"" + text + "\"");
        }
        return value;
    }

    unsigned analogInput(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "channel");
        if (text.size() != 1 || text[0] < '0' || text[0] >= char('0' + Lpc2294Machine::kAnalogInputs)) {
            fail(node, "channel wants an A/D input 0 to 3 (AIN0 to AIN3; AIN4 to AIN7 are not modelled), got \"" +
                           text + "\"");
        }
        return unsigned(text[0] - '0');
    }

    unsigned output(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "output");
        if (text == "A" || text == "a") {
            return Tlv5618::kA;
        }
        if (text == "B" || text == "b") {
            return Tlv5618::kB;
        }
        fail(node, "output wants the DAC's output A or B, got \"" + text + "\"");
    }

    // Frames a second, as --dac-rate takes them.
    unsigned rate(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "rate");
        uint64_t value = 0;
        try {
            value = parseCount(text);
        } catch (const BadValue&) {
            value = 0;
        }
        if (value < 1000 || value > 100'000'000) {
            fail(node, "rate wants samples a second from 1k to 100M, got \"" + text + "\"");
        }
        return unsigned(value);
    }

    unsigned pin(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "pin");
        const auto found = pinByName(text);
        if (!found) {
            fail(node, "no pin \"" + text + "\": port 0's pins are P0.0 to P0.31 (or P0_0 ...), or " +
                           boardPinNames());
        }
        return *found;
    }

    bool level(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "value");
        if (text == "0" || text == "low") {
            return false;
        }
        if (text == "1" || text == "high") {
            return true;
        }
        fail(node, "value wants 0 or 1 (or low, high), got \"" + text + "\"");
    }

    int key(const YAML::Node& node) const
    {
        std::string text = scalar(node, "key");
        if (text.size() == 5 && (text.compare(0, 4, "KEY_") == 0 || text.compare(0, 4, "key_") == 0)) {
            text = text.substr(4);
        }
        if (text.size() != 1 || text[0] < '1' || text[0] > '4') {
            fail(node, "the board's keys are 1 to 4 (or KEY_1 to KEY_4), got \"" + scalar(node, "key") + "\"");
        }
        return text[0] - '0';
    }

    int uart(const YAML::Node& node) const
    {
        const std::string text = scalar(node, "uart");
        if (text != "0" && text != "1") {
            fail(node, "uart wants 0 or 1, got \"" + text + "\"");
        }
        return text[0] - '0';
    }

    std::string someText(const YAML::Node& node, const std::string& what) const
    {
        std::string value = scalar(node, what);
        if (value.empty()) {
            fail(node, what + " wants some text");
        }
        return value;
    }

    std::string path(const std::string& name) const
    {
        const std::filesystem::path given(name);
        return given.is_absolute() ? name : (std::filesystem::path(scenario_.folder) / given).string();
    }

    static std::string shape(const YAML::Node& node)
    {
        if (node.IsMap()) {
            return "a map";
        }
        if (node.IsSequence()) {
            return "a list";
        }
        return "nothing";
    }

private:
    Scenario& scenario_;
};

// A step's value written as a map, its keys checked against those its kind takes.
class Fields {
public:
    Fields(const Reader& reader, const YAML::Node& map, const std::string& kind,
           std::initializer_list<const char*> known)
        : reader_(reader), map_(map), kind_(kind)
    {
        std::set<std::string> seen;
        for (const auto& entry : map) {
            const std::string name = reader.scalar(entry.first, kind + "'s keys");
            bool isKnown = false;
            for (const char* k : known) {
                isKnown = isKnown || name == k;
            }
            if (!isKnown) {
                std::string list;
                for (const char* k : known) {
                    list += (list.empty() ? "" : ", ") + std::string(k);
                }
                reader.fail(entry.first, std::string(kind).append(" takes ").append(list).append("; not \"")
                                             .append(name).append("\""));
            }
            if (!seen.insert(name).second) {
                reader.fail(entry.first, std::string(kind).append(" has \"").append(name).append("\" twice"));
            }
        }
    }

    bool has(const char* key) const { return bool(map_[key]); }
    YAML::Node operator[](const char* key) const
    {
        const YAML::Node value = map_[key];
        if (!value) {
            reader_.fail(map_, kind_ + " wants " + key);
        }
        if (value.IsNull()) {
            reader_.fail(value, kind_ + "'s " + key + " wants a value");
        }
        return value;
    }

private:
    const Reader& reader_;
    YAML::Node map_;
    std::string kind_;
};

// One step of each kind, from its value.
class StepReader {
public:
    StepReader(const Reader& reader, Scenario& scenario) : r_(reader), scenario_(scenario) {}

    using Parse = StepAction (StepReader::*)(const YAML::Node&, Step&) const;
    static const std::map<std::string, Parse>& kinds()
    {
        static const std::map<std::string, Parse> table = {
            {"delay", &StepReader::delay},
            {"wait-serial", &StepReader::waitSerial},
            {"write-serial", &StepReader::writeSerial},
            {"press", &StepReader::press},
            {"hold", &StepReader::hold},
            {"release", &StepReader::release},
            {"expect-pin", &StepReader::expectPin},
            {"wait-pin", &StepReader::waitPin},
            {"expect-blink", &StepReader::expectBlink},
            {"expect-lcd", &StepReader::expectLcd},
            {"save-lcd", &StepReader::saveLcd},
            {"expect-signal", &StepReader::expectSignal},
            {"save-signal", &StepReader::saveSignal},
            {"set-ain", &StepReader::setAin},
        };
        return table;
    }

private:
    static std::string within(const std::optional<double>& timeout, const YAML::Node& node)
    {
        return timeout ? " within " + node.Scalar() : "";
    }
    static std::string onUart(int uart) { return uart == 0 ? "" : "UART" + std::to_string(uart) + " "; }

    StepAction delay(const YAML::Node& value, Step& step) const
    {
        DelayStep delay{r_.when(value, "delay")};
        step.summary = "delay " + delay.length.text;
        return delay;
    }

    StepAction waitSerial(const YAML::Node& value, Step& step) const
    {
        WaitSerialStep wait;
        std::string timeoutText;
        if (value.IsMap()) {
            const Fields fields(r_, value, step.kind, {"text", "regex", "uart", "timeout"});
            if (fields.has("text") == fields.has("regex")) {
                r_.fail(value, "wait-serial wants either text or regex");
            }
            if (fields.has("regex")) {
                wait.text = r_.someText(fields["regex"], "regex");
                try {
                    wait.pattern = compilePattern(wait.text);
                } catch (const std::invalid_argument& e) {
                    r_.fail(fields["regex"], "not a regular expression: " + wait.text + " (" + e.what() + ")");
                }
                if (matchesNothing(*wait.pattern)) {
                    r_.fail(fields["regex"], "regex " + wait.text + " matches where nothing has arrived: the wait "
                                             "would end at once");
                }
            } else {
                wait.text = r_.someText(fields["text"], "text");
            }
            if (fields.has("uart")) {
                wait.uart = r_.uart(fields["uart"]);
            }
            if (fields.has("timeout")) {
                wait.timeout = r_.seconds(fields["timeout"], "timeout");
                timeoutText = within(wait.timeout, fields["timeout"]);
            }
        } else {
            wait.text = r_.someText(value, "wait-serial");
        }
        step.summary = "wait-serial " + onUart(wait.uart) + (wait.pattern ? "/" + wait.text + "/" : boardsim::quoted(wait.text)) +
                       timeoutText;
        return wait;
    }

    StepAction writeSerial(const YAML::Node& value, Step& step) const
    {
        WriteSerialStep write;
        if (value.IsMap()) {
            const Fields fields(r_, value, step.kind, {"text", "uart"});
            write.text = r_.someText(fields["text"], "text");
            if (fields.has("uart")) {
                write.uart = r_.uart(fields["uart"]);
            }
        } else {
            write.text = r_.someText(value, "write-serial");
        }
        step.summary = "write-serial " + onUart(write.uart) + boardsim::quoted(write.text);
        return write;
    }

    StepAction press(const YAML::Node& value, Step& step) const
    {
        KeyStep press;
        std::string length = press.length.text;
        if (value.IsMap()) {
            const Fields fields(r_, value, step.kind, {"key", "for"});
            press.key = r_.key(fields["key"]);
            if (fields.has("for")) {
                press.length = r_.when(fields["for"], "for");
                length = press.length.text;
                if (press.length.isTime ? press.length.seconds <= 0 : press.length.count == 0) {
                    r_.fail(fields["for"], "a press must last a while");
                }
            }
        } else {
            press.key = r_.key(value);
        }
        step.summary = "press KEY_" + std::to_string(press.key) + " for " + length;
        return press;
    }

    StepAction hold(const YAML::Node& value, Step& step) const
    {
        KeyStep hold{KeyStep::Hold, r_.key(value)};
        step.summary = "hold KEY_" + std::to_string(hold.key);
        return hold;
    }

    StepAction release(const YAML::Node& value, Step& step) const
    {
        KeyStep release{KeyStep::Release, r_.key(value)};
        step.summary = "release KEY_" + std::to_string(release.key);
        return release;
    }

    StepAction expectPin(const YAML::Node& value, Step& step) const
    {
        const Fields fields(r_, mapOf(value, step), step.kind, {"pin", "value"});
        PinStep expect{r_.pin(fields["pin"]), r_.level(fields["value"]), false, std::nullopt};
        step.summary = "expect-pin " + describePin(expect.pin) + " = " + (expect.level ? "1" : "0");
        return expect;
    }

    StepAction waitPin(const YAML::Node& value, Step& step) const
    {
        const Fields fields(r_, mapOf(value, step), step.kind, {"pin", "value", "timeout"});
        PinStep wait{r_.pin(fields["pin"]), r_.level(fields["value"]), true, std::nullopt};
        if (fields.has("timeout")) {
            wait.timeout = r_.seconds(fields["timeout"], "timeout");
        }
        scenario_.pinsWatched |= 1u << wait.pin;
        step.summary = "wait-pin " + describePin(wait.pin) + " = " + (wait.level ? "1" : "0") +
                       (wait.timeout ? within(wait.timeout, fields["timeout"]) : "");
        return wait;
    }

    // How long a step measures a waveform of `hz`: `over`, at least two
    // periods, or `periods` of it when not given.
    double over(const Fields& fields, double hz, double periods) const
    {
        if (!fields.has("over")) {
            return periods / hz;
        }
        const double seconds = r_.seconds(fields["over"], "over");
        if (seconds * hz < 2) {
            r_.fail(fields["over"], "over " + fields["over"].Scalar() + " is less than two periods at " +
                                        fields["hz"].Scalar() + " Hz");
        }
        return seconds;
    }

    StepAction expectBlink(const YAML::Node& value, Step& step) const
    {
        const Fields fields(r_, mapOf(value, step), step.kind, {"pin", "hz", "duty", "tolerance", "over"});
        BlinkStep blink;
        blink.pin = r_.pin(fields["pin"]);
        blink.hz = r_.number(fields["hz"], "hz");
        if (fields.has("duty")) {
            blink.duty = r_.share(fields["duty"], "duty");
        }
        if (fields.has("tolerance")) {
            blink.tolerance = r_.share(fields["tolerance"], "tolerance");
        }
        // Ten periods by default: enough for a figure to a few per cent,
        // short enough to cost little.
        blink.over = over(fields, blink.hz, 10);
        scenario_.pinsWatched |= 1u << blink.pin;
        step.summary = "expect-blink " + describePin(blink.pin) + " at " + fields["hz"].Scalar() + " Hz" +
                       (blink.duty ? ", duty " + percent(*blink.duty) : "") + " within " +
                       percent(blink.tolerance) + " over " + durationText(blink.over);
        return blink;
    }

    StepAction expectLcd(const YAML::Node& value, Step& step) const
    {
        LcdStep expect;
        expect.shownPath = r_.someText(value, "expect-lcd");
        step.summary = "expect-lcd " + expect.shownPath;
        if (expect.shownPath == "blank") {
            return expect;
        }
        expect.action = LcdStep::ExpectPicture;
        expect.path = r_.path(expect.shownPath);
        try {
            expect.expected = readLcdPicture(expect.path);
        } catch (const std::runtime_error& e) {
            r_.fail(value, e.what());
        }
        return expect;
    }

    StepAction saveLcd(const YAML::Node& value, Step& step) const
    {
        LcdStep save;
        save.action = LcdStep::Save;
        save.shownPath = r_.someText(value, "save-lcd");
        save.path = r_.path(save.shownPath);
        try {
            checkWritable(save.path);
        } catch (const OutputError& e) {
            r_.fail(value, e.what());
        }
        step.summary = "save-lcd " + save.shownPath;
        return save;
    }

    StepAction expectSignal(const YAML::Node& value, Step& step) const
    {
        const Fields fields(r_, mapOf(value, step), step.kind, {"output", "hz", "tolerance", "min", "max", "sfdr", "over"});
        SignalStep signal;
        signal.output = r_.output(fields["output"]);
        signal.hz = r_.number(fields["hz"], "hz");
        if (fields.has("tolerance")) {
            signal.tolerance = r_.share(fields["tolerance"], "tolerance");
        }
        if (fields.has("min")) {
            signal.min = r_.volts(fields["min"], "min");
        }
        if (fields.has("max")) {
            signal.max = r_.volts(fields["max"], "max");
        }
        if (signal.min && signal.max && *signal.min > *signal.max) {
            r_.fail(fields["max"], "max is below min");
        }
        if (fields.has("sfdr")) {
            signal.sfdr = r_.number(fields["sfdr"], "sfdr");
        }
        // Two periods at least tell a period; four leave room for the
        // latest whole ones to be measured.
        signal.over = over(fields, signal.hz, kDefaultSignalPeriods);
        scenario_.followsDac = true;
        std::string summary = "expect-signal DAC output " + std::string(1, Tlv5618::outputName(signal.output)) +
                              " at " + fields["hz"].Scalar() + " Hz within " + percent(signal.tolerance);
        if (signal.min || signal.max) {
            summary += ", " + (signal.min ? fields["min"].Scalar() + " V" : std::string("any")) + " to " +
                       (signal.max ? fields["max"].Scalar() + " V" : std::string("any"));
        }
        if (signal.sfdr) {
            summary += ", SFDR at least " + fields["sfdr"].Scalar() + " dBc";
        }
        step.summary = summary + " over " + durationText(signal.over);
        return signal;
    }

    StepAction saveSignal(const YAML::Node& value, Step& step) const
    {
        SaveSignalStep save;
        save.rate = kDefaultDacRate;
        YAML::Node file = value;
        if (value.IsMap()) {
            const Fields fields(r_, value, step.kind, {"file", "last", "rate"});
            file.reset(fields["file"]);  // (plain assignment would overwrite the map itself)
            if (fields.has("last")) {
                save.last = r_.seconds(fields["last"], "last");
            }
            if (fields.has("rate")) {
                save.rate = r_.rate(fields["rate"]);
            }
        }
        save.shownPath = r_.someText(file, "save-signal");
        save.path = r_.path(save.shownPath);
        try {
            checkWritable(save.path);
        } catch (const OutputError& e) {
            r_.fail(file, e.what());
        }
        scenario_.followsDac = true;
        step.summary = "save-signal " + save.shownPath + (save.last ? " (the last " + durationText(*save.last) + ")" : "");
        return save;
    }

    StepAction setAin(const YAML::Node& value, Step& step) const
    {
        const Fields fields(r_, mapOf(value, step, "{channel: 1, volts: 1.65}"), step.kind, {"channel", "volts"});
        SetAinStep set{r_.analogInput(fields["channel"]), r_.volts(fields["volts"], "volts", adc::kReferenceVolts)};
        step.summary = "set-ain AIN" + std::to_string(set.channel) + " = " + fields["volts"].Scalar() + " V";
        return set;
    }

    const YAML::Node& mapOf(const YAML::Node& value, const Step& step,
                            const char* example = "{pin: P0.31, value: 0}") const
    {
        if (!value.IsMap()) {
            r_.fail(value, step.kind + " wants a map such as " + example + ", not " +
                               (value.IsScalar() ? "\"" + value.Scalar() + "\"" : Reader::shape(value)));
        }
        return value;
    }

    const Reader& r_;
    Scenario& scenario_;
};

std::string kindList()
{
    std::string list;
    for (const auto& entry : StepReader::kinds()) {
        list += (list.empty() ? "" : ", ") + entry.first;
    }
    return list;
}

Step readStep(const Reader& reader, const StepReader& steps, const YAML::Node& node, int number)
{
    if (!node.IsMap() || node.size() != 1) {
        reader.fail(node, "step " + std::to_string(number) +
                              " is not one kind and its value, such as \"- delay: 300ms\" (steps: " + kindList() +
                              ")");
    }
    const auto entry = *node.begin();
    Step step;
    step.number = number;
    step.line = entry.first.Mark().line + 1;
    step.kind = reader.scalar(entry.first, "a step's kind");
    const auto kind = StepReader::kinds().find(step.kind);
    if (kind == StepReader::kinds().end()) {
        reader.fail(entry.first, "unknown step \"" + step.kind + "\" (steps: " + kindList() + ")");
    }
    if (entry.second.IsNull()) {
        reader.fail(entry.first, step.kind + " wants a value");
    }
    step.action = (steps.*(kind->second))(entry.second, step);
    return step;
}

void readTop(const Reader& reader, Scenario& scenario, const YAML::Node& root)
{
    if (!root.IsMap()) {
        reader.fail(root, "a scenario is a map with steps: (and name:, timeout:), not " +
                              (root.IsScalar() ? "\"" + root.Scalar() + "\"" : Reader::shape(root)));
    }
    const Fields fields(reader, root, "a scenario", {"name", "timeout", "steps"});
    if (fields.has("name")) {
        scenario.name = reader.someText(fields["name"], "name");
    }
    if (fields.has("timeout")) {
        scenario.timeout = reader.seconds(fields["timeout"], "timeout");
    }
    const YAML::Node steps = fields["steps"];
    if (!steps.IsSequence() || steps.size() == 0) {
        reader.fail(steps, "steps wants a list of steps, each \"- kind: value\"");
    }
    StepReader stepReader(reader, scenario);
    int number = 0;
    for (const YAML::Node& node : steps) {
        scenario.steps.push_back(readStep(reader, stepReader, node, ++number));
    }
}

// Counts what the YAML reader makes of a text and stops it past a bound
// no text of that length can need: yaml-cpp 0.7 never ends on some short
// texts (a document that is a quoted scalar followed by a comma, '"a", b',
// or a stray '}' before one, makes nodes until the memory runs out).
class RunawayGuard : public YAML::EventHandler {
public:
    explicit RunawayGuard(size_t textBytes) : limit_(4 * textBytes + 64) {}

    void OnDocumentStart(const YAML::Mark& mark) override { count(mark); }
    void OnDocumentEnd() override { count(last_); }
    void OnNull(const YAML::Mark& mark, YAML::anchor_t /*anchor*/) override { count(mark); }
    void OnAlias(const YAML::Mark& mark, YAML::anchor_t /*anchor*/) override { count(mark); }
    void OnScalar(const YAML::Mark& mark, const std::string& /*tag*/, YAML::anchor_t /*anchor*/,
                  const std::string& /*value*/) override
    {
        count(mark);
    }
    void OnSequenceStart(const YAML::Mark& mark, const std::string& /*tag*/, YAML::anchor_t /*anchor*/,
                         YAML::EmitterStyle::value /*style*/) override
    {
        count(mark);
    }
    void OnSequenceEnd() override { count(last_); }
    void OnMapStart(const YAML::Mark& mark, const std::string& /*tag*/, YAML::anchor_t /*anchor*/,
                    YAML::EmitterStyle::value /*style*/) override
    {
        count(mark);
    }
    void OnMapEnd() override { count(last_); }

    struct RanAway {
        YAML::Mark mark;
    };

private:
    void count(const YAML::Mark& mark)
    {
        last_ = mark;
        if (++events_ > limit_) {
            throw RanAway{mark};
        }
    }

    size_t limit_;
    size_t events_ = 0;
    YAML::Mark last_ = YAML::Mark::null_mark();
};

// Throws RunawayGuard::RanAway where the reader would not end, and the
// reader's own exceptions where the text is no YAML.
void readWithinBounds(const std::string& text)
{
    std::istringstream in(text);
    YAML::Parser parser(in);
    RunawayGuard guard(text.size());
    while (parser.HandleNextDocument(guard)) {
    }
}

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& path)
{
    Scenario scenario;
    scenario.file = path;
    scenario.folder = std::filesystem::path(path).parent_path().string();
    scenario.name = scenarioStem(path);
    std::vector<YAML::Node> documents;
    try {
        readWithinBounds(text);
        documents = YAML::LoadAll(text);
    } catch (const RunawayGuard::RanAway& e) {
        throw ScenarioError(path, e.mark.line + 1, e.mark.column + 1,
                            "not YAML that can be read: the YAML reader never comes to the end of it (a stray "
                            "comma after a value at the top?)");
    } catch (const YAML::DeepRecursion& e) {
        throw ScenarioError(path, e.mark.line + 1, e.mark.column + 1,
                            "nested too deeply (" + std::to_string(e.depth()) + " levels) for a scenario");
    } catch (const YAML::ParserException& e) {
        throw ScenarioError(path, e.mark.line + 1, e.mark.column + 1, "not YAML: " + e.msg);
    }
    // An empty document after the first (a closing "---") is no second one.
    while (documents.size() > 1 && documents.back().IsNull()) {
        documents.pop_back();
    }
    if (documents.size() > 1) {
        // Which one was meant cannot be told: none runs.
        const YAML::Mark second = documents[1].Mark();
        throw ScenarioError(path, second.is_null() ? 0 : second.line + 1, second.is_null() ? 0 : second.column + 1,
                            std::to_string(documents.size()) + " YAML documents in one file: a scenario file holds one");
    }
    const YAML::Node root = documents.empty() ? YAML::Node() : documents.front();
    if (!root || root.IsNull()) {
        throw ScenarioError(path, 1, 1, "no steps: the file is empty");
    }
    Reader reader(scenario);
    try {
        readTop(reader, scenario, root);
    } catch (const YAML::Exception& e) {
        // What the checks above did not foresee still gets its place.
        throw ScenarioError(path, e.mark.line + 1, e.mark.column + 1, e.msg);
    }
    return scenario;
}

#else

Scenario parseScenario(const std::string& /*text*/, const std::string& path)
{
    throw ScenarioError(path, 0, 0, "boardsim was built without yaml-cpp (scripts/bootstrap installs libyaml-cpp-dev)");
}

#endif

}  // namespace boardsim
