#include "table_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool read_table_file(const std::string& path, std::string* bytes, std::string* error)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        *error = path + ": is a directory, not a table file";
        return false;
    }
    if (S_ISREG(info.st_mode) && info.st_size > MAX_TABLE_BYTES) {
        *error = path + ": " + std::to_string(static_cast<long long>(info.st_size)) +
                 " bytes, too large for a table (at most " + std::to_string(MAX_TABLE_BYTES) + ")";
        return false;
    }
    const std::unique_ptr<FILE, CloseFile> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    // Pipes and devices have no size: read one byte past the limit to tell.
    bytes->clear();
    char block[65536];
    std::size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file.get())) > 0) {
        bytes->append(block, got);
        if (static_cast<long long>(bytes->size()) > MAX_TABLE_BYTES) {
            *error = path + ": more than " + std::to_string(MAX_TABLE_BYTES) + " bytes, too large for a table";
            return false;
        }
    }
    if (std::ferror(file.get())) {
        *error = path + ": cannot be read: " + std::strerror(errno);
        return false;
    }
    return true;
}
