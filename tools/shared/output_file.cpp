#include "shared/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>

namespace safe_output {
namespace {

// The temporary files being written, where a signal's handler can reach
// them without allocating: a few at most are open at once (a trace
// streaming while a picture is written).
constexpr size_t kSlots = 8;
std::array<std::array<char, PATH_MAX>, kSlots> gPendingPaths{};
std::array<volatile std::sig_atomic_t, kSlots> gPendingUsed{};

int claimSlot()
{
    for (size_t i = 0; i < kSlots; ++i) {
        if (gPendingUsed[i] == 0) {
            return int(i);
        }
    }
    return -1;
}

std::string failure(const std::string& target, int error)
{
    return "cannot write " + target + ": " + std::strerror(error);
}

// A new file gets the mode any new file gets here (0666 less the umask); a
// replaced one keeps its own.
mode_t modeFor(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool existsAsOther(const std::string& path, struct stat& info)
{
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// The rename is on the disk once the folder's entry is.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        ::close(fd);
    }
}

// Where a chain of symbolic links ends, also when its last link leads to
// a name that does not exist yet (a dangling link is written through, as
// an existing one is, rather than replaced by a plain file).
std::filesystem::path linkEnd(const std::filesystem::path& path)
{
    std::filesystem::path at = path;
    std::error_code error;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(at, error); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(at, error);
        if (error) {
            break;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at;
}

std::string resolved(const std::string& path)
{
    std::error_code ignored;
    const std::filesystem::path full =
        std::filesystem::weakly_canonical(linkEnd(std::filesystem::absolute(path)), ignored);
    return full.empty() ? path : full.string();
}

// The nearest folder of `folder` (itself or a parent) that exists; throws
// OutputError when something else than a folder stands in the way.
std::string existingFolder(const std::string& target, std::filesystem::path folder)
{
    struct stat info {};
    while (stat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT || !folder.has_relative_path()) {
            throw OutputError(failure(target, errno));
        }
        folder = folder.parent_path();
    }
    if (!S_ISDIR(info.st_mode)) {
        throw OutputError(failure(target, ENOTDIR));
    }
    return folder.string();
}

// Folders the target is to go into are made, with their parents.
void makeFolders(const std::string& target, const std::string& folder)
{
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw OutputError("cannot write " + target + ": cannot make the folder " + folder + ": " + error.message());
    }
}

}  // namespace

OutputFile::OutputFile(std::string target) : target_(std::move(target))
{
    struct stat info {};
    if (existsAsOther(target_, info)) {
        if (S_ISDIR(info.st_mode)) {
            throw OutputError("cannot write " + target_ + ": is a directory");
        }
        // A device or a pipe takes the bytes as they come; nothing to rename.
        file_ = std::fopen(target_.c_str(), "wb");
        if (file_ == nullptr) {
            throw OutputError(failure(target_, errno));
        }
        return;
    }
    // Symbolic links followed, so that the rename replaces the file they
    // lead to; a name that does not exist yet stays as it is.
    final_ = resolved(target_);
    const std::filesystem::path finalPath(final_);
    const std::string folder = finalPath.has_parent_path() ? finalPath.parent_path().string() : ".";
    existingFolder(target_, folder);
    makeFolders(target_, folder);
    // Hidden, beside the target (a rename cannot cross file systems), its
    // name short enough for any file system; the program's name in it
    // says who left it, should a run be killed.
    const std::string pattern = folder + "/." + finalPath.filename().string().substr(0, 200) + "." +
                                program_invocation_short_name + "-XXXXXX";
    if (pattern.size() >= PATH_MAX) {
        throw OutputError("cannot write " + target_ + ": the name is too long");
    }
    slot_ = claimSlot();
    if (slot_ < 0) {
        throw OutputError("cannot write " + target_ + ": too many files open at once");
    }
    char* path = gPendingPaths[size_t(slot_)].data();
    std::memcpy(path, pattern.c_str(), pattern.size() + 1);
    const int fd = mkostemp(path, O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        slot_ = -1;
        throw OutputError(failure(target_, error));
    }
    gPendingUsed[size_t(slot_)] = 1;
    temporary_ = path;
    fchmod(fd, modeFor(final_));
    file_ = fdopen(fd, "wb");
    if (file_ == nullptr) {
        const int error = errno;
        ::close(fd);
        abandon();
        throw OutputError(failure(target_, error));
    }
}

OutputFile::~OutputFile()
{
    abandon();
}

void OutputFile::fail(int error)
{
    abandon();
    error_ = error;
    throw OutputError(failure(target_, error));
}

void OutputFile::givenUp() const
{
    if (error_ != 0) {
        throw OutputError(failure(target_, error_));  // what ended it, again
    }
    throw OutputError("cannot write " + target_ + ": it was given up");
}

void OutputFile::write(std::string_view bytes)
{
    if (file_ == nullptr) {
        givenUp();
    }
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        fail(errno);
    }
}

uint64_t OutputFile::position()
{
    if (file_ == nullptr) {
        throw OutputError("cannot write " + target_ + ": it was given up");
    }
    const off_t at = ftello(file_);
    if (at < 0) {
        fail(errno);
    }
    return uint64_t(at);
}

void OutputFile::seek(uint64_t offset)
{
    if (file_ == nullptr) {
        throw OutputError("cannot write " + target_ + ": it was given up");
    }
    if (offset > uint64_t(std::numeric_limits<off_t>::max())) {
        fail(EFBIG);
    }
    if (fseeko(file_, off_t(offset), SEEK_SET) != 0) {
        fail(errno);
    }
}

void OutputFile::commit()
{
    if (file_ == nullptr) {
        givenUp();
    }
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        fail(errno != 0 ? errno : EIO);
    }
    if (!temporary_.empty() && fsync(fileno(file_)) != 0) {
        fail(errno);
    }
    FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        fail(errno);
    }
    if (temporary_.empty()) {
        return;  // written in place
    }
    if (std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        fail(errno);
    }
    gPendingUsed[size_t(slot_)] = 0;
    slot_ = -1;
    temporary_.clear();
    syncFolder(std::filesystem::path(final_).parent_path().string());
}

void OutputFile::abandon()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    if (slot_ >= 0) {
        gPendingUsed[size_t(slot_)] = 0;
        slot_ = -1;
    }
}

void writeOutputFile(const std::string& target, std::string_view bytes)
{
    OutputFile file(target);
    file.write(bytes);
    file.commit();
}

void checkWritable(const std::string& path)
{
    struct stat info {};
    if (existsAsOther(path, info) && !S_ISDIR(info.st_mode)) {
        // Opened only when written: a pipe would wait here for its reader.
        if (access(path.c_str(), W_OK) != 0) {
            throw OutputError(failure(path, errno));
        }
        return;
    }
    // Folders still to be made are made only when the file is written:
    // the nearest one that exists must take them.
    const std::filesystem::path target = resolved(path);
    const std::string folder = existingFolder(path, target.has_parent_path() ? target.parent_path() : ".");
    if (folder != target.parent_path().string()) {
        if (access(folder.c_str(), W_OK | X_OK) != 0) {
            throw OutputError(failure(path, errno));
        }
        return;
    }
    const OutputFile probe(path);  // made, and removed again unused
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && S_ISREG(first.st_mode) &&
           S_ISREG(second.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void refuseClashingOutputs(const std::string& image, const std::vector<NamedOutput>& outputs)
{
    std::vector<NamedInput> inputs;
    if (!image.empty()) {
        inputs.push_back({"the image", image});
    }
    refuseClashingOutputs(inputs, outputs);
}

void refuseClashingOutputs(const std::vector<NamedInput>& inputs, const std::vector<NamedOutput>& outputs)
{
    struct stat info {};
    for (size_t i = 0; i < outputs.size(); ++i) {
        const NamedOutput& out = outputs[i];
        if (existsAsOther(out.path, info)) {
            continue;  // /dev/null may take any number of outputs
        }
        const auto input = std::find_if(inputs.begin(), inputs.end(),
                                        [&](const NamedInput& in) { return sameFile(in.path, out.path); });
        if (input != inputs.end()) {
            throw OutputError(out.option + " " + out.path + " is " + input->what + " " + input->path +
                              " itself (the same file): choose another name");
        }
        for (size_t j = 0; j < i; ++j) {
            const NamedOutput& earlier = outputs[j];
            if (sameFile(earlier.path, out.path) || resolved(earlier.path) == resolved(out.path)) {
                throw OutputError(earlier.option + " " + earlier.path + " and " + out.option + " " + out.path +
                                  " name the same file: one would replace the other");
            }
        }
    }
}

void removePendingOutputs()
{
    for (size_t i = 0; i < kSlots; ++i) {
        if (gPendingUsed[i] != 0) {
            unlink(gPendingPaths[i].data());
        }
    }
}

}  // namespace safe_output
