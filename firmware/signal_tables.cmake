# The tables the signal generator plays, made at build time by the dactables
# just built, each in a scratch folder of its own, and turned into C headers
# by romtable (scripts/firmware-signal-table). Changing either program
# makes the tables, and so the image, again.
#
# Needs the dactables and romtable targets. Sets SIGNAL_TABLES_FOUND,
# FIRMWARE_SIGNAL_TABLES (option or option/step, in the order the signal
# screen offers them; the first is the one it starts with), the headers and
# signal_table_list.h, which lists them, in FIRMWARE_TABLES_DIR (set by the
# top-level CMakeLists.txt),
# FIRMWARE_SIGNAL_TABLE_ARRAYS (option:step:array name, for the tests) and
# the target firmware_signal_tables.

set(SIGNAL_TABLES_FOUND FALSE)
if(NOT TARGET dactables OR NOT TARGET romtable)
  return()
endif()
set(SIGNAL_TABLES_FOUND TRUE)

# Option 5 first: the screen starts with it. Steps that divide 4096 make a
# whole period of the sine, so the loop has no jump.
set(FIRMWARE_SIGNAL_TABLES 5 6 7/2 7/8 7/32 7/128 8/2 8/8 8/32 8/128)

set(script ${PROJECT_SOURCE_DIR}/scripts/firmware-signal-table)
set(headers "")
set(includes "")
set(rows "")
set(FIRMWARE_SIGNAL_TABLE_ARRAYS "")
foreach(entry ${FIRMWARE_SIGNAL_TABLES})
  string(REPLACE "/" ";" parts ${entry})
  list(GET parts 0 option)
  set(step "")
  set(name SignalOption${option})
  if(entry MATCHES "/")
    list(GET parts 1 step)
    string(APPEND name Step${step})
  endif()
  set(header ${FIRMWARE_TABLES_DIR}/${name}.h)
  add_custom_command(
    OUTPUT ${header}
    COMMAND bash ${script} $<TARGET_FILE:dactables> $<TARGET_FILE:romtable>
            ${FIRMWARE_TABLES_DIR}/scratch/${name} ${name} ${header} ${option} ${step}
    DEPENDS dactables romtable ${script}
    COMMENT "Making ${name} with dactables and romtable"
    VERBATIM)
  list(APPEND headers ${header})
  string(APPEND includes "#include \"${name}.h\"\n")
  if(step STREQUAL "")
    set(step 1)
  endif()
  string(APPEND rows "    {${option}, ${step}, ${name}, ${name}_LENGTH}, \\\n")
  list(APPEND FIRMWARE_SIGNAL_TABLE_ARRAYS ${option}:${step}:${name})
endforeach()

file(CONFIGURE OUTPUT ${FIRMWARE_TABLES_DIR}/signal_table_list.h CONTENT
"/* Written by the build (firmware/signal_tables.cmake): the tables the
   signal generator plays, in the order the signal screen offers them. */
#ifndef SIGNAL_TABLE_LIST_H
#define SIGNAL_TABLE_LIST_H

@includes@
#define SIGNAL_TABLE_ROWS \\
@rows@
#endif
" @ONLY)

add_custom_target(firmware_signal_tables DEPENDS ${headers})
