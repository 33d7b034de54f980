// The command line on files that are no tables, and its statuses.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "commands.h"
#include "run_romtable.h"
#include "test_tables.h"


TEST(Commands, FilesThatAreNoTablesGetAClearError)
{
    TempDir dir;
    const std::string big = dir.path + "/big.txt";
    {
        FILE* file = std::fopen(big.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fclose(file);
        ASSERT_EQ(truncate(big.c_str(), 2LL << 30), 0);  // 2 GiB, sparse
    }
    std::string noise(70000, '\0');
    std::mt19937 random(14);
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    write_file(dir.path + "/noise.bin", noise);

    struct Case {
        std::string path;
        const char* says;
    };
    for (const Case& c : {Case{dir.path, "is a directory"}, Case{dir.path + "/missing.txt", "No such file"},
                          Case{big, "too large for a table"}}) {
        for (const char* command : {"check", "show"}) {
            const Outcome run = romtable({command, c.path});
            EXPECT_EQ(run.status, 1) << command << " " << c.path;
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        }
    }
    const Outcome noisy = romtable({"check", dir.path + "/noise.bin"});
    EXPECT_EQ(noisy.status, 1);
    EXPECT_NE(noisy.out.find("noise.bin:1:1: not a DAC table"), std::string::npos) << noisy.out;
}

TEST(Commands, CheckPrintsEachProblemWithLineAndColumn)
{
    TempDir dir;
    const std::string good = dir.path + "/good.txt";
    const std::string bad = dir.path + "/bad.txt";
    write_file(good, sample_table(2));
    write_file(bad, replaced(replaced(sample_table(2), "  1372 ,", "  1373 ,"), "\r\n", "\n", 40));

    const Outcome ok = romtable({"check", good});
    EXPECT_EQ(ok.status, 0);
    EXPECT_NE(ok.out.find("good.txt: ok, 4096 entries, TLV5617A codes, cosine (option 2)"), std::string::npos)
        << ok.out;

    const Outcome failed = romtable({"check", bad});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.out.find("bad.txt:3:1: a TLV5617A code is a multiple of 4"), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("bad.txt:3:73: line ends in LF alone"), std::string::npos) << failed.out;
    EXPECT_NE(failed.out.find("2 problem(s)"), std::string::npos) << failed.out;

    // show and export refuse a damaged table instead of describing it.
    EXPECT_EQ(romtable({"show", bad}).status, 1);
    EXPECT_EQ(romtable({"export", "--bin", "le", bad}).status, 1);
}

namespace {

std::size_t lines_in(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

}  // namespace

// A table whose CR LF became LF: check reports it once; the commands that
// use a table read it with one warning and give what the table itself gives.
TEST(Commands, LfLineEndsAreOneProblemForCheckAndOneWarningForTheOthers)
{
    TempDir dir;
    const std::string sound = dir.path + "/sound.txt";
    const std::string lf = dir.path + "/lf.txt";
    write_file(sound, sample_table(5));
    write_file(lf, replaced_all(sample_table(5), "\r\n", "\n"));

    const Outcome check = romtable({"check", lf});
    EXPECT_EQ(check.status, 1);
    EXPECT_EQ(lines_in(check.out), 2u) << check.out;
    EXPECT_NE(check.out.find("lf.txt:1:10: all 413 line ends are LF, not CR LF"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("lf.txt: 1 problem(s)"), std::string::npos) << check.out;

    const std::vector<std::vector<std::string>> commands = {
        {"show"}, {"show", "--json"}, {"export", "--c", "sine"}, {"export", "--bin", "le"}, {"export", "--mif"}};
    for (const std::vector<std::string>& command : commands) {
        std::vector<std::string> on_sound = command;
        std::vector<std::string> on_lf = command;
        on_sound.push_back(sound);
        on_lf.push_back(lf);
        const Outcome expected = romtable(on_sound);
        const Outcome run = romtable(on_lf);
        EXPECT_EQ(run.status, 0) << command[0] << run.err;
        EXPECT_EQ(lines_in(run.err), 1u) << run.err;
        EXPECT_EQ(run.err.rfind("romtable: warning: " + lf + ": all 413 line ends are LF", 0), 0u) << run.err;
        // The way back, for the very file.
        EXPECT_NE(run.err.find("sed -i '$!s/$/\\r/' '" + lf + "'"), std::string::npos) << run.err;
        if (command[0] == "export") {
            // The comments name the file they came from; the words are the same.
            EXPECT_EQ(replaced_all(run.out, "lf.txt", "sound.txt"), expected.out) << command[1];
        } else {
            EXPECT_EQ(run.out, expected.out);
        }
    }
    if (std::system("command -v gnuplot >/dev/null 2>&1") != 0) {
        return;  // the pictures need gnuplot, which make test installs
    }
    for (const char* command : {"plot", "spectrum"}) {
        const std::string png = dir.path + "/" + command + ".png";
        const Outcome run = romtable({command, lf, png});
        EXPECT_EQ(run.status, 0) << command << run.err;
        EXPECT_EQ(lines_in(run.err), 1u) << run.err;
        EXPECT_NE(run.err.find("line ends are LF"), std::string::npos) << run.err;
        EXPECT_TRUE(std::filesystem::exists(png)) << command;
    }
}

TEST(Commands, ShowGivesTheSameFiguresAsTextAndAsJson)
{
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    write_file(table, sample_table(5));
    const Outcome text = romtable({"show", table});
    const Outcome json = romtable({"show", "--json", table});
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::json report = nlohmann::json::parse(json.out);
    EXPECT_EQ(report.at("options"), nlohmann::json::array({5}));
    EXPECT_EQ(report.at("entries"), 4096);
    EXPECT_EQ(report.at("step"), nullptr);
    EXPECT_EQ(report.at("maximum").at("code"), 1374);
    EXPECT_EQ(report.at("period_samples"), 4096.0);
    const nlohmann::json& spectrum = report.at("spectrum");
    ASSERT_TRUE(spectrum.at("measured").get<bool>());
    EXPECT_EQ(spectrum.at("fundamental").at("bin"), 1);
    for (const char* figure : {"sfdr_dbc", "thd_db", "sinad_db", "enob_bits"}) {
        char printed[32];
        std::snprintf(printed, sizeof printed, "%.2f", spectrum.at(figure).get<double>());
        EXPECT_NE(text.out.find(printed), std::string::npos) << figure << " " << printed << "\n" << text.out;
    }

    // Without a period: the reason in both, and null figures in JSON.
    write_file(table, sample_table(8, -1));
    const nlohmann::json few = nlohmann::json::parse(romtable({"show", "--json", table}).out);
    EXPECT_EQ(few.at("period_samples"), nullptr);
    EXPECT_FALSE(few.at("spectrum").at("measured").get<bool>());
    EXPECT_EQ(few.at("spectrum").at("note").get<std::string>().rfind("no figures: ", 0), 0u);
    EXPECT_NE(romtable({"show", table}).out.find("spectrum: no figures: "), std::string::npos);
}

TEST(Commands, RateGivesTheFiguresInHertzOfTheTableAsPlayed)
{
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    struct Case {
        int option;
        int32_t step;
        double rate;
        double hz;  // the waveform played at that rate: one entry per update
    };
    // Option 5: 4096 entries a period; STEP 8: 512; option 6: a loop of 4095.
    for (const Case& c : {Case{5, 1, 8000, 8000.0 / 4096}, Case{7, 8, 28800, 28800.0 / 512},
                          Case{6, 1, 40950, 10}, Case{7, 3, 8000, 8000.0 * 3 / 4096}}) {
        write_file(table, sample_table(c.option, c.step));
        const Outcome json = romtable({"show", "--json", "--rate", std::to_string(c.rate), table});
        ASSERT_EQ(json.status, 0) << json.err;
        const nlohmann::json report = nlohmann::json::parse(json.out);
        EXPECT_DOUBLE_EQ(report.at("rate_hz").get<double>(), c.rate);
        EXPECT_NEAR(report.at("frequency_hz").get<double>(), c.hz, 1e-9 * c.hz) << c.option << " " << c.step;
        const nlohmann::json& spectrum = report.at("spectrum");
        if (spectrum.at("measured").get<bool>()) {
            // A bin is rate / samples hertz wide.
            const double width = c.rate / spectrum.at("samples").get<double>();
            EXPECT_NEAR(spectrum.at("largest_spur").at("hz").get<double>(),
                        spectrum.at("largest_spur").at("bin").get<double>() * width, 1e-9);
        }
        const Outcome text = romtable({"show", table, "--rate", std::to_string(c.rate)});
        char hz[32];
        std::snprintf(hz, sizeof hz, "at %g Hz", c.hz);
        EXPECT_NE(text.out.find(hz), std::string::npos) << hz << "\n" << text.out;
    }
    // Without --rate, no hertz.
    EXPECT_FALSE(nlohmann::json::parse(romtable({"show", "--json", table}).out).contains("rate_hz"));
    for (const char* bad : {"0", "-8000", "8k", "", "nan"}) {
        const Outcome run = romtable({"show", "--rate", bad, table});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("--rate"), std::string::npos) << run.err;
    }
    EXPECT_EQ(romtable({"show", table, "--rate"}).status, 2);
}

TEST(Commands, WrongCommandLinesGetUsage)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"check"}, {"check", "a", "b"}, {"plot", "a"}, {"show", "--xml", "a"}, {"spectrum", "a"},
             {"export", "--bin", "middle", "a"}, {"export", "--c", "9lives", "a"}, {"export", "--hex", "a", "b"},
             {"frobnicate", "a"}}) {
        const Outcome run = romtable(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(Commands, ExportWritesTheWholeFileOrLeavesTheOldOne)
{
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    write_file(table, sample_table(9));
    const Outcome run = romtable({"export", "--bin", "be", table, "-o", dir.path + "/t.bin"});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string bytes = read_file(dir.path + "/t.bin");
    ASSERT_EQ(bytes.size(), 8192u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]), 1365);

    struct stat device {};
    if (stat("/dev/full", &device) == 0 && S_ISCHR(device.st_mode) && access("/dev/full", W_OK) == 0) {
        const Outcome full = romtable({"export", "--c", "sine", table, "-o", "/dev/full"});
        EXPECT_EQ(full.status, 1);
        EXPECT_NE(full.err.find("cannot write"), std::string::npos);
        // A device is written in place and stays.
        ASSERT_EQ(stat("/dev/full", &device), 0);
        EXPECT_TRUE(S_ISCHR(device.st_mode));
    }
    // A write cut short (by a file-size limit, in a child process) leaves the
    // old file as it was, and no temporary file beside it.
    const std::string limited = dir.path + "/limited.h";
    write_file(limited, "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // SIGXFSZ left at its default, which would end the run: romtable must
        // ignore it by itself while it writes.
        const rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const char* argv[] = {"romtable", "export", "--c", "sine", table.c_str(), "-o", limited.c_str()};
        FILE* null = std::fopen("/dev/null", "w");
        _exit(run_romtable(7, argv, null, null));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(read_file(limited), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 3)
        << "a temporary file was left";  // t.txt, t.bin, limited.h
    const Outcome nowhere = romtable({"export", "--c", "sine", table, "-o", dir.path + "/t.txt/dir.h"});
    EXPECT_EQ(nowhere.status, 1);
    // Folders not there yet are made.
    const Outcome deeper = romtable({"export", "--c", "sine", table, "-o", dir.path + "/new/folder/t.h"});
    EXPECT_EQ(deeper.status, 0) << deeper.err;
    EXPECT_TRUE(std::filesystem::exists(dir.path + "/new/folder/t.h"));
}
