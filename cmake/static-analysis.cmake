# Static analysis of the project's own code as CTest tests: clang-tidy (the
# checked-in .clang-tidy) and cppcheck (.cppcheck-suppressions), on dactables,
# the firmware's sources and stand-in board layer, and the simulator. Tests are
# left out: they are checked by running them, sanitized.
#
# clang-tidy reads the host code's flags from this tree's compile database, so
# the tree should be built with clang (the sanitizer tree is). The firmware is
# analysed as the target sees it: a compile database of its own, with the
# cross build's flags for clang's ARM target.

option(STATIC_ANALYSIS "Run clang-tidy and cppcheck as tests" OFF)
if(NOT STATIC_ANALYSIS OR NOT BUILD_TESTING)
  return()
endif()
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

find_program(CLANG_TIDY clang-tidy)
find_program(CPPCHECK cppcheck)
if(NOT CLANG_TIDY OR NOT CPPCHECK)
  if(REQUIRE_ALL_TOOLS)
    message(FATAL_ERROR "static analysis: clang-tidy or cppcheck not found (scripts/bootstrap installs them)")
  endif()
  message(WARNING "static analysis: clang-tidy or cppcheck not found, not run")
  return()
endif()

set(src ${PROJECT_SOURCE_DIR})
set(dactables_sources console.cpp console_input.cpp main.cpp options.cpp table_discard.cpp table_writer.cpp)
list(TRANSFORM dactables_sources PREPEND dactables/)
set(firmware_sources firmware/src/main.cpp firmware/src/menu/itemactions.cpp firmware/board/cstartup.c
    firmware/board/signal_tables.c)
foreach(name uart0 keys spi0 lcd font5x7 gui menu signal_generator signal_screen titled_screen)
  list(APPEND firmware_sources firmware/board/${name}.cpp)
endforeach()
set(sim_sources "")
if(WITH_SIM)
  file(GLOB_RECURSE sim_sources RELATIVE ${src} CONFIGURE_DEPENDS ${src}/firmware/sim/src/*.cpp)
endif()

# The firmware's compile database: ARM7TDMI, ARM state, soft float, freestanding.
set(arm_flags "--target=arm-none-eabi -mcpu=arm7tdmi -marm -mfloat-abi=soft -ffreestanding -nostdlib -D__DEBUG_RAM=1 -Wall -Wextra -I${src}/firmware/src -I${src}/firmware/board -I${FIRMWARE_TABLES_DIR}")
set(entries "")
foreach(file ${firmware_sources})
  if(file MATCHES "\\.c$")
    set(command "clang ${arm_flags} -std=c11 -c ${src}/${file}")
  else()
    set(command "clang++ ${arm_flags} -std=c++17 -fno-exceptions -fno-rtti -c ${src}/${file}")
  endif()
  list(APPEND entries "  {\"directory\": \"${src}\", \"file\": \"${src}/${file}\", \"command\": \"${command}\"}")
endforeach()
list(JOIN entries ",\n" entries)
set(firmware_database ${CMAKE_BINARY_DIR}/static-analysis/firmware)
file(WRITE ${firmware_database}/compile_commands.json "[\n${entries}\n]\n")

set(romtable_sources "")
if(WITH_ROMTABLE)
  file(GLOB romtable_sources RELATIVE ${src} CONFIGURE_DEPENDS ${src}/tools/romtable/*.cpp)
endif()
# What the host tools share, checked with the host code.
set(shared_sources "")
if(WITH_ROMTABLE OR WITH_SIM)
  file(GLOB shared_sources RELATIVE ${src} CONFIGURE_DEPENDS ${src}/tools/shared/*.cpp)
endif()

# One test per file, so that CTest spreads them over the cores and no test
# comes near its time-out on a loaded machine (clang-tidy reads each file on
# its own anyway: the total is the same). Named after the file:
# clang_tidy_firmware_sim_src_core_engine.
set(clang_tidy_tests "")
function(clang_tidy_each database)
  foreach(file ${ARGN})
    string(REGEX REPLACE "\\.[^.]*$" "" name ${file})
    string(REGEX REPLACE "[^A-Za-z0-9]" "_" name ${name})
    add_test(NAME clang_tidy_${name}
      COMMAND ${CLANG_TIDY} -p ${database} --quiet ${file}
      WORKING_DIRECTORY ${src})
    list(APPEND clang_tidy_tests clang_tidy_${name})
  endforeach()
  set(clang_tidy_tests ${clang_tidy_tests} PARENT_SCOPE)
endfunction()
clang_tidy_each(${CMAKE_BINARY_DIR} ${dactables_sources} ${romtable_sources} ${shared_sources} ${sim_sources})
clang_tidy_each(${firmware_database} ${firmware_sources})
# Any diagnostic fails (warnings are errors in .clang-tidy); the analyser's own
# trouble, such as a file it cannot parse, fails too.
set_tests_properties(${clang_tidy_tests} PROPERTIES
  TIMEOUT 600 FAIL_REGULAR_EXPRESSION "(warning|error):" LABELS static_analysis)

set(cppcheck_args --enable=warning,performance,portability,style --error-exitcode=1 --inline-suppr
    --suppressions-list=${src}/.cppcheck-suppressions --std=c++17 -q)
add_test(NAME cppcheck_dactables
  COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Idactables ${dactables_sources}
  WORKING_DIRECTORY ${src})
add_test(NAME cppcheck_firmware
  COMMAND ${CPPCHECK} ${cppcheck_args} -D__DEBUG_RAM=1 -Ifirmware/src -Ifirmware/board -I${FIRMWARE_TABLES_DIR}
          ${firmware_sources}
  WORKING_DIRECTORY ${src})
set(cppcheck_tests cppcheck_dactables cppcheck_firmware)
if(romtable_sources)
  add_test(NAME cppcheck_romtable
    COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Itools/romtable -Itools ${romtable_sources} ${shared_sources}
    WORKING_DIRECTORY ${src})
  list(APPEND cppcheck_tests cppcheck_romtable)
endif()
if(sim_sources)
  # The simulator by folder: each a share of the minutes cppcheck takes.
  set(sim_folders util core image machine peripherals)
  file(GLOB frontend_folders RELATIVE ${src}/firmware/sim/src/frontends ${src}/firmware/sim/src/frontends/*)
  foreach(folder ${frontend_folders})
    list(APPEND sim_folders frontends/${folder})
  endforeach()
  foreach(folder ${sim_folders})
    set(folder_sources ${sim_sources})
    list(FILTER folder_sources INCLUDE REGEX "^firmware/sim/src/${folder}/[^/]*$")
    if(folder_sources)
      string(REPLACE "/" "_" name ${folder})
      add_test(NAME cppcheck_sim_${name}
        COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Ifirmware/sim/src -Itools ${folder_sources}
        WORKING_DIRECTORY ${src})
      list(APPEND cppcheck_tests cppcheck_sim_${name})
    endif()
  endforeach()
endif()
set_tests_properties(${cppcheck_tests} PROPERTIES TIMEOUT 600 LABELS static_analysis)
