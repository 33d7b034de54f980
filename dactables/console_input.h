// Reads a whole number from the console the way "%d" does, without its
// undefined behaviour on numbers that do not fit.
#pragma once

#include <cstdint>
#include <cstdio>

// Skips white space (C locale: blank, tab, line ends, vertical tab, form feed),
// takes an optional sign and the digits after it and leaves the rest of the
// input for the next read. Returns false, leaving *value alone, when no digit
// follows or the number does not fit in a signed 32-bit integer.
bool read_int32(FILE* in, int32_t* value);
