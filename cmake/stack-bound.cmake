# The firmware's worst-case System-mode stack, computed from the call graphs
# GCC writes beside each object and checked against the stack the start-up
# gives System mode (read from the image's symbols); and the same for the
# IRQ handler against the IRQ stack. The image target depends on it: a call
# chain that no longer fits fails the build.
#
# Needs OUT, OBJECTS, ARM_NM and the firmware.elf rule (firmware/CMakeLists.txt).
# Sets FIRMWARE_STACK_REPORT, the report file.

set(FIRMWARE_STACK_REPORT ${OUT}/stack-bound.txt)
set(stack_bound ${PROJECT_SOURCE_DIR}/scripts/stack-bound --nm ${ARM_NM} --elf ${OUT}/firmware.elf
    # SwiHandle1 pushes LR (4 bytes) in System mode; the handler runs on the SVC stack.
    --asm SwiHandle1=4
    # libgcc's divisions (assembly): __aeabi_uidiv pushes nothing,
    # __aeabi_uidivmod r0, r1 and LR around its call of it.
    --asm __aeabi_uidiv=0 --asm __aeabi_uidivmod=12)
add_custom_command(
  OUTPUT ${FIRMWARE_STACK_REPORT}
  COMMAND ${stack_bound}
          # The main loop from the C start-up that calls it, then each menu action.
          --root BoardStart --root main --root SysVersion --root SysAuthor --root SysSignal
          # DealKey runs the menu entries' actions and the key handler of
          # the screen one opened; BoardStart calls the constructors, of
          # which the image has none (the script checks).
          --indirect DealKey=SysVersion,SysAuthor,SysSignal,SignalScreenKey --indirect BoardStart=
          --report ${FIRMWARE_STACK_REPORT}.system ${OBJECTS}
  # Timer1's handler on the IRQ stack (interrupts do not nest).
  COMMAND ${stack_bound} --mode-stack IRQ --root SignalTimerIrq --report ${FIRMWARE_STACK_REPORT}.irq ${OBJECTS}
  COMMAND cat ${FIRMWARE_STACK_REPORT}.system ${FIRMWARE_STACK_REPORT}.irq > ${FIRMWARE_STACK_REPORT}
  DEPENDS ${OUT}/firmware.elf ${OBJECTS} ${PROJECT_SOURCE_DIR}/scripts/stack-bound
  COMMENT "Checking the firmware's stack bound"
  VERBATIM)

if(BUILD_TESTING)
  add_test(NAME firmware_stack_bound_script COMMAND ${PROJECT_SOURCE_DIR}/scripts/stack-bound-test)
endif()
