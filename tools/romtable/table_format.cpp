#include "table_format.h"

#include <cstdio>

#include "kinds.h"

namespace {

// The header lines in GBK, as the generator writes them.
constexpr std::string_view FAST_CHANNEL_B = "\xBF\xEC\xCB\xD9" "B\xCD\xA8\xB5\xC0";      // 快速B通道
constexpr std::string_view DAC12_SINE = "\xD5\xFD\xCF\xD2\xCA\xFD\xBE\xDD for DAC12";  // 正弦数据 for DAC12

std::string describe_byte(char c)
{
    const auto b = static_cast<unsigned char>(c);
    char text[32];
    if (b == '\r') {
        return "CR";
    }
    if (b == '\n') {
        return "LF";
    }
    if (b >= 0x20 && b < 0x7F) {
        std::snprintf(text, sizeof text, "'%c'", c);
    } else {
        std::snprintf(text, sizeof text, "byte 0x%02X", b);
    }
    return text;
}

// Walks the bytes once, keeping line and column, and collects problems.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool at_end() const { return pos_ >= bytes_.size(); }
    char peek(std::size_t ahead = 0) const
    {
        return pos_ + ahead < bytes_.size() ? bytes_[pos_ + ahead] : '\0';
    }
    std::size_t position() const { return pos_; }
    std::string_view rest() const { return bytes_.substr(pos_); }
    int line() const { return line_; }
    int column() const { return static_cast<int>(pos_ - line_start_) + 1; }

    void advance(std::size_t count = 1)
    {
        for (std::size_t i = 0; i < count && pos_ < bytes_.size(); ++i) {
            if (bytes_[pos_++] == '\n') {
                ++line_;
                line_start_ = pos_;
            }
        }
    }

    void problem(const std::string& message) { problem_at(line_, column(), message); }
    void problem_at(int line, int column, const std::string& message)
    {
        if (problems_.size() < MAX_PROBLEMS) {
            problems_.push_back({line, column, message});
        } else {
            ++left_out_;
        }
    }

    std::vector<Problem> take_problems()
    {
        if (left_out_ > 0) {
            problems_.push_back({line_, column(), std::to_string(left_out_) + " more problems not listed"});
        }
        return std::move(problems_);
    }

    // A line end here: CR LF. A lone LF is reported and accepted as one, so
    // that one wrong line end does not hide the rest of the file.
    bool line_end()
    {
        if (peek() == '\r' && peek(1) == '\n') {
            advance(2);
            return true;
        }
        if (peek() == '\n') {
            problem("line ends in LF alone; a table's line ends are CR LF");
            advance();
            return true;
        }
        return false;
    }

    // The text of a header line up to its line end; reports what else is there.
    bool expect_line(std::string_view text, const char* what)
    {
        if (rest().substr(0, text.size()) != text) {
            problem(std::string("expected ") + what);
            return false;
        }
        advance(text.size());
        if (!line_end()) {
            problem(std::string("expected the line end after ") + what + ", found " +
                    (at_end() ? "the end of the file" : describe_byte(peek())));
            return false;
        }
        return true;
    }

    // "NAME = n" then a blank or not, then the line end. Signed only if allowed.
    bool number_line(std::string_view name_equals, bool blank, bool is_signed, int32_t* value)
    {
        const std::string label(name_equals.substr(0, name_equals.find(' ')));
        if (rest().substr(0, name_equals.size()) != name_equals) {
            problem("expected the " + label + " line, \"" + std::string(name_equals) + "n\"");
            return false;
        }
        advance(name_equals.size());
        const int number_column = column();
        bool negative = false;
        if (is_signed && peek() == '-') {
            negative = true;
            advance();
        }
        int64_t magnitude = 0;
        int digits = 0;
        while (peek() >= '0' && peek() <= '9') {
            if (digits == 0 && peek() == '0' && peek(1) >= '0' && peek(1) <= '9') {
                problem("leading zero in the " + label + " number");
                return false;
            }
            magnitude = magnitude * 10 + (peek() - '0');
            if (magnitude > 2147483648LL) {
                problem_at(line_, number_column, label + " is outside the 32-bit range");
                return false;
            }
            ++digits;
            advance();
        }
        if (digits == 0) {
            problem("expected the " + label + " number, found " +
                    (at_end() ? "the end of the file" : describe_byte(peek())));
            return false;
        }
        const int64_t signed_value = negative ? -magnitude : magnitude;
        if (signed_value > INT32_MAX) {
            problem_at(line_, number_column, label + " is outside the 32-bit range");
            return false;
        }
        *value = static_cast<int32_t>(signed_value);
        if (blank) {
            if (peek() != ' ') {
                problem("expected a blank before the line end of the " + label + " line");
                return false;
            }
            advance();
        } else if (peek() == ' ') {
            problem("no blank belongs before the line end of the " + label + " line in this header");
            return false;
        }
        if (!line_end()) {
            problem("expected the line end of the " + label + " line, found " +
                    (at_end() ? "the end of the file" : describe_byte(peek())));
            return false;
        }
        return true;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
    std::size_t line_start_ = 0;
    int line_ = 1;
    std::vector<Problem> problems_;
    std::size_t left_out_ = 0;
};

// The optional STEP line of an 8-bit header.
bool read_step(Reader& in, Table* table)
{
    if (in.rest().substr(0, 7) != "STEP = ") {
        return true;
    }
    table->header = Header::Width8Step;
    const int line = in.line();
    if (!in.number_line("STEP = ", true, true, &table->step)) {
        return false;
    }
    if (table->step == 0) {
        in.problem_at(line, 8, "STEP must not be 0");
        return false;
    }
    return true;
}

// The lines up to CONTENT BEGIN: which header it is, DEPTH and STEP.
bool read_header_numbers(Reader& in, Table* table, int* depth_line)
{
    if (in.rest().substr(0, 8) == "DEPTH = ") {
        table->header = Header::Plain;
        return in.number_line("DEPTH = ", false, false, &table->depth);
    }
    if (in.rest().substr(0, 8) != "WIDTH = ") {
        in.problem("not a DAC table: the first line must be \"WIDTH = 16\", \"WIDTH = 8\", "
                   "\"WIDTH = 12\" or \"DEPTH = n\"");
        return false;
    }
    int32_t width = 0;
    if (!in.number_line("WIDTH = ", false, false, &width)) {
        return false;
    }
    if (width != 16 && width != 8 && width != 12) {
        in.problem_at(1, 9, "WIDTH must be 16, 8 or 12, not " + std::to_string(width));
        return false;
    }
    *depth_line = in.line();
    if (!in.number_line("DEPTH = ", true, false, &table->depth)) {
        return false;
    }
    table->header = width == 16 ? Header::Width16 : width == 12 ? Header::Width12 : Header::Width8;
    return width != 8 || read_step(in, table);
}

bool read_header(Reader& in, Table* table)
{
    int depth_line = 1;
    if (!read_header_numbers(in, table, &depth_line)) {
        return false;
    }
    if (table->depth != TABLE_DEPTH) {
        in.problem_at(depth_line, 9, "DEPTH is " + std::to_string(TABLE_DEPTH) + " in every table (points per period), not " +
                      std::to_string(table->depth));
        return false;
    }
    if (!in.expect_line("CONTENT BEGIN:", "\"CONTENT BEGIN:\"")) {
        return false;
    }
    if (table->header == Header::Width8 || table->header == Header::Width8Step) {
        return in.expect_line(FAST_CHANNEL_B, "the fast channel B line (GBK)");
    }
    if (table->header == Header::Width12) {
        return in.expect_line(DAC12_SINE, "the DAC12 sine line (GBK)");
    }
    return true;
}

// "%6d": blanks, then the digits, six characters together (more only when
// the number needs more digits).
bool read_field(Reader& in, uint32_t* value)
{
    const int start_column = in.column();
    int blanks = 0;
    while (in.peek() == ' ') {
        ++blanks;
        in.advance();
    }
    if (in.peek() == '-') {
        in.problem("negative number; no table holds one");
        return false;
    }
    uint64_t number = 0;
    int digits = 0;
    const int digit_column = in.column();
    while (in.peek() >= '0' && in.peek() <= '9') {
        if (digits == 0 && in.peek() == '0' && in.peek(1) >= '0' && in.peek(1) <= '9') {
            in.problem("leading zero in a number");
            return false;
        }
        if (digits < 10) {
            number = number * 10 + static_cast<uint64_t>(in.peek() - '0');
        }
        ++digits;
        in.advance();
    }
    if (digits == 0) {
        in.problem(std::string("expected a number, found ") +
                   (in.at_end() ? "the end of the file (the table is cut short)" : describe_byte(in.peek())));
        return false;
    }
    if (in.at_end()) {
        in.problem("the file ends inside an entry (the table is cut short)");
        return false;
    }
    if (blanks + digits != 6 && !(blanks == 0 && digits > 6)) {
        in.problem_at(in.line(), start_column, "number not right-aligned in a field of six characters");
        return false;
    }
    if (digits > 9) {
        in.problem_at(in.line(), digit_column, "number too large for any table");
        return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

bool read_separator(Reader& in, std::string_view separator)
{
    if (in.rest().substr(0, separator.size()) == separator) {
        in.advance(separator.size());
        return true;
    }
    if (separator.substr(0, in.rest().size()) == in.rest()) {
        in.advance(in.rest().size());
        in.problem("the file ends inside an entry (the table is cut short)");
    } else {
        in.problem("expected \"" + std::string(separator) + "\" after the number, found " + describe_byte(in.peek()));
    }
    return false;
}

// One entry; reports values out of range for the header's converter at the
// number's own column.
bool read_entry(Reader& in, Header header, uint32_t* value)
{
    const int line = in.line();
    const int column = in.column();
    uint32_t first = 0;
    if (!read_field(in, &first) || !read_separator(in, " ,")) {
        return false;
    }
    if (!has_byte_pairs(header)) {
        *value = first;
        const char* wrong = value_problem(header, first);
        if (wrong != nullptr) {
            in.problem_at(line, column, wrong);
        }
        return true;
    }
    if (!read_separator(in, " ")) {
        return false;
    }
    const int low_column = in.column();
    uint32_t low = 0;
    if (!read_field(in, &low) || !read_separator(in, " ,")) {
        return false;
    }
    if (first > 255) {
        in.problem_at(line, column, "a byte is 0 to 255");
    }
    if (low > 255) {
        in.problem_at(line, low_column, "a byte is 0 to 255");
    }
    *value = (first & 0xFF) << 8 | (low & 0xFF);
    const char* wrong = first > 255 || low > 255 ? nullptr : value_problem(header, *value);
    if (wrong != nullptr) {
        in.problem_at(line, column, wrong);
    }
    return true;
}

// The line-break rule of the header: before an entry whose index is a
// multiple of 10, or, in step tables, before every fifth entry.
bool line_end_due(Header header, uint32_t q, uint32_t count)
{
    return header == Header::Width8Step ? count % 5 == 0 : q % 10 == 0;
}

void read_entries(Reader& in, Table* table)
{
    const uint32_t advance = table->header == Header::Width8Step ? static_cast<uint32_t>(table->step) : 1;
    uint32_t q = table->header == Header::Width12 ? 0 : 1;
    uint32_t count = 0;
    uint32_t on_line = 0;
    while (!in.at_end()) {
        if (in.rest() == "\r\n" || in.rest() == "\n") {
            in.problem("the file ends with a line end; a table ends with its last entry's ','");
            return;
        }
        ++count;
        if (line_end_due(table->header, q, count)) {
            if (!in.line_end()) {
                in.problem("expected a line end before entry " + std::to_string(count) +
                           " (the line-break rule of this table), found " + describe_byte(in.peek()));
                return;
            }
            on_line = 0;
        } else if (in.peek() == '\r' || in.peek() == '\n') {
            in.problem("line end after " + std::to_string(on_line) +
                       " entries where the line-break rule of this table puts none");
            return;
        }
        uint32_t value = 0;
        if (!read_entry(in, table->header, &value)) {
            return;
        }
        table->values.push_back(value);
        table->indices.push_back(q);
        ++on_line;
        q += advance;
    }
}

}  // namespace

const char* header_name(Header header)
{
    switch (header) {
    case Header::Plain:
        return "plain (DEPTH only)";
    case Header::Width16:
        return "WIDTH = 16";
    case Header::Width8:
        return "WIDTH = 8";
    case Header::Width8Step:
        return "WIDTH = 8 with STEP";
    case Header::Width12:
        return "WIDTH = 12";
    }
    return "?";
}

bool has_byte_pairs(Header header)
{
    return header == Header::Width8 || header == Header::Width8Step;
}

namespace {

// Line ends that are all LF alone, none CR LF.
bool lf_line_ends_only(std::string_view bytes)
{
    return bytes.find('\n') != std::string_view::npos && bytes.find("\r\n") == std::string_view::npos;
}

CheckResult check_lf_table(std::string_view bytes)
{
    std::string restored;
    restored.reserve(bytes.size() + bytes.size() / 16);
    for (char c : bytes) {
        if (c == '\n') {
            restored += '\r';
        }
        restored += c;
    }
    // A CR before each LF: lines and columns stay those of the file.
    CheckResult result = check_table(restored);
    result.lf_line_ends = true;
    result.lf_line = 1;
    result.lf_column = static_cast<int>(bytes.find('\n')) + 1;
    return result;
}

}  // namespace

CheckResult check_table(std::string_view bytes)
{
    if (lf_line_ends_only(bytes)) {
        return check_lf_table(bytes);
    }
    CheckResult result;
    Reader in(bytes);
    if (read_header(in, &result.table)) {
        result.header_read = true;
        read_entries(in, &result.table);
        const bool stream_whole = in.at_end();
        if (stream_whole) {
            const std::string wrong = count_problem(result.table);
            if (!wrong.empty()) {
                in.problem(wrong);
            }
        }
    }
    result.problems = in.take_problems();
    return result;
}
