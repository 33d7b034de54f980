// The built program, run in fresh folders: console bytes, exit status and
// whole table files on every path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "expected_text.h"
#include "gbk_convert.h"
#include "program_runner.h"
#include "reference_table.h"

namespace {

std::string menu_prompt()
{
    return console_text(gbk(MENU_UTF8) + gbk(PROMPT_OPTION_UTF8));
}

std::string step_prompt()
{
    return gbk(PROMPT_STEP_UTF8);
}

std::string message(const std::string& utf8)
{
    return console_text(gbk(utf8) + "\n");
}

ChildSetup limited_to(long file_size_limit)
{
    ChildSetup setup;
    setup.file_size_limit = file_size_limit;
    return setup;
}

std::string input_for(int option, int32_t step)
{
    std::string input = std::to_string(option) + "\n";
    if (option == 7 || option == 8) {
        input += std::to_string(step) + "\n";
    }
    return input;
}

void expect_clean_exit(const RunResult& run, int status)
{
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.status, status);
    if (runs_natively()) {
        EXPECT_EQ(run.err, "");
    }
}

// Entries per data line of a table file, after checking that every line ends
// in CR LF and the file ends with the last entry's ",".
std::vector<size_t> entries_per_line(const std::string& bytes, size_t header_lines, size_t entry_width)
{
    std::vector<size_t> counts;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "lone LF at " << i;
        }
        if (bytes[i] == '\r') {
            EXPECT_TRUE(i + 1 < bytes.size() && bytes[i + 1] == '\n') << "lone CR at " << i;
        }
    }
    EXPECT_EQ(bytes.back(), ',');
    size_t start = 0;
    for (size_t line = 0;; ++line) {
        const size_t end = bytes.find("\r\n", start);
        const size_t length = (end == std::string::npos ? bytes.size() : end) - start;
        if (line >= header_lines) {
            EXPECT_EQ(length % entry_width, 0u) << "line " << line;
            counts.push_back(length / entry_width);
        }
        if (end == std::string::npos) {
            return counts;
        }
        start = end + 2;
    }
}

struct Shape {
    int option;
    int32_t step;
    std::string header;  // UTF-8, line ends as "\n"
    size_t entry_width;  // 8 for "%6d ,", 17 for "%6d , %6d ,"
    size_t entries;
    size_t first_line;   // entries on the first data line
    size_t full_line;
    size_t last_line;
    std::vector<int> first_values;  // the first numbers of the table
};

std::string crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::vector<int> numbers(const std::string& text, size_t how_many)
{
    std::vector<int> values;
    for (size_t i = 0; i < text.size() && values.size() < how_many;) {
        if (text[i] >= '0' && text[i] <= '9') {
            size_t used = 0;
            values.push_back(std::stoi(text.substr(i), &used));
            i += used;
        } else {
            ++i;
        }
    }
    return values;
}

const std::vector<Shape>& shapes()
{
    static const std::vector<Shape> all = {
        {1, 0, "DEPTH = 4096\nCONTENT BEGIN:\n", 8, 4096, 9, 10, 7,
         {688, 688, 688, 688, 692, 692, 692, 692, 696, 696, 696, 696, 700, 700, 700, 704, 704, 704, 704}},
        {2, 0, "DEPTH = 4096\nCONTENT BEGIN:\n", 8, 4096, 9, 10, 7,
         {1372, 1372, 1372, 1372, 1372, 1372, 1372, 1372, 1372}},
        {3, 0, "WIDTH = 16\nDEPTH = 4096 \nCONTENT BEGIN:\n", 8, 4096, 9, 10, 7,
         {17072, 17072, 17072, 17072, 17076}},
        {4, 0, "WIDTH = 8\nDEPTH = 4096 \nCONTENT BEGIN:\n快速B通道\n", 17, 4096, 9, 10, 7,
         {66, 176, 66, 176}},
        {5, 0, "WIDTH = 8\nDEPTH = 4096 \nCONTENT BEGIN:\n快速B通道\n", 17, 4096, 9, 10, 7,
         {66, 176}},
        {6, 0, "WIDTH = 8\nDEPTH = 4096 \nCONTENT BEGIN:\n快速B通道\n", 17, 4095, 9, 10, 6,
         {72, 14}},
        {7, 3, "WIDTH = 8\nDEPTH = 4096 \nSTEP = 3 \nCONTENT BEGIN:\n快速B通道\n", 17, 1365, 4, 5, 1,
         {66, 176, 66, 179, 66, 182, 66, 185}},
        {8, 3, "WIDTH = 8\nDEPTH = 4096 \nSTEP = 3 \nCONTENT BEGIN:\n快速B通道\n", 17, 1365, 4, 5, 1,
         {72, 14}},
        {9, 0, "WIDTH = 12\nDEPTH = 4096 \nCONTENT BEGIN:\n正弦数据 for DAC12\n", 8, 4096, 0, 10, 6,
         {1365}},
    };
    return all;
}

void PrintTo(const Shape& shape, std::ostream* os)
{
    *os << "option " << shape.option;
}

class EveryOption : public testing::TestWithParam<Shape> {};

}  // namespace

TEST_P(EveryOption, WritesItsWholeTableSilently)
{
    const Shape& shape = GetParam();
    TempDir dir;
    const RunResult run = run_program(dir.path, input_for(shape.option, shape.step));
    expect_clean_exit(run, 0);
    const bool stepped = shape.option == 7 || shape.option == 8;
    EXPECT_EQ(run.out, menu_prompt() + (stepped ? step_prompt() : ""));

    const std::string name = disk_name(reference_file_name(shape.option));
    EXPECT_EQ(folder_entries(dir.path), std::vector<std::string>{name});
    std::string table;
    ASSERT_TRUE(read_file(dir.path + "/" + name, &table));

    const std::string header = crlf(gbk(shape.header));
    ASSERT_EQ(table.compare(0, header.size(), header), 0) << table.substr(0, header.size());
    const size_t header_lines = std::count(shape.header.begin(), shape.header.end(), '\n');
    const std::vector<size_t> lines = entries_per_line(table, header_lines, shape.entry_width);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines.front(), shape.first_line);
    EXPECT_EQ(lines.back(), shape.last_line);
    size_t total = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        total += lines[i];
        if (i > 0 && i + 1 < lines.size()) {
            EXPECT_EQ(lines[i], shape.full_line) << "data line " << i;
        }
    }
    EXPECT_EQ(total, shape.entries);
    EXPECT_EQ(numbers(table.substr(header.size()), shape.first_values.size()), shape.first_values);

    EXPECT_EQ(table, reference_table(shape.option, shape.step));
}

INSTANTIATE_TEST_SUITE_P(Dactables, EveryOption, testing::ValuesIn(shapes()),
                         [](const testing::TestParamInfo<Shape>& info) {
                             return "option" + std::to_string(info.param.option);
                         });

TEST(SteppedTables, PositiveAndNegativeSteps)
{
    struct StepCase {
        int32_t step;
        size_t entries;
    };
    const StepCase cases[] = {
        {1, 4095}, {2, 2048}, {5, 819}, {4094, 2}, {4095, 1}, {4096, 1}, {INT32_MAX, 1},
        // Added as unsigned, -1 steps from 1 to 0 and then past N.
        {-1, 2}, {-2, 1}, {-4095, 1}, {INT32_MIN, 1},
    };
    for (int option : {7, 8}) {
        for (const StepCase& c : cases) {
            SCOPED_TRACE("option " + std::to_string(option) + " step " + std::to_string(c.step));
            TempDir dir;
            const RunResult run = run_program(dir.path, input_for(option, c.step));
            expect_clean_exit(run, 0);
            std::string table;
            ASSERT_TRUE(read_file(dir.path + "/" + disk_name(reference_file_name(option)), &table));
            EXPECT_EQ(static_cast<size_t>(std::count(table.begin(), table.end(), ',')), 2 * c.entries);
            EXPECT_EQ(table, reference_table(option, c.step));
        }
    }
}

TEST(SteppedTables, OptionAndStepOnOneLine)
{
    TempDir dir;
    const RunResult run = run_program(dir.path, "  7 3");
    expect_clean_exit(run, 0);
    std::string table;
    ASSERT_TRUE(read_file(dir.path + "/" + disk_name(reference_file_name(7)), &table));
    EXPECT_EQ(table, reference_table(7, 3));
}

TEST(SteppedTables, FileExistsWhileTheStepIsAskedFor)
{
    TempDir dir;
    Session session = start_program(dir.path);
    send_input(session, "8\n");
    ASSERT_TRUE(read_until(session, menu_prompt() + step_prompt())) << session.out;
    const std::string name = disk_name(reference_file_name(8));
    EXPECT_EQ(folder_entries(dir.path), std::vector<std::string>{name});
    send_input(session, "-1\n");
    const RunResult run = finish(session);
    expect_clean_exit(run, 0);
    std::string table;
    ASSERT_TRUE(read_file(dir.path + "/" + name, &table));
    EXPECT_EQ(table, reference_table(8, -1));
}

TEST(BadInput, OptionsOutsideOneToNineTouchNoFile)
{
    // 4294967297 and -4294967295 would wrap to option 1 in 32 bits.
    for (const char* input : {"0\n", "10\n", "-1\n", "abc\n", "", "  \n", "4294967297\n", "-4294967295\n",
                              "4294967301\n", "+\n"}) {
        SCOPED_TRACE(std::string("input \"") + input + "\"");
        TempDir dir;
        const RunResult run = run_program(dir.path, input);
        expect_clean_exit(run, 0);
        EXPECT_EQ(run.out, menu_prompt() + message(BAD_OPTION_UTF8));
        EXPECT_TRUE(folder_entries(dir.path).empty());
    }
}

TEST(BadInput, StepOfZeroOrNoNumberRemovesTheFileBegun)
{
    for (int option : {7, 8}) {
        for (const char* step : {"0\n", "+0\n", "abc\n", "", "4294967299\n"}) {
            SCOPED_TRACE("option " + std::to_string(option) + " step \"" + step + "\"");
            TempDir dir;
            const RunResult run = run_program(dir.path, std::to_string(option) + "\n" + step);
            expect_clean_exit(run, 0);
            EXPECT_EQ(run.out, menu_prompt() + step_prompt() + message(BAD_STEP_UTF8));
            EXPECT_TRUE(folder_entries(dir.path).empty());
        }
    }
}

TEST(ExistingFiles, LongerFileIsTruncatedAndRewritten)
{
    TempDir dir;
    const std::string path = dir.path + "/" + disk_name(reference_file_name(1));
    {
        FILE* old = std::fopen(path.c_str(), "wb");
        ASSERT_NE(old, nullptr);
        const std::string junk(100000, 'x');
        std::fwrite(junk.data(), 1, junk.size(), old);
        std::fclose(old);
    }
    const RunResult run = run_program(dir.path, "1\n");
    expect_clean_exit(run, 0);
    std::string table;
    ASSERT_TRUE(read_file(path, &table));
    EXPECT_EQ(table, reference_table(1, 0));
}

TEST(ExistingFiles, DirectoryInTheWayGivesTheOptionsMessage)
{
    for (int option = 1; option <= 9; ++option) {
        SCOPED_TRACE("option " + std::to_string(option));
        TempDir dir;
        const std::string name = disk_name(reference_file_name(option));
        ASSERT_EQ(mkdir((dir.path + "/" + name).c_str(), 0755), 0);
        const RunResult run = run_program(dir.path, input_for(option, 3));
        expect_clean_exit(run, 0);
        const char* text = option == 2 ? "Error! Cannot open this file." : "cannot open this file.";
        // No step is asked for: the run ends at the open.
        EXPECT_EQ(run.out, menu_prompt() + message(text));
        EXPECT_EQ(folder_entries(dir.path), std::vector<std::string>{name});
        EXPECT_TRUE(folder_entries(dir.path + "/" + name).empty());
    }
}

// The runner leaves SIGXFSZ at its default action: the program must ignore it
// itself, or the limit kills it with the cut table left behind.
TEST(WriteFailures, FileSizeLimitRemovesTheCutTableAndEndsWithStatusOne)
{
    if (!runs_natively()) {
        GTEST_SKIP() << "file-size limits need the program to run as a Linux process";
    }
    for (int option : {1, 5, 7}) {
        const std::string table = reference_table(option, 1);
        const std::string name = disk_name(reference_file_name(option));
        const std::string prompts = menu_prompt() + (option == 7 ? step_prompt() : "");
        // Short by one byte (the last write), short by a lot (the first), then exactly enough.
        for (long limit : {static_cast<long>(table.size()) - 1, 10L}) {
            SCOPED_TRACE("option " + std::to_string(option) + " limit " + std::to_string(limit));
            TempDir dir;
            const RunResult run = run_program(dir.path, input_for(option, 1), limited_to(limit));
            expect_clean_exit(run, 1);
            EXPECT_EQ(run.out, prompts + message("Error! Cannot write this file."));
            EXPECT_TRUE(folder_entries(dir.path).empty());
        }
        TempDir dir;
        const RunResult run = run_program(dir.path, input_for(option, 1), limited_to(static_cast<long>(table.size())));
        expect_clean_exit(run, 0);
        EXPECT_EQ(run.out, prompts);
        std::string written;
        ASSERT_TRUE(read_file(dir.path + "/" + name, &written));
        EXPECT_EQ(written, table);
    }
}

TEST(WriteFailures, FullDeviceRemovesTheTableAndEndsWithStatusOne)
{
    if (!runs_natively() || access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "needs /dev/full and the program running as a Linux process";
    }
    TempDir dir;
    const std::string name = disk_name(reference_file_name(9));
    ASSERT_EQ(symlink("/dev/full", (dir.path + "/" + name).c_str()), 0);
    const RunResult run = run_program(dir.path, "9\n");
    expect_clean_exit(run, 1);
    EXPECT_EQ(run.out, menu_prompt() + message("Error! Cannot write this file."));
    EXPECT_TRUE(folder_entries(dir.path).empty());
}

// The table's name may be a link: the program writes through a symbolic link
// and into the file a hard link shares. A table it must not leave is left
// under no name, not even as the header it had begun: the file it wrote
// into ends empty where another name keeps it, and is removed where the
// table's name leads to it.
namespace {

void make_file(const std::string& path, const std::string& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
}

// No name left in the folder; under Wine, whose file deletion removes what
// a symbolic link leads to rather than the link, at least no file behind the
// table's name.
void expect_no_table_under(const std::string& dir, const std::string& name)
{
    if (runs_natively()) {
        EXPECT_TRUE(folder_entries(dir).empty());
    } else {
        std::string bytes;
        EXPECT_FALSE(read_file(dir + "/" + name, &bytes)) << "a file is left under the table's name";
    }
}

// The file a symbolic link led to, after the table was given up: gone (the
// Windows build, which knows nothing of the link, may leave it empty).
void expect_link_target_gone(const std::string& target)
{
    std::string bytes;
    if (read_file(target, &bytes)) {
        EXPECT_FALSE(runs_natively()) << target << " is still there";
        EXPECT_TRUE(bytes.empty()) << target << " keeps " << bytes.size() << " bytes of what was written";
    }
}

// A table given up (`input` ends it with `status`, the console saying
// `console`) when its name is a link: through a symbolic link the file it
// led to goes with the link; through a hard link the other name is left
// empty, never holding a cut table.
void expect_nothing_cut_under_any_name(const std::string& name, const std::string& input, int status,
                                       const std::string& console, const ChildSetup& setup = {})
{
    TempDir dir;
    TempDir elsewhere;
    const std::string target = elsewhere.path + "/older table.txt";
    make_file(target, "an older table");
    ASSERT_EQ(symlink(target.c_str(), (dir.path + "/" + name).c_str()), 0);
    RunResult run = run_program(dir.path, input, setup);
    expect_clean_exit(run, status);
    EXPECT_EQ(run.out, console);
    expect_no_table_under(dir.path, name);
    expect_link_target_gone(target);

    TempDir shared;
    const std::string other = shared.path + "/other name.txt";
    make_file(other, "an older table");
    ASSERT_EQ(link(other.c_str(), (shared.path + "/" + name).c_str()), 0);
    run = run_program(shared.path, input, setup);
    expect_clean_exit(run, status);
    EXPECT_EQ(run.out, console);
    EXPECT_EQ(folder_entries(shared.path), std::vector<std::string>{"other name.txt"});
    std::string bytes;
    ASSERT_TRUE(read_file(other, &bytes));
    EXPECT_TRUE(bytes.empty()) << "the other name keeps " << bytes.size() << " bytes of a cut table";
}

}  // namespace

TEST(LinksToTheTable, RefusedStepLeavesNoHalfWrittenFileUnderAnyName)
{
    for (int option : {7, 8}) {
        SCOPED_TRACE("option " + std::to_string(option));
        expect_nothing_cut_under_any_name(disk_name(reference_file_name(option)), std::to_string(option) + "\n0\n", 0,
                                          menu_prompt() + step_prompt() + message(BAD_STEP_UTF8));
    }
}

TEST(LinksToTheTable, WriteFailureLeavesNoCutTableUnderAnyName)
{
    if (!runs_natively()) {
        GTEST_SKIP() << "file-size limits need the program to run as a Linux process";
    }
    expect_nothing_cut_under_any_name(disk_name(reference_file_name(5)), "5\n", 1,
                                      menu_prompt() + message("Error! Cannot write this file."), limited_to(40000));
}

TEST(ClosedStandardOutput, PromptsCannotLandInTheTable)
{
    if (!runs_natively()) {
        GTEST_SKIP() << "closes a descriptor of the Linux process";
    }
    for (int option : {7, 5}) {
        SCOPED_TRACE("option " + std::to_string(option));
        TempDir dir;
        ChildSetup setup;
        setup.stdout_closed = true;
        const RunResult run = run_program(dir.path, input_for(option, 3), setup);
        expect_clean_exit(run, 0);
        EXPECT_EQ(run.out, "");
        std::string table;
        ASSERT_TRUE(read_file(dir.path + "/" + disk_name(reference_file_name(option)), &table));
        const std::string expected = reference_table(option, 3);
        EXPECT_EQ(table.substr(0, 32), expected.substr(0, 32));
        EXPECT_TRUE(table == expected) << "the table differs from the one written with standard output open";
    }
}
