// A checked table's words in the forms firmware and FPGA tools take: a C
// header, or raw 16-bit words for srec_cat to turn into Intel HEX, MIF or COE.
#pragma once

#include <string>

#include "table_format.h"

// A valid C identifier (letters, digits, '_', not starting with a digit).
bool is_c_name(const std::string& name);

// "static const uint16_t NAME[count] = {...};" with a NAME_LENGTH macro and a
// comment naming the source; the words as the table holds them (control bits
// included, a byte pair as its word).
std::string c_header(const Table& table, const std::string& name, const std::string& source);

enum class ByteOrder { Little, Big };
std::string binary_words(const Table& table, ByteOrder order);
