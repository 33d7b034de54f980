// How every output file of romtable is written, so that none ever lies: the
// bytes go to a temporary file beside the target, every write checked, synced
// to the disk and closed, then renamed over the target in one step. On any
// failure, or a signal that ends the run, the temporary file is removed and
// the target is left as it was: never empty, never cut short. An output that
// is the input itself (also through a symbolic or hard link) is refused.
#pragma once

#include <string>

// Whether both paths name one existing plain file (same device and inode, so
// that links count).
bool same_file(const std::string& a, const std::string& b);

// One output file being written. The target may be a symbolic link: the file
// it leads to is replaced and the link stays.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file unless it was committed.
    ~OutputFile();

    // Makes the temporary file; false with a message when its folder cannot
    // take it. Only one OutputFile may be open at a time.
    bool open(const std::string& target, std::string* error);

    // The temporary file, for programs that write it themselves (gnuplot).
    const std::string& temporary_path() const { return temporary_; }
    int descriptor() const { return descriptor_; }

    bool write(const std::string& bytes, std::string* error);

    // Syncs, closes and renames the temporary file over the target.
    bool commit(std::string* error);

private:
    void abandon();

    std::string target_;     // as named, for messages
    std::string final_;      // what the rename replaces: the target, its links followed
    std::string temporary_;
    int descriptor_ = -1;
};

// The bytes written to target by the rule above. A target that exists and is
// no plain file (a device, a pipe) is written in place instead, and never
// removed.
bool write_output_file(const std::string& target, const std::string& bytes, std::string* error);
