// libFuzzer harness: the whole console flow with arbitrary standard input, in
// a fresh folder per input. Whatever the input, the run must end (libFuzzer's
// timeout catches a hang), leave at most one file, leave only a complete table,
// and print the menu first and then one of the few things a session can print.
#include <dirent.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console.h"
#include "gbk_text.h"

namespace {

struct TableKind {
    const char* file_name;
    int option;
};

// The file each menu option writes, named here on their own so that a table
// in the wrong place is noticed.
const TableKind TABLE_KINDS[] = {
    {"sin_ROM.txt", 1},
    {"cos_ROM.txt", 2},
    {"TLV5617_fast_sin_ROM.txt", 3},
    {"TLV5617_fast_sin_ROM_2.txt", 4},
    {FILE_TLV5618_SINE, 5},
    {FILE_TLV5618_SINE_SQUARE, 6},
    {FILE_TLV5618_STEP_SINE, 7},
    {FILE_TLV5618_STEP_SINE_SQUARE, 8},
    {FILE_DAC12_SINE, 9},
};

std::string base_folder;
std::string start_folder;  // libFuzzer reads its corpus by relative paths from here

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "console_fuzzer: %s\n", what.c_str());
    std::abort();
}

std::string read_file(const std::string& name)
{
    std::string bytes;
    FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        fail("cannot read back " + name);
    }
    char buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.append(buffer, got);
    }
    std::fclose(file);
    return bytes;
}

std::vector<std::string> folder_entries()
{
    std::vector<std::string> names;
    DIR* dir = opendir(".");
    if (dir == nullptr) {
        fail("cannot list the run folder");
    }
    while (const dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    closedir(dir);
    return names;
}

// Samples q = 1, 1 + step, 1 + 2 step, ... below 4096, with q an unsigned
// 32-bit number: ceil(4095 / step) for a step up to 4095; beyond that the
// second q is 1 + step modulo 2^32, below 4096 only for a step of -1 (q = 0,
// after which q = 2^32 - 1 ends the table).
uint32_t stepped_entries(uint32_t step)
{
    if (step <= 4095) {
        return (4095 + step - 1) / step;
    }
    return step == UINT32_MAX ? 2 : 1;
}

uint32_t expected_entries(int option, const std::string& table)
{
    if (option == 6) {
        return 4095;
    }
    if (option != 7 && option != 8) {
        return 4096;
    }
    const size_t at = table.find("\r\nSTEP = ");
    if (at == std::string::npos) {
        fail("stepped table without a STEP line");
    }
    const long step = std::strtol(table.c_str() + at + 9, nullptr, 10);
    if (step == 0) {
        fail("table written for a step of 0");
    }
    return stepped_entries(static_cast<uint32_t>(step));
}

// The table is complete: it ends with the last entry's "," and holds as many
// entries as its option writes (a byte pair is two numbers, two commas).
void check_table(const std::string& name)
{
    const TableKind* kind = nullptr;
    for (const TableKind& k : TABLE_KINDS) {
        if (name == k.file_name) {
            kind = &k;
        }
    }
    if (kind == nullptr) {
        fail("unexpected file left: " + name);
    }
    const std::string table = read_file(name);
    if (table.empty() || table.back() != ',') {
        fail(name + " does not end with ','");
    }
    size_t commas = 0;
    for (const char c : table) {
        commas += c == ',' ? 1 : 0;
    }
    const bool byte_pairs = kind->option >= 4 && kind->option <= 8;
    const size_t entries = byte_pairs ? commas / 2 : commas;
    if ((byte_pairs && commas % 2 != 0) || entries != expected_entries(kind->option, table)) {
        fail(name + " holds " + std::to_string(commas) + " numbers, not the option's entry count");
    }
}

// After the menu and the option prompt a session prints nothing more (a
// table was written), the option error, the step prompt (a stepped table was
// written) or the step prompt and the step error.
void check_console(const std::string& out, bool table_left)
{
    const std::string start = std::string(MENU_TEXT) + PROMPT_OPTION;
    if (out.compare(0, start.size(), start) != 0) {
        fail("the console output does not start with the menu and prompt");
    }
    const std::string rest = out.substr(start.size());
    const std::string step_prompt = PROMPT_STEP;
    const bool table_written = rest.empty() || rest == step_prompt;
    const bool refused = rest == std::string(MSG_BAD_OPTION) + "\n" ||
                         rest == step_prompt + MSG_BAD_STEP + "\n";
    if (!table_written && !refused) {
        fail("unexpected console output after the prompt: " + rest);
    }
    if (table_written != table_left) {
        fail(table_left ? "a table was left after an error message" : "no table left and no error message");
    }
}

void remove_base_folder()
{
    rmdir(base_folder.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/)
{
    // Every input makes and removes a folder and a file: on a memory file
    // system that costs microseconds, on a disk it can cost milliseconds.
    const char* tmp = std::getenv("TMPDIR");
    if (tmp == nullptr || *tmp == '\0') {
        tmp = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    }
    std::string pattern = std::string(tmp) + "/dactables-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        fail("cannot make a temporary folder");
    }
    base_folder = pattern;
    char* here = getcwd(nullptr, 0);
    if (here == nullptr) {
        fail("cannot tell the current folder");
    }
    start_folder = here;
    std::free(here);
    std::atexit(remove_base_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string folder = base_folder + "/runXXXXXX";
    if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) {
        fail("cannot enter a fresh run folder");
    }

    // fmemopen refuses an empty buffer: an empty input is an empty file.
    std::vector<char> input(data, data + size);
    FILE* in = size > 0 ? fmemopen(input.data(), size, "r") : std::fopen("/dev/null", "r");
    char* out_buffer = nullptr;
    size_t out_size = 0;
    FILE* out = open_memstream(&out_buffer, &out_size);
    if (in == nullptr || out == nullptr) {
        fail("cannot open the console streams");
    }

    const int status = run_console(in, out);
    std::fclose(in);
    std::fclose(out);
    const std::string console(out_buffer, out_size);
    std::free(out_buffer);

    if (status != 0) {
        fail("exit status " + std::to_string(status));
    }
    const std::vector<std::string> left = folder_entries();
    if (left.size() > 1) {
        fail(std::to_string(left.size()) + " files left");
    }
    if (left.size() == 1) {
        check_table(left[0]);
    }
    check_console(console, left.size() == 1);

    for (const std::string& name : left) {
        std::remove(name.c_str());
    }
    if (chdir(start_folder.c_str()) != 0 || rmdir(folder.c_str()) != 0) {
        fail("cannot clean up " + folder);
    }
    return 0;
}
