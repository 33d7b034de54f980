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
set(firmware_sources firmware/src/main.cpp firmware/src/menu/itemactions.cpp firmware/board/cstartup.c)
foreach(name uart0 keys spi0 lcd font5x7 gui menu)
  list(APPEND firmware_sources firmware/board/${name}.cpp)
endforeach()
set(sim_sources "")
if(WITH_SIM)
  file(GLOB_RECURSE sim_sources RELATIVE ${src} CONFIGURE_DEPENDS ${src}/firmware/sim/src/*.cpp)
endif()

# The firmware's compile database: ARM7TDMI, ARM state, soft float, freestanding.
set(arm_flags "--target=arm-none-eabi -mcpu=arm7tdmi -marm -mfloat-abi=soft -ffreestanding -nostdlib -D__DEBUG_RAM=1 -Wall -Wextra -I${src}/firmware/src -I${src}/firmware/board")
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

# Two runs, so that CTest can give each a core: clang-tidy takes minutes.
set(host_sources ${dactables_sources} ${romtable_sources} ${shared_sources})
add_test(NAME clang_tidy_host
  COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${host_sources}
  WORKING_DIRECTORY ${src})
set(clang_tidy_tests clang_tidy_host)
if(sim_sources)
  # The simulator in three parts, the engine, the front ends that run and
  # show the board, and those that follow it (scenarios, the DAC's signal,
  # the pin trace), so that the two cores share it and none takes long.
  set(sim_engine_sources ${sim_sources})
  list(FILTER sim_engine_sources EXCLUDE REGEX "/frontends/")
  set(sim_frontend_sources ${sim_sources})
  list(FILTER sim_frontend_sources INCLUDE REGEX "/frontends/")
  list(FILTER sim_frontend_sources EXCLUDE REGEX "/frontends/(scenario|signal|trace)/")
  set(sim_follower_sources ${sim_sources})
  list(FILTER sim_follower_sources INCLUDE REGEX "/frontends/(scenario|signal|trace)/")
  add_test(NAME clang_tidy_sim_engine
    COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${sim_engine_sources}
    WORKING_DIRECTORY ${src})
  add_test(NAME clang_tidy_sim_frontends
    COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${sim_frontend_sources}
    WORKING_DIRECTORY ${src})
  add_test(NAME clang_tidy_sim_followers
    COMMAND ${CLANG_TIDY} -p ${CMAKE_BINARY_DIR} --quiet ${sim_follower_sources}
    WORKING_DIRECTORY ${src})
  list(APPEND clang_tidy_tests clang_tidy_sim_engine clang_tidy_sim_frontends clang_tidy_sim_followers)
endif()
add_test(NAME clang_tidy_firmware
  COMMAND ${CLANG_TIDY} -p ${firmware_database} --quiet ${firmware_sources}
  WORKING_DIRECTORY ${src})
# Any diagnostic fails (warnings are errors in .clang-tidy); the analyser's own
# trouble, such as a file it cannot parse, fails too.
set_tests_properties(${clang_tidy_tests} clang_tidy_firmware PROPERTIES
  TIMEOUT 600 FAIL_REGULAR_EXPRESSION "(warning|error):")

set(cppcheck_args --enable=warning,performance,portability,style --error-exitcode=1 --inline-suppr
    --suppressions-list=${src}/.cppcheck-suppressions --std=c++17 -q)
add_test(NAME cppcheck_dactables
  COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Idactables ${dactables_sources}
  WORKING_DIRECTORY ${src})
add_test(NAME cppcheck_firmware
  COMMAND ${CPPCHECK} ${cppcheck_args} -D__DEBUG_RAM=1 -Ifirmware/src -Ifirmware/board ${firmware_sources}
  WORKING_DIRECTORY ${src})
set(cppcheck_tests cppcheck_dactables cppcheck_firmware)
if(romtable_sources)
  add_test(NAME cppcheck_romtable
    COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Itools/romtable -Itools ${romtable_sources} ${shared_sources}
    WORKING_DIRECTORY ${src})
  list(APPEND cppcheck_tests cppcheck_romtable)
endif()
if(sim_sources)
  add_test(NAME cppcheck_sim
    COMMAND ${CPPCHECK} ${cppcheck_args} --language=c++ -Ifirmware/sim/src -Itools ${sim_sources}
    WORKING_DIRECTORY ${src})
  list(APPEND cppcheck_tests cppcheck_sim)
endif()
set_tests_properties(${cppcheck_tests} PROPERTIES TIMEOUT 600)
