// Scenario results as JUnit XML, the report CI systems read: one test case
// per scenario, a failed step as its failure, a scenario that could not be
// read as an error.
#pragma once

#include <string>
#include <vector>

namespace boardsim {

struct JUnitCase {
    enum Result { Passed, Failed, Unreadable, Skipped };
    std::string name;       // the scenario's name
    std::string className;  // what CI groups cases by: the scenario file's stem
    std::string file;
    Result result = Passed;
    std::string message;    // the failure, the error, or why it was skipped
    std::string output;     // the lines the run printed
    double seconds = 0;     // wall-clock time the case took
};

// The document for `suite` (the image's name) and its cases. Text that XML
// cannot carry (control characters, bytes that are not UTF-8) is written
// as \xNN.
std::string junitXml(const std::string& suite, const std::vector<JUnitCase>& cases);

// Writes it to `path`; throws std::runtime_error when it cannot.
void writeJUnit(const std::string& path, const std::string& suite, const std::vector<JUnitCase>& cases);

}  // namespace boardsim
