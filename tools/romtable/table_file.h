// Reading a table file whole, refusing what cannot be one before reading it.
#pragma once

#include <string>

// Far above the largest table (about 70 KiB): anything bigger is refused
// before it is read into memory.
inline constexpr long long MAX_TABLE_BYTES = 1 << 20;

// The file's bytes, or false with a message in *error: missing or unreadable,
// a directory or other non-regular file that is not a pipe, or too large.
bool read_table_file(const std::string& path, std::string* bytes, std::string* error);
