// romtable: checks, describes, plots and converts the DAC tables of dactables.
#include <clocale>
#include <cstdio>

#include "commands.h"

int main(int argc, char** argv)
{
    // Table names are shown in the terminal's character set; numbers keep
    // the C locale's decimal point.
    std::setlocale(LC_CTYPE, "");
    return run_romtable(argc, argv, stdout, stderr);
}
