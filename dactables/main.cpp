// dactables: prints the menu, reads the choice and writes that one table into
// the current folder. Standard C I/O only: this must build for Windows too.
#include <cstdint>
#include <cstdio>

#include "console_input.h"
#include "gbk_text.h"
#include "options.h"
#include "table_writer.h"
#include "waveform.h"

int32_t STEP = 0;

namespace {

constexpr char MSG_CANNOT_WRITE[] = "Error! Cannot write this file.";

// Large enough to keep off the stack; one table per run.
TableOut table;

int32_t ask_option()
{
    std::fputs(MENU_TEXT, stdout);
    std::fputs(PROMPT_OPTION, stdout);
    std::fflush(stdout);
    int32_t option = 0;
    read_int32(stdin, &option);  // anything but a number leaves 0, which is refused
    return option;
}

}  // namespace

int main()
{
    const OptionRow* row = option_row(ask_option());
    if (row == nullptr) {
        std::puts(MSG_BAD_OPTION);
        return 0;
    }

    FILE* file = std::fopen(row->file_name, "w+b");
    if (file == nullptr) {
        std::puts(row->open_failure_message);
        return 0;
    }
    table_begin(&table, file);
    write_header_top(&table, row->header, N);

    if (row->stepped) {
        std::fputs(PROMPT_STEP, stdout);
        std::fflush(stdout);
        read_int32(stdin, &STEP);
        // A step of 0 would never end the table; a step that is no number is 0.
        if (STEP == 0) {
            table_close(&table);
            std::remove(row->file_name);
            std::puts(MSG_BAD_STEP);
            return 0;
        }
    }
    write_header_rest(&table, row->header, STEP);
    write_entries(&table, row, static_cast<uint32_t>(STEP));

    // A table cut short looks whole to whoever reads it: better none at all.
    if (!table_close(&table)) {
        std::remove(row->file_name);
        std::puts(MSG_CANNOT_WRITE);
        return 1;
    }
    return 0;
}
