// One output file by the rule every boardsim output follows, on its own:
// a symbolic link as target stays and the file it leads to is replaced,
// keeping its mode; a name two outputs share, through links or not yet
// made, is refused.
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
    EXPECT_THROW(checkWritable(dir.file("no/such/folder.png")), OutputError);
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
