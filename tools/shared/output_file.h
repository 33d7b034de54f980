// How the host tools (boardsim, romtable) write every file they make
// (pictures, movies, the flash, a pin trace, exported tables), so that none
// ever lies: the bytes go to a hidden temporary file beside the target,
// every write checked, then flushed, synced to the disk, closed and renamed
// over the target in one step. On any failure the temporary file goes and
// the target stays as it was: never empty, never cut short. A target that
// exists and is no plain file (/dev/null, a pipe) is written in place
// instead, and never removed. An output that is one of the run's inputs, or
// that another output also names, is refused before the run starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace safe_output {

struct OutputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One output being written. Not committed, it leaves nothing behind.
class OutputFile {
public:
    // Makes the temporary file, and the target's folders that do not exist
    // yet; throws OutputError naming the target and the reason when its
    // folder cannot take it. A symbolic link as target stays, and the file
    // it leads to is replaced (or made, when the link dangles).
    explicit OutputFile(std::string target);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& target() const { return target_; }
    // The temporary file, for a program that writes it by its name
    // (gnuplot); empty when the target is written in place.
    const std::string& temporaryPath() const { return temporary_; }
    // Throws OutputError; the temporary file is gone by then.
    void write(std::string_view bytes);
    // Where the next write goes, and moving it, for a format whose header
    // is completed last (a WAV's sizes). Throws OutputError, the temporary
    // file gone, where the target cannot seek (a pipe).
    uint64_t position();
    void seek(uint64_t offset);
    // Flushes, syncs, closes and renames; throws OutputError on any failure.
    void commit();
    // Drops what was written.
    void abandon();

private:
    [[noreturn]] void fail(int error);
    [[noreturn]] void givenUp() const;

    std::string target_;     // as named, for messages
    std::string final_;      // what the rename replaces: the target, its links followed
    std::string temporary_;  // empty when written in place
    FILE* file_ = nullptr;
    int slot_ = -1;  // where a signal's handler finds the temporary file
    int error_ = 0;  // what made it give up, told again by later calls
};

// `bytes` as the whole of `target`, by the rule above.
void writeOutputFile(const std::string& target, std::string_view bytes);

// Throws OutputError naming the file and the reason when `path` could not
// be written by the rule above. Leaves nothing behind (folders that would
// be made are not made yet).
void checkWritable(const std::string& path);

// Whether both name one existing plain file (device and inode, so that
// links count).
bool sameFile(const std::string& a, const std::string& b);

struct NamedOutput {
    std::string option;  // "--lcd", for the message
    std::string path;
};
// Throws OutputError when an output is the image itself or two outputs
// name one file (also through links, or names yet to be made).
void refuseClashingOutputs(const std::string& image, const std::vector<NamedOutput>& outputs);

struct NamedInput {
    std::string what;  // "the image", "the scenario", for the message
    std::string path;
};
// The same with every file the run reads: no output may be one of them.
void refuseClashingOutputs(const std::vector<NamedInput>& inputs, const std::vector<NamedOutput>& outputs);

// For a handler of a signal that ends the process at once: removes every
// temporary file still being written. Async-signal-safe.
void removePendingOutputs();

}  // namespace safe_output
