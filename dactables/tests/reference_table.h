// An independent, deliberately plain rendering of each table (snprintf per
// entry, straight from the format's description), to compare whole files with.
#pragma once

#include <cstdint>
#include <string>

// The table bytes of menu option 1 to 9; step is used by options 7 and 8.
std::string reference_table(int option, int32_t step);

// The GBK file name of menu option 1 to 9.
std::string reference_file_name(int option);
