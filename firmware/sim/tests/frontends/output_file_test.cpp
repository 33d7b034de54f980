// One output file by the rule every boardsim output follows, on its own:
// a symbolic link as target stays and the file it leads to is replaced,
// keeping its mode (or made, when the link dangles); folders not there yet
// are made; a failure is told again by every later call; a name two
// outputs share, through links or not yet made, is refused.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "frontends/common/output_file.h"
#include "support/scratch_dir.h"

using namespace boardsim;
using boardsim::testing::contains;
using boardsim::testing::ScratchDir;
using boardsim::testing::slurp;

TEST(OutputFile, ALinkStaysAndTheFileItLeadsToIsReplacedKeepingItsMode)
{
    const ScratchDir dir;
    const std::string real = dir.file("real.txt");
    std::ofstream(real) << "old\n";
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink("real.txt", dir.file("link.txt"));
    writeOutputFile(dir.file("link.txt"), "new\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(slurp(real), "new\n");
    struct stat info {};
    ASSERT_EQ(stat(real.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()),
              2);

    EXPECT_THROW(writeOutputFile(dir.path().string(), "x"), OutputError);
}

TEST(OutputFile, ADanglingLinkMakesTheFileItLeadsTo)
{
    const ScratchDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink("sub/made.txt", dir.file("link.txt"));
    checkWritable(dir.file("link.txt"));
    writeOutputFile(dir.file("link.txt"), "through the link\n");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(slurp(dir.file("sub/made.txt")), "through the link\n");
}

TEST(OutputFile, FoldersNotYetThereAreMadeWhenWrittenAndNotWhenChecked)
{
    const ScratchDir dir;
    checkWritable(dir.file("reports/ci/junit.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir.file("reports")));
    writeOutputFile(dir.file("reports/ci/junit.xml"), "<x/>\n");
    EXPECT_EQ(slurp(dir.file("reports/ci/junit.xml")), "<x/>\n");

    // A file where a folder should be is no folder to make.
    std::ofstream(dir.file("plain")) << "a file\n";
    EXPECT_THROW(checkWritable(dir.file("plain/sub/x.png")), OutputError);
    EXPECT_THROW(writeOutputFile(dir.file("plain/sub/x.png"), "x"), OutputError);
    EXPECT_EQ(slurp(dir.file("plain")), "a file\n");
}

TEST(OutputFile, AfterAFailedWriteEveryLaterCallTellsWhatEndedIt)
{
    if (access("/dev/full", W_OK) != 0) {
        GTEST_SKIP() << "needs /dev/full";
    }
    OutputFile full("/dev/full");
    EXPECT_THROW(
        {
            full.write(std::string(size_t{1} << 16, 'x'));
            full.commit();
        },
        OutputError);
    for (int i = 0; i < 2; ++i) {
        try {
            full.write("more");
            full.commit();
            ADD_FAILURE() << "a given-up output took more";
        } catch (const OutputError& e) {
            EXPECT_TRUE(contains(e.what(), "No space left on device")) << e.what();
        }
    }
}

TEST(OutputFile, TwoOutputsOfOneFileOrOneThatIsTheImageAreRefused)
{
    const ScratchDir dir;
    const std::string image = dir.file("image.elf");
    std::ofstream(image) << "an image\n";
    std::filesystem::create_hard_link(image, dir.file("hard.elf"));
    const auto refused = [&](const std::vector<NamedOutput>& outputs, const std::string& says) {
        try {
            refuseClashingOutputs(image, outputs);
        } catch (const OutputError& e) {
            return contains(e.what(), says);
        }
        return false;
    };
    EXPECT_TRUE(refused({{"--save-flash", dir.file("hard.elf")}}, "is the image"));
    EXPECT_TRUE(refused({{"--lcd", dir.file("a.png")}, {"--vcd", dir.path().string() + "/./a.png"}},
                        "--lcd " + dir.file("a.png") + " and --vcd"));
    EXPECT_NO_THROW(refuseClashingOutputs(image, {{"--lcd", dir.file("a.png")}, {"--lcd-movie", dir.file("a.gif")},
                                                 {"--vcd", "/dev/null"}, {"--save-flash", "/dev/null"}}));
}
