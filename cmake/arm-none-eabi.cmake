# GNU ARM embedded toolchain for the ARM7TDMI firmware, driven by custom
# commands inside the host build (one CMake tree, no second project).
#
# Sets ARM_TOOLS_FOUND and ARM_CC, ARM_CXX, ARM_OBJCOPY, ARM_SIZE,
# ARM_READELF, ARM_NM; defines arm_compile().

set(ARM_TOOLS_FOUND TRUE)
foreach(tool CC:gcc CXX:g++ OBJCOPY:objcopy SIZE:size READELF:readelf NM:nm)
  string(REPLACE ":" ";" pair "${tool}")
  list(GET pair 0 var)
  list(GET pair 1 exe)
  find_program(ARM_${var} arm-none-eabi-${exe})
  if(NOT ARM_${var})
    set(ARM_TOOLS_FOUND FALSE)
  endif()
endforeach()

set(ARM_CPU_FLAGS -mcpu=arm7tdmi -marm -mfloat-abi=soft)
# Debug information (DWARF, for gdb's source lines, frames and types) lives
# in sections of its own that never reach the flash image; arm_compile's
# NO_DEBUG_INFO builds without it, to show that the image is the same.
set(ARM_DEBUG_FLAGS -g)
set(ARM_COMMON_FLAGS ${ARM_CPU_FLAGS} -ffreestanding -nostdlib -O2 -D__DEBUG_RAM=1
    -Wall -Wextra -Werror
    # Frame sizes and call graph beside each object, for the stack bound
    # (cmake/stack-bound.cmake).
    -fstack-usage -fcallgraph-info=su)
set(ARM_CXX_FLAGS ${ARM_COMMON_FLAGS} -std=c++17 -fno-exceptions -fno-rtti
    -fno-unwind-tables -fno-threadsafe-statics -fno-use-cxa-atexit)
set(ARM_C_FLAGS ${ARM_COMMON_FLAGS} -std=c11 -fno-unwind-tables)
set(ARM_ASM_FLAGS ${ARM_CPU_FLAGS} -x assembler-with-cpp -Wall -Wextra -Werror)

# arm_compile(<object> <source> [NO_DEBUG_INFO] INCLUDES <dir>...)
# The language follows the source's extension (.c, .cpp, .S).
function(arm_compile object source)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "NO_DEBUG_INFO" "" "INCLUDES")
  get_filename_component(ext "${source}" LAST_EXT)
  if(ext STREQUAL ".c")
    set(compiler ${ARM_CC})
    set(flags ${ARM_C_FLAGS})
  elseif(ext STREQUAL ".S")
    set(compiler ${ARM_CC})
    set(flags ${ARM_ASM_FLAGS})
  else()
    set(compiler ${ARM_CXX})
    set(flags ${ARM_CXX_FLAGS})
  endif()
  if(NOT ARG_NO_DEBUG_INFO)
    list(APPEND flags ${ARM_DEBUG_FLAGS})
  endif()
  list(TRANSFORM ARG_INCLUDES PREPEND "-I")
  get_filename_component(object_dir "${object}" DIRECTORY)
  file(RELATIVE_PATH shown "${CMAKE_BINARY_DIR}" "${object}")
  add_custom_command(
    OUTPUT "${object}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${object_dir}"
    COMMAND ${compiler} ${flags} ${ARG_INCLUDES} -MD -MF "${object}.d" -c "${source}" -o "${object}"
    DEPENDS "${source}"
    DEPFILE "${object}.d"
    COMMENT "Cross-compiling ${shown}"
    VERBATIM)
endfunction()
