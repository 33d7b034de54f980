// File names as the person reading romtable's output can read them.
// dactables names its tables in GBK bytes, which a UTF-8 terminal shows as
// garbage; a path may also mix a folder named in UTF-8 with a GBK table name.
// Each part of a path between slashes is taken as UTF-8 when it is valid
// UTF-8, else as GBK, and converted to the character set the locale names
// (LC_CTYPE, as set up by setlocale). A part that cannot be converted keeps
// its own bytes, as does every name in a locale whose character set cannot
// hold it (the C locale's ASCII).
#pragma once

#include <initializer_list>
#include <string>

// The path in the locale's character set.
std::string readable_path(const std::string& path);

// Whether the bytes are valid UTF-8.
bool is_utf8(const std::string& text);

// The path in UTF-8, whatever the locale: for text written into files.
std::string utf8_path(const std::string& path);

// `message` with every occurrence of each path replaced by its readable form:
// for messages made elsewhere (the output-file rule, gnuplot) that quote a
// path as its bytes.
std::string with_readable_paths(std::string message, std::initializer_list<std::string> paths);
