// Giving up a table that must not stay: neither under its name nor under any
// other name of the file it was written into.
#pragma once

#include "table_writer.h"

// Drops what is not yet written, empties the file (a hard link elsewhere then
// keeps an empty file rather than a cut table) and closes it if it is still
// open; removes the table's name and, where that name is a symbolic link to
// this very file, the file as well. Devices and pipes are only closed and
// unnamed, never emptied or removed behind a link.
void discard_table(TableOut* out, const char* file_name);
