// Every table the generator writes, checked, shown, plotted and exported by
// the built romtable.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "test_tables.h"

namespace {

// Runs a shell command line, standard output captured; returns the exit status.
int shell(const std::string& command, std::string* out)
{
    out->clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    char block[4096];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, pipe)) > 0) {
        out->append(block, got);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& text)
{
    return "'" + text + "'";  // temporary paths hold no quote
}

// The one table dactables writes in `dir` for this input.
std::string generate(const TempDir& dir, const std::string& input)
{
    std::string out;
    EXPECT_EQ(shell("cd " + quoted(dir.path) + " && printf '" + input + "' | " + DACTABLES_EXE + " >/dev/null", &out), 0);
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        found = entry.path().string();
    }
    EXPECT_FALSE(found.empty()) << input;
    return found;
}

}  // namespace

TEST(GeneratedTables, EveryOptionPassesTheCheckAsItsKind)
{
    struct Case {
        const char* input;
        const char* kind;
    };
    for (const Case& c : {Case{"1\\n", "sine (option 1)"}, Case{"2\\n", "cosine (option 2)"},
                          Case{"3\\n", "(option 3)"}, Case{"4\\n", "TLV5617A words in byte pairs, sine (option 4"},
                          Case{"5\\n", "sine (option 5)"}, Case{"6\\n", "(option 6)"},
                          Case{"7\\n1\\n", "(option 7)"}, Case{"7\\n3\\n", "(option 7)"},
                          Case{"7\\n-1\\n", "(option 7)"}, Case{"7\\n4095\\n", "(option 7)"},
                          Case{"8\\n1\\n", "(option 8)"}, Case{"8\\n-3\\n", "(option 8)"},
                          Case{"8\\n7\\n", "(option 8)"}, Case{"9\\n", "(option 9)"}}) {
        TempDir dir;
        const std::string table = generate(dir, c.input);
        std::string out;
        EXPECT_EQ(shell(std::string(ROMTABLE_EXE) + " check " + quoted(table), &out), 0) << c.input << out;
        EXPECT_NE(out.find(c.kind), std::string::npos) << c.input << out;
        EXPECT_EQ(shell(std::string(ROMTABLE_EXE) + " show " + quoted(table), &out), 0) << c.input;
        EXPECT_NE(out.find("kind:"), std::string::npos) << out;
    }
}

TEST(GeneratedTables, ShowNamesRangeAndVoltages)
{
    TempDir dir;
    const std::string table = generate(dir, "9\\n");
    std::string out;
    ASSERT_EQ(shell(std::string(ROMTABLE_EXE) + " show " + quoted(table), &out), 0);
    EXPECT_NE(out.find("entries:  4096 (sample index 0 to 4095)"), std::string::npos) << out;
    EXPECT_NE(out.find("minimum:  code 0 = 0.0000 V"), std::string::npos) << out;
    EXPECT_NE(out.find("maximum:  code 2703 = 0.9899 V"), std::string::npos) << out;
    EXPECT_NE(out.find("model:    MSP430x2xx DAC12, reference 1.50 V"), std::string::npos) << out;
    EXPECT_NE(out.find("period:   4096 samples (1 per table of 4096)"), std::string::npos) << out;
    EXPECT_NE(out.find("phase:    0.0 degrees"), std::string::npos) << out;
}

TEST(GeneratedTables, SpectralFiguresOfEveryTable)
{
    // The figures of every table the generator writes, as docs/tables.md lists
    // them; any change to the tables, the converter models or the measurement
    // shows here.
    struct Case {
        const char* input;
        double sfdr_dbc;
        double thd_db;
        double sinad_db;
        double enob_bits;
    };
    for (const Case& c : {Case{"1\\n", 72.4963, -71.7485, 52.4870, 8.4264},
                          Case{"2\\n", 72.4963, -71.7485, 52.4870, 8.4264},
                          Case{"3\\n", 72.4963, -71.7485, 52.4870, 8.4264},
                          Case{"4\\n", 72.4963, -71.7485, 52.4870, 8.4264},
                          Case{"5\\n", 82.7437, -84.1874, 64.5824, 10.4356},
                          Case{"6\\n", 69.6802, -67.1293, 62.5070, 10.0909},
                          Case{"7\\n1\\n", 69.6913, -67.1512, 62.5174, 10.0926},
                          Case{"7\\n8\\n", 80.6882, -76.5883, 64.5798, 10.4352},
                          Case{"8\\n2\\n", 82.9659, -83.1031, 64.5819, 10.4355},
                          Case{"8\\n64\\n", 73.3473, -70.4861, 64.9317, 10.4936},
                          Case{"9\\n", 57.1953, -53.5554, 41.5799, 6.6146}}) {
        TempDir dir;
        const std::string table = generate(dir, c.input);
        std::string out;
        ASSERT_EQ(shell(std::string(ROMTABLE_EXE) + " show --json " + quoted(table), &out), 0) << c.input;
        const nlohmann::json spectrum = nlohmann::json::parse(out).at("spectrum");
        ASSERT_TRUE(spectrum.at("measured").get<bool>()) << c.input << out;
        EXPECT_NEAR(spectrum.at("sfdr_dbc").get<double>(), c.sfdr_dbc, 0.01) << c.input;
        EXPECT_NEAR(spectrum.at("thd_db").get<double>(), c.thd_db, 0.01) << c.input;
        EXPECT_NEAR(spectrum.at("sinad_db").get<double>(), c.sinad_db, 0.01) << c.input;
        EXPECT_NEAR(spectrum.at("enob_bits").get<double>(), c.enob_bits, 0.01 / 6.02) << c.input;
    }
    // A step that does not divide the period: no figures, and the reason.
    TempDir dir;
    std::string out;
    ASSERT_EQ(shell(std::string(ROMTABLE_EXE) + " show " + quoted(generate(dir, "8\\n3\\n")), &out), 0);
    EXPECT_NE(out.find("spectrum: no figures: STEP = 3 does not divide 4096"), std::string::npos) << out;
    EXPECT_EQ(out.find("SFDR"), std::string::npos) << out;
}

TEST(GeneratedTables, SpectrumDrawsAPicture)
{
    if (!HAVE_GNUPLOT) {
        GTEST_SKIP() << "gnuplot missing";
    }
    TempDir dir;
    const std::string table = generate(dir, "9\\n");
    const std::string png = dir.path + "/spectrum.png";
    std::string out;
    ASSERT_EQ(shell(std::string(ROMTABLE_EXE) + " spectrum " + quoted(table) + " " + quoted(png) + " 2>&1", &out), 0)
        << out;
    EXPECT_NE(out.find("largest spur 309 cycles per period at -60.73 dBFS, SFDR 57.20 dBc"), std::string::npos) << out;
    const std::string bytes = read_file(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");

    // No figures, no picture.
    TempDir stepped;
    EXPECT_EQ(shell(std::string(ROMTABLE_EXE) + " spectrum " + quoted(generate(stepped, "7\\n3\\n")) + " " +
                        quoted(stepped.path + "/s.png") + " 2>&1",
                    &out),
              1);
    EXPECT_NE(out.find("no figures"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(stepped.path + "/s.png"));
}

TEST(GeneratedTables, PlotDrawsAPicture)
{
    if (!HAVE_GNUPLOT) {
        GTEST_SKIP() << "gnuplot missing";
    }
    TempDir dir;
    const std::string table = generate(dir, "6\\n");
    const std::string png = dir.path + "/plot's picture.png";
    std::string out;
    ASSERT_EQ(shell(std::string(ROMTABLE_EXE) + " plot " + quoted(table) + " \"" + png + "\" 2>&1", &out), 0) << out;
    const std::string bytes = read_file(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1A\n");
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    EXPECT_EQ(byte(16) << 24 | byte(17) << 16 | byte(18) << 8 | byte(19), 960);  // IHDR width
    EXPECT_EQ(byte(20) << 24 | byte(21) << 16 | byte(22) << 8 | byte(23), 540);  // and height

    // Without gnuplot: a message, status 1, no picture.
    std::filesystem::remove(png);
    ASSERT_NE(shell("ROMTABLE_GNUPLOT=/nonexistent/gnuplot " + std::string(ROMTABLE_EXE) + " plot " + quoted(table) +
                        " \"" + png + "\" 2>&1",
                    &out),
              0);
    EXPECT_NE(out.find("gnuplot is not installed"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(png));

    // A folder in the way is refused and stays.
    std::filesystem::create_directory(png);
    EXPECT_NE(shell(std::string(ROMTABLE_EXE) + " plot " + quoted(table) + " \"" + png + "\" 2>&1", &out), 0);
    EXPECT_NE(out.find("is not a plain file"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::is_directory(png));
}

TEST(GeneratedTables, PictureThatCannotBeWrittenLeavesStandardOutputAlone)
{
    if (!HAVE_GNUPLOT) {
        GTEST_SKIP() << "gnuplot missing";
    }
    TempDir dir;
    const std::string table = generate(dir, "5\\n");
    const std::string romtable = std::string(ROMTABLE_EXE);
    std::string out;
    for (const char* command : {" plot ", " spectrum "}) {
        // A file where its folder should be: a reason on standard error,
        // nothing on standard output, no picture.
        const std::string png = table + "/no such folder/p.png";
        EXPECT_EQ(shell(romtable + command + quoted(table) + " " + quoted(png) + " 2>" + quoted(dir.path + "/err"), &out),
                  1)
            << command;
        EXPECT_TRUE(out.empty()) << command << ": " << out.size() << " bytes on standard output";
        EXPECT_NE(read_file(dir.path + "/err").find("no such folder/p.png"), std::string::npos)
            << read_file(dir.path + "/err");
    }

    // A gnuplot that fails, chattering on both of its streams: its messages
    // reach standard error, its output nowhere, and the old picture stays.
    const std::string fake = dir.path + "/fake-gnuplot";
    write_file(fake, "#!/bin/sh\ncat >/dev/null\necho 'picture bytes'\necho 'fake gnuplot: cannot draw' >&2\nexit 1\n");
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    const std::string png = dir.path + "/old.png";
    write_file(png, "old picture");
    EXPECT_EQ(shell("ROMTABLE_GNUPLOT=" + quoted(fake) + " " + romtable + " plot " + quoted(table) + " " + quoted(png) +
                        " 2>" + quoted(dir.path + "/err"),
                    &out),
              1);
    EXPECT_TRUE(out.empty()) << out.size() << " bytes on standard output";
    EXPECT_NE(read_file(dir.path + "/err").find("fake gnuplot: cannot draw"), std::string::npos)
        << read_file(dir.path + "/err");
    EXPECT_EQ(read_file(png), "old picture");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 4)
        << "a temporary file was left";  // table, fake, err, old.png
}

// dactables names its tables in GBK. romtable names them in the locale's
// character set wherever it names them: UTF-8 at a UTF-8 terminal, the bytes
// as they are where the locale cannot show them; the C header's comment in
// UTF-8 whatever the locale; and make plot's log too.
TEST(GeneratedTables, TableNamesReadInTheLocalesCharacterSet)
{
    TempDir dir;
    const std::string table = generate(dir, "5\\n");
    const std::string gbk_name = std::filesystem::path(table).filename().string();
    const std::string utf8_name = "TLV5618_1V正弦数据";
    ASSERT_EQ(gbk_name, "TLV5618_1V\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt");
    const std::string romtable = std::string(ROMTABLE_EXE);
    std::string out;
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 " + romtable + " check " + quoted(table), &out), 0);
    EXPECT_EQ(out, dir.path + "/" + utf8_name + ".txt: ok, 4096 entries, TLV5618 words in byte pairs, sine (option 5)\n");
    ASSERT_EQ(shell("LC_ALL=C " + romtable + " check " + quoted(table), &out), 0);
    EXPECT_EQ(out.rfind(table + ": ok", 0), 0u) << out;
    // A message on standard error, about the output's name.
    EXPECT_EQ(shell("LC_ALL=C.UTF-8 " + romtable + " export --bin le " + quoted(table) + " -o " + quoted(table) + " 2>&1",
                    &out),
              1);
    EXPECT_NE(out.find(utf8_name + ".txt is the input table"), std::string::npos) << out;

    for (const char* locale : {"C", "C.UTF-8"}) {
        ASSERT_EQ(shell(std::string("LC_ALL=") + locale + " " + romtable + " export --c sine " + quoted(table), &out), 0);
        EXPECT_EQ(out.rfind("/* 4096 words of " + dir.path + "/" + utf8_name + ".txt (WIDTH = 8), written by romtable. */\n", 0),
                  0u)
            << locale << ": " << out.substr(0, 120);
    }

    if (!HAVE_GNUPLOT) {
        return;
    }
    const std::string folder = dir.path;
    ASSERT_EQ(shell("LC_ALL=C.UTF-8 " + std::string(PLOT_TABLES_SCRIPT) + " " + romtable + " " + quoted(folder) + " " +
                        quoted(folder + "/plots"),
                    &out),
              0);
    EXPECT_EQ(out, dir.path + "/" + utf8_name + ".txt: ok, 4096 entries, TLV5618 words in byte pairs, sine (option 5)\n"
                   "  -> " + dir.path + "/plots/" + utf8_name + ".png\n");
    EXPECT_TRUE(std::filesystem::exists(dir.path + "/plots/" + gbk_name.substr(0, gbk_name.size() - 4) + ".png"));
}

TEST(GeneratedTables, ResultsOntoAFullDeviceFail)
{
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "needs /dev/full";
    }
    TempDir dir;
    const std::string table = generate(dir, "9\\n");
    std::string out;
    for (const char* command : {" check ", " show ", " show --json "}) {
        EXPECT_EQ(shell(std::string(ROMTABLE_EXE) + command + quoted(table) + " >/dev/full 2>&1", &out), 1)
            << command;
    }
}

namespace {

struct MakeTable {
    int status;
    std::string out;  // standard output and error together
};

// scripts/make-table as `make table OPTION=... STEP=... FORMAT=...` calls it,
// writing into `folder`.
MakeTable make_table(const std::string& folder, const std::string& option, const std::string& step,
                     const std::string& format, const std::string& order = "", const std::string& array = "")
{
    MakeTable run{};
    run.status = shell("LC_ALL=C " + std::string(MAKE_TABLE_SCRIPT) + " " + DACTABLES_EXE + " " + ROMTABLE_EXE + " " +
                           quoted(folder) + " " + quoted(option) + " " + quoted(step) + " " + quoted(format) + " " +
                           quoted(order) + " " + quoted(array) + " 2>&1",
                       &run.out);
    return run;
}

std::string last_line(const std::string& text)
{
    const std::size_t end = text.size() > 0 && text.back() == '\n' ? text.size() - 1 : text.size();
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

std::size_t entries_in(const std::string& folder)
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

}  // namespace

// make table: the table under its GBK name and an ASCII copy, converted by
// romtable export as asked, and a last line naming every file.
TEST(MakeTable, TheTableUnderBothNamesAndInTheFormatAsked)
{
    TempDir made_by_hand;
    const std::string expected = read_file(generate(made_by_hand, "5\\n"));
    const std::string gbk_name = "TLV5618_1V\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt";
    struct Case {
        const char* format;
        const char* order;
        std::string file;
        std::vector<std::string> export_args;
        std::string said;
    };
    const Case cases[] = {
        {"", "", "", {}, ""},
        {"txt", "", "", {}, ""},
        {"c", "", "TLV5618_1V_sine_data.h", {"--c", "TLV5618_1V_sine_data"}, " bytes, the array TLV5618_1V_sine_data)"},
        {"bin", "", "TLV5618_1V_sine_data.bin", {"--bin", "le"}, " bytes, 16-bit words, little-endian)"},
        {"bin", "be", "TLV5618_1V_sine_data.bin", {"--bin", "be"}, " bytes, 16-bit words, big-endian)"},
        {"hex", "", "TLV5618_1V_sine_data.hex", {"--hex"}, " bytes)"},
        {"mif", "", "TLV5618_1V_sine_data.mif", {"--mif"}, " bytes)"},
        {"coe", "", "TLV5618_1V_sine_data.coe", {"--coe"}, " bytes)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("FORMAT=") + c.format + " ORDER=" + c.order);
        TempDir dir;
        const std::string folder = dir.path + "/tables";  // made when missing
        const MakeTable run = make_table(folder, "5", "", c.format, c.order);
        ASSERT_EQ(run.status, 0) << run.out;
        EXPECT_EQ(read_file(folder + "/" + gbk_name), expected);
        EXPECT_EQ(read_file(folder + "/TLV5618_1V_sine_data.txt"), expected);
        std::string said = "make table: wrote " + folder + "/TLV5618_1V正弦数据.txt and " + folder +
                           "/TLV5618_1V_sine_data.txt (70503 bytes each)";
        if (!c.file.empty()) {
            std::vector<std::string> args = {"export"};
            args.insert(args.end(), c.export_args.begin(), c.export_args.end());
            args.push_back("tables/TLV5618_1V_sine_data.txt");
            const std::string place = dir.path;
            std::string command = "cd " + quoted(place) + " && " + ROMTABLE_EXE;
            for (const std::string& arg : args) {
                command += " " + quoted(arg);
            }
            std::string converted;
            ASSERT_EQ(shell(command, &converted), 0);
            // The C header's comment names the table as the script gave it.
            const std::string written = read_file(folder + "/" + c.file);
            EXPECT_EQ(replaced_all(written, folder, "tables"), converted);
            said += ", " + folder + "/" + c.file + " (" + std::to_string(written.size()) + c.said;
        }
        EXPECT_EQ(last_line(run.out), said);
        EXPECT_EQ(entries_in(folder), c.file.empty() ? 2u : 3u) << "a file left over";
    }

    // An ASCII name of its own needs no copy; a step table's ASCII name.
    TempDir dir;
    MakeTable run = make_table(dir.path, "1", "", "");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(last_line(run.out), "make table: wrote " + dir.path + "/sin_ROM.txt (33616 bytes)");
    run = make_table(dir.path, "8", "3", "c", "", "square");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(read_file(dir.path + "/TLV5618_step_sine+square_data.h").find("uint16_t square[square_LENGTH]"),
              std::string::npos);
    EXPECT_EQ(read_file(dir.path + "/TLV5618_step_sine+square_data.txt").substr(0, 50),
              read_file(dir.path + "/TLV5618_\xB2\xBD\xBD\xF8\xC1\xBF\xD5\xFD\xCF\xD2+\xB7\xBD\xB2\xA8\xCA\xFD\xBE\xDD.txt")
                  .substr(0, 50));
    EXPECT_EQ(entries_in(dir.path), 4u);
}

// Wrong values are refused before anything is written; a step dactables
// refuses writes nothing and leaves the table of that name from before.
TEST(MakeTable, WhatCannotBeMadeIsSaidAndNothingIsLost)
{
    TempDir dir;
    const std::string folder = dir.path;
    ASSERT_EQ(make_table(folder, "7", "5", "").status, 0);
    const std::string table = folder + "/TLV5618_\xB2\xBD\xBD\xF8\xC1\xBF\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD.txt";
    const std::string before = read_file(table);

    MakeTable run = make_table(folder, "7", "0", "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(last_line(run.out), "make table: nothing written: dactables says: Error! 步进量输入错误！");
    EXPECT_EQ(read_file(table), before);

    struct Case {
        const char* option;
        const char* step;
        const char* format;
        const char* order;
        const char* says;
    };
    for (const Case& c : {Case{"", "", "", "", "OPTION=N names the table, 1 to 9"},
                          Case{"10", "", "", "", "got '10'"},
                          Case{"7", "", "", "", "OPTION=7 needs STEP=S"},
                          Case{"8", "3x", "", "", "STEP=S is a whole number, got '3x'"},
                          Case{"5", "2", "", "", "STEP goes with OPTION=7 or 8 only"},
                          Case{"5", "", "xml", "", "FORMAT is txt, c, bin, hex, mif or coe, got 'xml'"},
                          Case{"5", "", "bin", "middle", "ORDER is le or be"},
                          Case{"5", "", "hex", "le", "ORDER goes with FORMAT=bin"}}) {
        run = make_table(folder, c.option, c.step, c.format, c.order);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << run.out;
    }
    EXPECT_EQ(entries_in(folder), 2u) << "only the tables of OPTION=7 STEP=5";
}

// A disk that takes only part of the picture (a file-size limit; gnuplot
// ends well all the same): a failure, and the old picture stays whole.
TEST(GeneratedTables, APictureCutShortFailsAndLeavesTheOldOne)
{
    if (!HAVE_GNUPLOT) {
        GTEST_SKIP() << "gnuplot missing";
    }
    TempDir dir;
    const std::string table = generate(dir, "5\\n");
    const std::string png = dir.path + "/old.png";
    write_file(png, "old picture");
    std::string out;
    for (const char* command : {" plot ", " spectrum "}) {
        EXPECT_EQ(shell("ulimit -f 8 && " + std::string(ROMTABLE_EXE) + command + quoted(table) + " " + quoted(png) +
                            " 2>&1",
                        &out),
                  1)
            << command << out;
        EXPECT_NE(out.find("cut short"), std::string::npos) << out;
        EXPECT_EQ(read_file(png), "old picture");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 2)
        << "a temporary file was left";  // table, old.png
}

// A signal while gnuplot draws ends gnuplot too: it leaves no temporary
// file behind after romtable has removed it.
TEST(GeneratedTables, ASignalWhileGnuplotDrawsLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string table = generate(dir, "5\\n");
    // A slow gnuplot: it writes its picture a while after it started.
    const std::string fake = dir.path + "/slow-gnuplot";
    write_file(fake, "#!/bin/sh\n"
                     "out=$(sed -n \"s/^set output '\\\\(.*\\\\)'$/\\\\1/p\")\n"
                     "touch " + dir.path + "/started\nsleep 1\nprintf picture > \"$out\"\n");
    ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    std::string out;
    const std::string folder = dir.path;
    EXPECT_NE(shell("cd " + quoted(folder) + " && { ROMTABLE_GNUPLOT=" + quoted(fake) + " " + ROMTABLE_EXE +
                        " plot " + quoted(table) + " p.png & } && while [ ! -e started ]; do sleep 0.05; done && "
                        "kill -TERM $! && wait $!; status=$?; sleep 2; exit $status",
                    &out),
              0);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "slow-gnuplot" || name == "started" || entry.path().string() == table) << name << " left";
    }
}
