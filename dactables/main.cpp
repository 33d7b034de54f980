// dactables: prints the menu, reads the choice and writes that one table into
// the current folder. Standard C I/O only: this must build for Windows too.
#include <cstdio>

#include "console.h"

int main()
{
    return run_console(stdin, stdout);
}
