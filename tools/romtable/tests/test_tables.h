// Tables made in the tests from the format's rules and the converters'
// formulas, independent of dactables, to check and to corrupt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The table of menu option 1 to 9 (step for 7 and 8), as the generator writes it.
std::string sample_table(int option, int32_t step = 1);

// The bytes with the text `from` (first occurrence at or after `after`)
// replaced by `to`; fails the test when it is not there.
std::string replaced(const std::string& bytes, const std::string& from, const std::string& to, std::size_t after = 0);

// The bytes with every occurrence of `from` replaced by `to`.
std::string replaced_all(std::string bytes, const std::string& from, const std::string& to);

// A fresh folder, removed with its contents when the test ends.
struct TempDir {
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string path;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
