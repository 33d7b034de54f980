#include "table_discard.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
bool same_file(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file the table was written into: through the open stream while there is
// one, else through the name.
bool written_file(const TableOut* out, const char* file_name, struct stat* info)
{
    const int status = out->file != nullptr ? fstat(fileno(out->file), info) : stat(file_name, info);
    return status == 0 && S_ISREG(info->st_mode);
}

// The name opened with "w+" may be a symbolic link: the table then went into
// the file it leads to, which is removed as the name would have been.
void remove_file_behind_link(const char* file_name, const struct stat& written)
{
    struct stat link_info {};
    if (lstat(file_name, &link_info) != 0 || !S_ISLNK(link_info.st_mode)) {
        return;
    }
    char target[PATH_MAX];
    struct stat target_info {};
    if (realpath(file_name, target) != nullptr && stat(target, &target_info) == 0 &&
        S_ISREG(target_info.st_mode) && same_file(target_info, written)) {
        unlink(target);
    }
}
#endif

}  // namespace

void discard_table(TableOut* out, const char* file_name)
{
    out->used = 0;  // what the block still holds never reaches the file
#ifdef _WIN32
    if (out->file != nullptr) {
        _chsize(_fileno(out->file), 0);
    }
#else
    struct stat written {};
    bool emptied = false;
    if (written_file(out, file_name, &written)) {
        emptied = out->file != nullptr ? ftruncate(fileno(out->file), 0) == 0 : truncate(file_name, 0) == 0;
    }
#endif
    if (out->file != nullptr) {
        std::fclose(out->file);
        out->file = nullptr;
    }
#ifndef _WIN32
    if (emptied) {
        remove_file_behind_link(file_name, written);
    }
#endif
    std::remove(file_name);
}
