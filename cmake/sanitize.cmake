# Sanitizer build (-DSANITIZE=ON, with clang/clang++ as the compilers): every
# host target is built with AddressSanitizer and UndefinedBehaviorSanitizer,
# and the first report ends the process with a failure. The ARM image is not
# affected: its custom commands use their own flags.
#
# Sets BUILD_FUZZERS when libFuzzer is there (clang with libclang-rt).

option(SANITIZE "Build host code with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
set(BUILD_FUZZERS OFF)
if(NOT SANITIZE)
  return()
endif()

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "SANITIZE=ON needs clang and clang++ (CC=clang CXX=clang++)")
endif()

set(SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${SANITIZER_FLAGS} -g)
add_link_options(${SANITIZER_FLAGS})

# libFuzzer comes with clang's run-time libraries (Debian libclang-rt-14-dev).
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
check_cxx_source_compiles("#include <cstddef>
#include <cstdint>
extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }" HAVE_LIBFUZZER)
unset(CMAKE_REQUIRED_FLAGS)
if(HAVE_LIBFUZZER)
  set(BUILD_FUZZERS ON)
elseif(REQUIRE_ALL_TOOLS)
  message(FATAL_ERROR "libFuzzer not found (scripts/bootstrap installs libclang-rt-14-dev)")
else()
  message(WARNING "libFuzzer not found: the fuzzers are not built")
endif()

# How long the console fuzzer runs as a test (make fuzz runs it longer).
set(FUZZ_TEST_SECONDS 20 CACHE STRING "Seconds of fuzzing for the console fuzzer test")
set(ELF_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the ELF loader fuzzer test")
set(TABLE_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the table reader fuzzer test")
set(GDB_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the GDB packet fuzzer test")
set(ISP_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the ISP boot loader fuzzer test")
set(SCENARIO_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the scenario reader fuzzer test")
set(SERIAL_FUZZ_TEST_SECONDS 10 CACHE STRING "Seconds of fuzzing for the serial matcher fuzzer test")
