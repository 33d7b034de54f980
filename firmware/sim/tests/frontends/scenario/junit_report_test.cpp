// The JUnit report as an XML parser reads it back: whatever a scenario's
// name or a UART sent, the document stays well-formed and says it.
#include <gtest/gtest.h>

#include <fstream>

#include "frontends/scenario/junit_report.h"
#include "support/child_process.h"

using namespace boardsim;
using boardsim::testing::CommandResult;
using boardsim::testing::ScratchDir;

namespace {

std::string xpath(const std::string& xmllint, const std::string& file, const std::string& expression)
{
    const CommandResult r = boardsim::testing::runCommand({xmllint, "--xpath", expression, file});
    EXPECT_EQ(r.status, 0) << expression << ": " << r.err;
    return r.out.empty() ? r.out : r.out.substr(0, r.out.size() - 1);  // xmllint ends it with a line feed
}

}  // namespace

TEST(JUnitReport, AnyTextStaysWellFormedAndReadsBackAsWritten)
{
    REQUIRE_PROGRAM(xmllint, "xmllint");
    JUnitCase awkward;
    awkward.name = "Men\xC3\xBC <&> \"quoted\" \xE2\x9C\x93";  // UTF-8 kept as it is
    awkward.className = "menu";
    awkward.file = "a&b.yaml";
    awkward.result = JUnitCase::Failed;
    // What a UART sends is anything: control characters, bytes that are
    // not UTF-8, a surrogate's encoding, a CDATA end.
    awkward.message = "step 1 (wait-serial, line 3): sent \x01\x1b[0m\xFF\xED\xA0\x80 ]]> line\nnext";
    awkward.output = "ok\r\n\ttab";
    awkward.seconds = 0.25;
    JUnitCase unreadable;
    unreadable.name = "bad";
    unreadable.result = JUnitCase::Unreadable;
    unreadable.message = "bad.yaml:3:5: unknown step";

    const ScratchDir dir;
    const std::string report = dir.file("report.xml");
    writeJUnit(report, "firmware.elf", {awkward, unreadable});
    const CommandResult wellFormed = boardsim::testing::runCommand({xmllint, "--noout", report});
    ASSERT_EQ(wellFormed.status, 0) << wellFormed.err;

    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/@name)"), awkward.name);
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/@file)"), "a&b.yaml");
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/@time)"), "0.250");
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/failure/@message)"),
              "step 1 (wait-serial, line 3): sent \\x01\\x1b[0m\\xff\\xed\\xa0\\x80 ]]> line\nnext");
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/failure)"),
              xpath(xmllint, report, "string(//testcase[1]/failure/@message)"));
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[1]/system-out)"), "ok\\x0d\n\ttab");
    EXPECT_EQ(xpath(xmllint, report, "string(//testcase[2]/error/@message)"), "bad.yaml:3:5: unknown step");
    EXPECT_EQ(xpath(xmllint, report, "count(//testcase[2]/system-out)"), "0");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/@failures)"), "1");
    EXPECT_EQ(xpath(xmllint, report, "string(/testsuites/@errors)"), "1");

    EXPECT_THROW(writeJUnit("/dev/null/report.xml", "x", {}), std::runtime_error);
}
