# dactables.exe for 64-bit Windows: this same source tree configured a second
# time with the MinGW-w64 toolchain, as an external project inside this build,
# so that one `cmake --build` makes both programs. The result lands in
# <build>/windows/dactables.exe; the target `dactables_windows` builds it.
#
# Sets DACTABLES_WINDOWS_EXE (empty when there is no Windows build), which the
# end-to-end tests use to run it under Wine.

set(DACTABLES_WINDOWS_EXE "")
option(WITH_WINDOWS "Cross-build dactables.exe and test it under Wine" ON)

# The Windows configuration itself includes this file too: it must not nest.
if(NOT WITH_DACTABLES OR NOT WITH_WINDOWS OR CMAKE_SYSTEM_NAME STREQUAL "Windows")
  return()
endif()

find_program(MINGW_CC x86_64-w64-mingw32-gcc)
find_program(MINGW_CXX x86_64-w64-mingw32-g++)
if(NOT MINGW_CC OR NOT MINGW_CXX)
  if(REQUIRE_ALL_TOOLS)
    message(FATAL_ERROR "dactables: MinGW-w64 (x86_64-w64-mingw32-g++) not found (scripts/bootstrap installs it)")
  endif()
  message(WARNING "dactables: MinGW-w64 not found, skipping the Windows build and its tests")
  add_custom_target(dactables_windows
    COMMAND ${CMAKE_COMMAND} -E echo "dactables: install g++-mingw-w64-x86-64 (scripts/bootstrap) and reconfigure"
    COMMAND ${CMAKE_COMMAND} -E false)
  return()
endif()

set(windows_build_type "${CMAKE_BUILD_TYPE}")
if(NOT windows_build_type)
  set(windows_build_type Release)
endif()

set(windows_dir ${CMAKE_BINARY_DIR}/windows)
set(windows_tree ${windows_dir}/tree)
set(DACTABLES_WINDOWS_EXE ${windows_dir}/dactables.exe)

include(ExternalProject)
ExternalProject_Add(dactables_windows
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  PREFIX ${windows_tree}
  BINARY_DIR ${windows_tree}/build
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64.cmake
    -DCMAKE_BUILD_TYPE=${windows_build_type}
    -DWITH_DACTABLES=ON -DWITH_ROMTABLE=OFF -DWITH_FIRMWARE=OFF -DWITH_SIM=OFF -DBUILD_TESTING=OFF
  # Only the program; the outer make's job slots are not for this inner one.
  BUILD_COMMAND ${CMAKE_COMMAND} -E env --unset=MAKEFLAGS
                ${CMAKE_COMMAND} --build <BINARY_DIR> --target dactables
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different <BINARY_DIR>/bin/dactables.exe ${DACTABLES_WINDOWS_EXE}
  # The sources live in this tree: let the inner build decide what is stale.
  BUILD_ALWAYS TRUE
  BUILD_BYPRODUCTS ${DACTABLES_WINDOWS_EXE})

# On a bare Windows only the system's own DLLs are there: the MinGW runtime
# must be linked in.
if(BUILD_TESTING)
  find_program(MINGW_OBJDUMP x86_64-w64-mingw32-objdump)
  add_test(NAME dactables_windows_needs_only_system_dlls
    COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${MINGW_OBJDUMP} -DEXE=${DACTABLES_WINDOWS_EXE}
            -P ${PROJECT_SOURCE_DIR}/cmake/windows-imports.cmake)
endif()
