// A checked table's words in the forms firmware and FPGA tools take: a C
// header, raw 16-bit words, Intel HEX, an Intel (Altera) MIF or a Xilinx COE.
// Every form holds the words as the table holds them (control bits included,
// a byte pair as its word), one per entry.
#pragma once

#include <string>

#include "table_format.h"

// A valid C identifier (letters, digits, '_', not starting with a digit).
bool is_c_name(const std::string& name);

// "static const uint16_t NAME[count] = {...};" with a NAME_LENGTH macro and a
// comment naming the source (in UTF-8, as C sources are).
std::string c_header(const Table& table, const std::string& name, const std::string& source);

enum class ByteOrder { Little, Big };
std::string binary_words(const Table& table, ByteOrder order);

// The big-endian words at byte addresses from 0, 16 bytes a data record,
// after an extended linear address record for each 64 KiB.
std::string intel_hex(const Table& table);

// WIDTH = 16, DEPTH = the entries, a word in hex at each address; a comment
// naming the source (in UTF-8).
std::string memory_initialization_file(const Table& table, const std::string& source);

// Radix 16, the words separated by commas, the last ended by a semicolon.
std::string coefficient_file(const Table& table);
