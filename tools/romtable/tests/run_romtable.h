// The command line run in this process, its streams caught in temporary files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// romtable ARGS...
Outcome romtable(std::vector<std::string> args);

// romtable ARGS... with standard output going to `out` (out stays empty).
Outcome romtable_into(FILE* out, std::vector<std::string> args);
