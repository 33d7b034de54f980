// The page's files, built into boardsim (the page needs no network and the
// server reads no file): its own HTML, script and style, and the npm
// packages it uses (xterm.js).
#pragma once

#include <cstddef>
#include <string>

namespace boardsim {

struct WebAsset {
    const char* path;  // as requested: "/", "/app.js", "/xterm/xterm.js"
    const char* type;  // Content-Type
    const unsigned char* data;
    size_t size;
};

// The file served at `path`, or nullptr.
const WebAsset* findWebAsset(const std::string& path);

}  // namespace boardsim
