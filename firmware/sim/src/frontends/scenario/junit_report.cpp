#include "frontends/scenario/junit_report.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "frontends/common/output_file.h"

namespace boardsim {
namespace {

// The length of the UTF-8 sequence at text[i] that XML 1.0 may carry, or 0.
size_t utf8Length(const std::string& text, size_t i)
{
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned lead = byte(i);
    size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;  // the second byte's range
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (size_t k = 2; k < length; ++k) {
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) {
            return 0;
        }
    }
    // U+FFFE and U+FFFF are not XML characters either.
    if (length == 3 && lead == 0xEF && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE) {
        return 0;
    }
    return length;
}

// `text` as XML character data; in an attribute, line breaks and tabs as
// references, so that a reader's normalisation keeps them.
std::string escaped(const std::string& text, bool attribute)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (const size_t length = utf8Length(text, i)) {
                out.append(text, i, length);
                i += length;
                continue;
            }
        }
        ++i;
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += attribute ? "&quot;" : "\""; continue;
        case '\n': out += attribute ? "&#10;" : "\n"; continue;
        case '\t': out += attribute ? "&#9;" : "\t"; continue;
        default: break;
        }
        if (c < 0x20 || c >= 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02x", c);
            out += code;
        } else {
            out += char(c);
        }
    }
    return out;
}

std::string attribute(const char* name, const std::string& value)
{
    return std::string(" ") + name + "=\"" + escaped(value, true) + "\"";
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

}  // namespace

std::string junitXml(const std::string& suite, const std::vector<JUnitCase>& cases)
{
    size_t failures = 0;
    size_t errors = 0;
    size_t skipped = 0;
    double total = 0;
    for (const JUnitCase& c : cases) {
        failures += c.result == JUnitCase::Failed ? 1 : 0;
        errors += c.result == JUnitCase::Unreadable ? 1 : 0;
        skipped += c.result == JUnitCase::Skipped ? 1 : 0;
        total += c.seconds;
    }
    const std::string counts = attribute("tests", std::to_string(cases.size())) +
                               attribute("failures", std::to_string(failures)) +
                               attribute("errors", std::to_string(errors));
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites" + attribute("name", "boardsim scenarios") + counts + attribute("time", seconds(total)) + ">\n";
    xml += "  <testsuite" + attribute("name", suite) + counts + attribute("skipped", std::to_string(skipped)) +
           attribute("time", seconds(total)) + attribute("timestamp", timestamp()) + ">\n";
    for (const JUnitCase& c : cases) {
        xml += "    <testcase" + attribute("name", c.name) + attribute("classname", c.className) +
               attribute("file", c.file) + attribute("time", seconds(c.seconds)) + ">\n";
        if (c.result == JUnitCase::Failed) {
            xml += "      <failure" + attribute("message", c.message) + attribute("type", "step failed") + ">" +
                   escaped(c.message, false) + "</failure>\n";
        } else if (c.result == JUnitCase::Unreadable) {
            xml += "      <error" + attribute("message", c.message) + attribute("type", "scenario unreadable") +
                   ">" + escaped(c.message, false) + "</error>\n";
        } else if (c.result == JUnitCase::Skipped) {
            xml += "      <skipped" + attribute("message", c.message) + "/>\n";
        }
        if (!c.output.empty()) {
            xml += "      <system-out>" + escaped(c.output, false) + "</system-out>\n";
        }
        xml += "    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

void writeJUnit(const std::string& path, const std::string& suite, const std::vector<JUnitCase>& cases)
{
    writeOutputFile(path, junitXml(suite, cases));  // whole or not at all, as every output
}

}  // namespace boardsim
