// Output files that never lie: no input overwritten, no failed write reported
// as success, nothing half-written left behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "ending_signals.h"
#include "run_romtable.h"
#include "test_tables.h"
#include "shared/output_file.h"

TEST(OutputFiles, OutputOntoItsOwnInputIsRefused)
{
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    const std::string symbolic = dir.path + "/symbolic.txt";
    const std::string hard = dir.path + "/hard.txt";
    const std::string original = sample_table(5);
    write_file(table, original);
    ASSERT_EQ(symlink("t.txt", symbolic.c_str()), 0);
    ASSERT_EQ(link(table.c_str(), hard.c_str()), 0);

    // The same file under its own name, through a symbolic link and through a
    // hard link, as input or as output.
    const std::vector<std::vector<std::string>> commands = {
        {"export", "--bin", "le", table, "-o", table},   {"export", "--c", "t", table, "-o", symbolic},
        {"export", "--bin", "be", symbolic, "-o", hard}, {"export", "--c", "t", hard, "-o", table},
        {"plot", table, table},                          {"plot", symbolic, hard},
        {"spectrum", table, symbolic},                   {"spectrum", hard, table},
    };
    for (const std::vector<std::string>& args : commands) {
        const Outcome run = romtable(args);
        SCOPED_TRACE(args[0] + " " + args[1] + " ... " + args.back());
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("is the input table"), std::string::npos) << run.err;
        EXPECT_EQ(read_file(table), original);
        struct stat info {};
        ASSERT_EQ(lstat(symbolic.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
    }
    EXPECT_EQ(read_file(hard), original);
}

TEST(OutputFiles, StandardOutputThatCannotBeWrittenFailsTheCommand)
{
    FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) {
        GTEST_SKIP() << "needs /dev/full";
    }
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    write_file(table, sample_table(9));
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"check", table}, {"show", table}, {"show", "--json", table}}) {
        std::clearerr(full);
        const Outcome run = romtable_into(full, args);
        EXPECT_EQ(run.status, 1) << args[0];
        EXPECT_NE(run.err.find("cannot write standard output"), std::string::npos) << run.err;
    }
    std::fclose(full);
}

TEST(OutputFiles, LinksAtTheOutputAreWrittenThroughAndModesKept)
{
    TempDir dir;
    const std::string table = dir.path + "/t.txt";
    write_file(table, sample_table(9));
    const std::string kept = dir.path + "/kept.h";
    const std::string symbolic = dir.path + "/symbolic.h";
    write_file(kept, "old");
    ASSERT_EQ(chmod(kept.c_str(), 0640), 0);
    ASSERT_EQ(symlink("kept.h", symbolic.c_str()), 0);
    const Outcome run = romtable({"export", "--c", "sine", table, "-o", symbolic});
    ASSERT_EQ(run.status, 0) << run.err;
    // The link stays and leads to the new file, which keeps the old one's mode.
    struct stat info {};
    ASSERT_EQ(lstat(symbolic.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read_file(kept).rfind("/* 4096 words of ", 0), 0u);
    ASSERT_EQ(stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // A new file gets the mode of any new file.
    const mode_t mask = umask(022);
    EXPECT_EQ(romtable({"export", "--bin", "le", table, "-o", dir.path + "/new.bin"}).status, 0);
    umask(mask);
    ASSERT_EQ(stat((dir.path + "/new.bin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
}

TEST(OutputFiles, SignalThatEndsTheRunRemovesTheTemporaryFile)
{
    for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        TempDir dir;
        const std::string target = dir.path + "/out.bin";
        write_file(target, "old");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                const OutputSignalGuard signals;
                safe_output::OutputFile out(target);
                out.write(std::string(100000, 'x'));
                raise(signal_number);
            } catch (const safe_output::OutputError&) {
            }
            _exit(3);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), signal_number);
        EXPECT_EQ(read_file(target), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1)
            << "the temporary file was left";
    }
    // Outside a write, the signals are as they were.
    struct sigaction now {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &now), 0);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(OutputFiles, FailedWritesLeaveTheTargetAndNoTemporaryFile)
{
    TempDir dir;
    const std::string target = dir.path + "/out.bin";
    write_file(target, "old");
    {
        safe_output::OutputFile out(target);
        out.write("new");
        // Given up without a commit, as when a command fails half-way.
    }
    EXPECT_EQ(read_file(target), "old");
    try {
        safe_output::writeOutputFile(target + "/under/a/file.bin", "bytes");
        ADD_FAILURE() << "a file was written under a plain file";
    } catch (const safe_output::OutputError& e) {
        EXPECT_NE(std::string(e.what()).find("Not a directory"), std::string::npos) << e.what();
    }
    safe_output::writeOutputFile(target, "new");
    EXPECT_EQ(read_file(target), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), std::filesystem::directory_iterator()), 1);
}
