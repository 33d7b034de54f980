// romtable: checks, describes, plots and converts the DAC tables of dactables.
#include <cstdio>

#include "commands.h"

int main(int argc, char** argv)
{
    return run_romtable(argc, argv, stdout, stderr);
}
