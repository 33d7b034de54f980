# The firmware's worst-case System-mode stack, computed from the call graphs
# GCC writes beside each object and checked against the stack the start-up
# gives System mode (read from the image's symbols). The image target depends
# on it: a call chain that no longer fits fails the build.
#
# Needs OUT, OBJECTS, ARM_NM and the firmware.elf rule (firmware/CMakeLists.txt).
# Sets FIRMWARE_STACK_REPORT, the report file.

set(FIRMWARE_STACK_REPORT ${OUT}/stack-bound.txt)
add_custom_command(
  OUTPUT ${FIRMWARE_STACK_REPORT}
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/stack-bound --nm ${ARM_NM} --elf ${OUT}/firmware.elf
          # The main loop from the C start-up that calls it, then each menu action.
          --root BoardStart --root main --root SysVersion --root SysAuthor
          # SwiHandle1 pushes LR (4 bytes) in System mode; the handler runs on the SVC stack.
          --asm SwiHandle1=4
          # DealKey runs the menu entries' actions; BoardStart calls the
          # constructors, of which the image has none (the script checks).
          --indirect DealKey=SysVersion,SysAuthor --indirect BoardStart=
          --report ${FIRMWARE_STACK_REPORT} ${OBJECTS}
  DEPENDS ${OUT}/firmware.elf ${OBJECTS} ${PROJECT_SOURCE_DIR}/scripts/stack-bound
  COMMENT "Checking the firmware's stack bound"
  VERBATIM)

if(BUILD_TESTING)
  add_test(NAME firmware_stack_bound_script COMMAND ${PROJECT_SOURCE_DIR}/scripts/stack-bound-test)
endif()
