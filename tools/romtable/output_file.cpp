#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>

namespace {

// The signals whose default ends the run: while a temporary file is open,
// they remove it first. A file-size limit is ignored meanwhile, so that it
// fails the write (and the temporary file is removed) instead of ending the
// run with the file left behind.
constexpr int ENDING_SIGNALS[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGALRM, SIGUSR1, SIGUSR2};

// The temporary file's name for the handler, kept where it needs no allocation.
char pending_path[PATH_MAX];
volatile std::sig_atomic_t pending = 0;
bool handlers_installed = false;
struct sigaction previous_actions[std::size(ENDING_SIGNALS)];
struct sigaction previous_file_size_action;

extern "C" {
static void remove_pending_output_and_end(int signal_number)
{
    if (pending != 0) {
        unlink(pending_path);
    }
    // The run ends as the signal would have ended it.
    signal(signal_number, SIG_DFL);
    raise(signal_number);
}
}

void install_handlers()
{
    struct sigaction action {};
    action.sa_handler = remove_pending_output_and_end;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(ENDING_SIGNALS); ++i) {
        sigaction(ENDING_SIGNALS[i], &action, &previous_actions[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &previous_file_size_action);
    handlers_installed = true;
}

void restore_handlers()
{
    if (!handlers_installed) {
        return;
    }
    for (std::size_t i = 0; i < std::size(ENDING_SIGNALS); ++i) {
        sigaction(ENDING_SIGNALS[i], &previous_actions[i], nullptr);
    }
    sigaction(SIGXFSZ, &previous_file_size_action, nullptr);
    handlers_installed = false;
}

std::string failure(const std::string& target, int error_number)
{
    return "cannot write " + target + ": " + std::strerror(error_number);
}

// A new file gets the mode any new file gets here (0666 less the umask); a
// replaced one keeps its own.
mode_t mode_for(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

bool write_all(int descriptor, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// The rename is on the disk once the folder's entry is.
void sync_folder(const std::string& folder)
{
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        fsync(descriptor);
        close(descriptor);
    }
}

}  // namespace

bool same_file(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && S_ISREG(first.st_mode) &&
           S_ISREG(second.st_mode) && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

OutputFile::~OutputFile()
{
    abandon();
}

bool OutputFile::open(const std::string& target, std::string* error)
{
    if (pending != 0 || descriptor_ >= 0) {
        *error = "cannot write " + target + ": another output is being written";
        return false;
    }
    target_ = target;
    // Symbolic links followed, so that the rename replaces the file they
    // lead to; a name that does not exist yet stays as it is.
    std::error_code ignored;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, ignored);
    final_ = resolved.empty() ? target : resolved.string();
    const std::filesystem::path final_path(final_);
    const std::string folder = final_path.has_parent_path() ? final_path.parent_path().string() : ".";
    // Hidden, beside the target (a rename cannot cross file systems), its
    // name short enough for any file system.
    temporary_ = folder + "/." + final_path.filename().string().substr(0, 200) + ".romtable-XXXXXX";
    if (temporary_.size() >= sizeof pending_path) {
        *error = "cannot write " + target + ": the name is too long";
        temporary_.clear();
        return false;
    }
    const mode_t mode = mode_for(final_);
    install_handlers();
    std::memcpy(pending_path, temporary_.c_str(), temporary_.size() + 1);
    descriptor_ = mkostemp(pending_path, O_CLOEXEC);
    if (descriptor_ < 0) {
        *error = failure(target, errno);
        temporary_.clear();
        restore_handlers();
        return false;
    }
    temporary_ = pending_path;
    pending = 1;
    fchmod(descriptor_, mode);
    return true;
}

bool OutputFile::write(const std::string& bytes, std::string* error)
{
    if (!write_all(descriptor_, bytes)) {
        *error = failure(target_, errno);
        abandon();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string* error)
{
    if (fsync(descriptor_) != 0) {
        *error = failure(target_, errno);
        abandon();
        return false;
    }
    const int closed = close(descriptor_);
    descriptor_ = -1;
    if (closed != 0 || std::rename(temporary_.c_str(), final_.c_str()) != 0) {
        *error = failure(target_, errno);
        abandon();
        return false;
    }
    pending = 0;
    temporary_.clear();
    restore_handlers();
    sync_folder(std::filesystem::path(final_).parent_path().string());
    return true;
}

void OutputFile::abandon()
{
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
    pending = 0;
    restore_handlers();
}

bool write_output_file(const std::string& target, const std::string& bytes, std::string* error)
{
    struct stat info {};
    if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A device or a pipe takes the bytes as they come; nothing to rename.
        FILE* file = std::fopen(target.c_str(), "wb");
        bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() &&
                       std::fflush(file) == 0;
        const int write_error = errno;
        if (file != nullptr && std::fclose(file) != 0) {
            written = false;
        }
        if (!written) {
            *error = failure(target, write_error);
        }
        return written;
    }
    OutputFile out;
    return out.open(target, error) && out.write(bytes, error) && out.commit(error);
}
