#include "console.h"

#include "console_input.h"
#include "gbk_text.h"
#include "options.h"
#include "table_discard.h"
#include "table_writer.h"
#include "waveform.h"

int32_t STEP = 0;

namespace {

constexpr char MSG_CANNOT_WRITE[] = "Error! Cannot write this file.";

// Large enough to keep off the stack; one table per session.
TableOut table;

// A message and its line end, as puts() writes it.
void put_line(const char* text, FILE* out)
{
    std::fputs(text, out);
    std::fputc('\n', out);
}

int32_t ask_option(FILE* in, FILE* out)
{
    std::fputs(MENU_TEXT, out);
    std::fputs(PROMPT_OPTION, out);
    std::fflush(out);
    int32_t option = 0;
    read_int32(in, &option);  // anything but a number leaves 0, which is refused
    return option;
}

}  // namespace

int run_console(FILE* in, FILE* out)
{
    STEP = 0;  // a step that is no number must be refused in every session
    const OptionRow* row = option_row(ask_option(in, out));
    if (row == nullptr) {
        put_line(MSG_BAD_OPTION, out);
        return 0;
    }

    FILE* file = std::fopen(row->file_name, "w+b");
    if (file == nullptr) {
        put_line(row->open_failure_message, out);
        return 0;
    }
    table_begin(&table, file);
    write_header_top(&table, row->header, N);

    if (row->stepped) {
        std::fputs(PROMPT_STEP, out);
        std::fflush(out);
        read_int32(in, &STEP);
        // A step of 0 would never end the table; a step that is no number is 0.
        if (STEP == 0) {
            discard_table(&table, row->file_name);
            put_line(MSG_BAD_STEP, out);
            return 0;
        }
    }
    write_header_rest(&table, row->header, STEP);
    write_entries(&table, row, static_cast<uint32_t>(STEP));

    // A table cut short looks whole to whoever reads it: better none at all,
    // under any name of the file.
    if (!table_flush(&table) || !table_close(&table)) {
        discard_table(&table, row->file_name);
        put_line(MSG_CANNOT_WRITE, out);
        return 1;
    }
    return 0;
}
