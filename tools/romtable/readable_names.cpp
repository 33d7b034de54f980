#include "readable_names.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

namespace {

bool ascii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// `text` converted by iconv, or nothing when some byte cannot be.
std::optional<std::string> converted(const std::string& text, const char* from, const char* to)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string out(text.size() * 4 + 16, '\0');
    std::string in = text;
    char* in_at = in.data();
    std::size_t in_left = in.size();
    char* out_at = out.data();
    std::size_t out_left = out.size();
    const std::size_t done = iconv(cd, &in_at, &in_left, &out_at, &out_left);
    const bool whole = done != static_cast<std::size_t>(-1) &&
                       iconv(cd, nullptr, nullptr, &out_at, &out_left) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!whole || in_left != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - out_left);
    return out;
}

std::string part_in(const std::string& part, const char* charset)
{
    if (ascii(part)) {
        return part;
    }
    const char* from = is_utf8(part) ? "UTF-8" : "GBK";
    if (std::strcmp(from, charset) == 0) {
        return part;
    }
    return converted(part, from, charset).value_or(part);
}

std::string path_in(const std::string& path, const char* charset)
{
    if (ascii(path)) {
        return path;
    }
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = path.find('/', from);
        out += part_in(path.substr(from, slash == std::string::npos ? std::string::npos : slash - from), charset);
        if (slash == std::string::npos) {
            return out;
        }
        out += '/';
        from = slash + 1;
    }
}

}  // namespace

bool is_utf8(const std::string& text)
{
    return ascii(text) || converted(text, "UTF-8", "UTF-8").has_value();
}

std::string readable_path(const std::string& path)
{
    const char* charset = nl_langinfo(CODESET);
    return path_in(path, charset != nullptr && *charset != '\0' ? charset : "ANSI_X3.4-1968");
}

std::string utf8_path(const std::string& path)
{
    return path_in(path, "UTF-8");
}

std::string with_readable_paths(std::string message, std::initializer_list<std::string> paths)
{
    for (const std::string& path : paths) {
        const std::string shown = readable_path(path);
        if (path.empty() || shown == path) {
            continue;
        }
        for (std::size_t at = message.find(path); at != std::string::npos; at = message.find(path, at + shown.size())) {
            message.replace(at, path.size(), shown);
        }
    }
    return message;
}
