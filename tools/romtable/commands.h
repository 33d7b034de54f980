// The romtable command line: check, show, plot and export. Status 0 on
// success, 1 when the file is no sound table or cannot be read or written,
// 2 for a wrong command line.
#pragma once

#include <cstdio>

int run_romtable(int argc, const char* const* argv, FILE* out, FILE* err);
