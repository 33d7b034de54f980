// The whole console flow of dactables: menu, choice, step, one table file in
// the current folder. Callable with any pair of streams, so that it can be
// driven without a process of its own.
#pragma once

#include <cstdint>
#include <cstdio>

// The step read for options 7 and 8 (0 until one has been read).
extern int32_t STEP;

// Runs one session: reads the choice (and step) from in, prints the menu,
// prompts and messages to out. Returns the program's exit status.
int run_console(FILE* in, FILE* out);
