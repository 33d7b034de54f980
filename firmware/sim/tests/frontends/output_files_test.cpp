// boardsim's files never lie: a write that fails fails the run and leaves
// nothing behind, no input is overwritten, a signal ends the run with its
// files complete up to that moment, and standard output that cannot be
// written fails the run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "support/child_process.h"

using boardsim::testing::Child;
using boardsim::testing::CommandResult;
using boardsim::testing::contains;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;
using boardsim::testing::waitFor;

namespace {

CommandResult runBoardsim(std::vector<std::string> args)
{
    args.insert(args.begin(), BOARDSIM_EXE);
    return boardsim::testing::runCommand(args);
}

// boardsim run by a shell that first does `shell` (a redirection).
CommandResult runBoardsimAfter(const std::string& shell, std::vector<std::string> args)
{
    args.insert(args.begin(), {"sh", "-c", shell + " && exec \"$0\" \"$@\"", BOARDSIM_EXE});
    return boardsim::testing::runCommand(args);
}

// boardsim on a disk that takes nothing more: no file may grow (a file-size
// limit of 0). Its messages come through a pipe, which the limit spares,
// its status on the last line.
CommandResult runBoardsimOnAFullDisk(std::vector<std::string> args)
{
    args.insert(args.begin(), {"sh", "-c", "{ (ulimit -f 0 && exec \"$0\" \"$@\") 2>&1; echo \"status $?\"; } | cat",
                               BOARDSIM_EXE});
    CommandResult r = boardsim::testing::runCommand(args);
    const size_t last = r.out.rfind("status ");
    r.err = r.out.substr(0, last == std::string::npos ? 0 : last);
    r.status = last == std::string::npos ? -1 : std::stoi(r.out.substr(last + 7));
    return r;
}

std::vector<std::string> namesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

// A disk that takes nothing more (a file-size limit of 0), and /dev/full.
TEST(OutputFiles, AWriteThatFailsFailsTheRunAndLeavesEveryFileAsItWas)
{
    const ScratchDir dir;
    std::ofstream(dir.file("old.png")) << "the picture of yesterday\n";
    const std::vector<std::vector<std::string>> outputs = {
        {"--lcd", dir.file("old.png")},      {"--lcd", dir.file("new.png")},
        {"--lcd", dir.file("new.pbm")},      {"--lcd-at", "500k:" + dir.file("at.png")},
        {"--lcd-movie", dir.file("m.gif")},  {"--save-flash", dir.file("flash.bin")},
        {"--dac-out", dir.file("d.wav")},
    };
    for (const auto& output : outputs) {
        std::vector<std::string> args = {FIRMWARE_ELF, "--run", "1M", "--quiet"};
        args.insert(args.end(), output.begin(), output.end());
        const CommandResult r = runBoardsimOnAFullDisk(args);
        SCOPED_TRACE(output[0] + " " + output[1]);
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.err, "cannot write " + dir.path().string())) << r.err;
        EXPECT_TRUE(contains(r.err, "File too large")) << r.err;
        EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"old.png"});
        EXPECT_EQ(slurp(dir.file("old.png")), "the picture of yesterday\n");
    }
    for (const char* option : {"--lcd", "--lcd-movie", "--save-flash", "--dac-out"}) {
        const CommandResult r = runBoardsim({FIRMWARE_ELF, "--run", "1M", "--quiet", option, "/dev/full"});
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_TRUE(contains(r.err, "cannot write /dev/full: No space left on device")) << option << ": " << r.err;
    }
}

TEST(OutputFiles, AnOutputThatIsTheImageOrThatAnotherOutputNamesIsRefused)
{
    const ScratchDir dir;
    const std::string image = dir.file("image.elf");
    std::filesystem::copy_file(FIRMWARE_ELF, image);
    std::filesystem::create_symlink("image.elf", dir.file("symbolic.elf"));
    std::filesystem::create_hard_link(image, dir.file("hard.elf"));
    const std::string original = slurp(image);

    for (const char* name : {"image.elf", "symbolic.elf", "hard.elf"}) {
        for (const char* option : {"--save-flash", "--lcd-movie", "--lcd", "--dac-out"}) {
            const CommandResult r = runBoardsim({image, "--run", "100k", option, dir.file(name)});
            EXPECT_EQ(r.status, 1) << option << " " << name;
            EXPECT_TRUE(contains(r.err, "is the image " + image + " itself")) << r.err;
            EXPECT_EQ(r.out, "") << "refused before the run";
        }
    }
    EXPECT_EQ(slurp(image), original);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("symbolic.elf")));

    const CommandResult twice =
        runBoardsim({image, "--run", "100k", "--lcd", dir.file("x"), "--lcd-movie", dir.path().string() + "/./x"});
    EXPECT_EQ(twice.status, 1);
    EXPECT_TRUE(contains(twice.err, "name the same file")) << twice.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
}

// What a long run was asked to write is there, whole, up to the moment the
// signal came; boardsim then ends by that signal, as a shell expects.
TEST(OutputFiles, ASignalEndsAPlainRunWithItsFilesWrittenUpToThatMoment)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        const ScratchDir dir;
        Child boardsim({BOARDSIM_EXE, FIRMWARE_ELF, "--run", "100000s", "--lcd-movie", dir.file("m.gif"), "--lcd",
                        dir.file("p.png"), "--save-flash", dir.file("flash.bin"), "--dac-out", dir.file("d.wav"),
                        "--dac-rate", "1k"});
        ASSERT_TRUE(waitFor([&] { return contains(boardsim.out(), "UART0  \"Hello"); })) << boardsim.err();
        boardsim.signal(signal);
        const auto status = boardsim.exitStatus();
        ASSERT_TRUE(status) << "signal " << signal << " did not end the run";
        EXPECT_EQ(*status, -1) << "not ended by the signal: " << boardsim.err();
        const std::string name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        EXPECT_TRUE(contains(boardsim.out(), "stop   interrupted (" + name + ")")) << boardsim.out().substr(0, 2000);

        const std::string movie = slurp(dir.file("m.gif"));
        EXPECT_EQ(movie.substr(0, 6), "GIF89a") << name;
        EXPECT_TRUE(endsWith(movie, ";")) << name << ": the movie has no trailer";
        const std::string picture = slurp(dir.file("p.png"));
        EXPECT_EQ(picture.substr(0, 4), "\x89PNG") << name;
        EXPECT_TRUE(endsWith(picture, std::string("IEND\xae\x42\x60\x82", 8))) << name << ": the picture is cut";
        EXPECT_EQ(std::filesystem::file_size(dir.file("flash.bin")), 256u * 1024u) << name;
        // The WAV's header says how much follows, and that much does.
        const std::string wav = slurp(dir.file("d.wav"));
        ASSERT_GT(wav.size(), 8u) << name;
        EXPECT_EQ(wav.substr(0, 4), "RIFF") << name;
        const auto riffSize = uint32_t(uint8_t(wav[4]) | uint8_t(wav[5]) << 8 | uint8_t(wav[6]) << 16 |
                                       uint32_t(uint8_t(wav[7])) << 24);
        EXPECT_EQ(riffSize + 8u, wav.size()) << name;
        EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"d.wav", "flash.bin", "m.gif", "p.png"})) << name;
    }
}

TEST(OutputFiles, StandardOutputThatCannotBeWrittenFailsTheRun)
{
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {FIRMWARE_ELF, "--report", "--json"}, {FIRMWARE_ELF, "--report"}, {FIRMWARE_ELF, "--run", "1M"}}) {
        const CommandResult r = runBoardsimAfter("exec > /dev/full", args);
        EXPECT_EQ(r.status, 1) << args[1];
        EXPECT_TRUE(contains(r.err, "cannot write standard output: No space left on device")) << r.err;
    }
}
