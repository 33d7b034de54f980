// Forced into every firmware source compiled for the host tests (-include):
// the register map lands in the recording fake, and the delay loop counts
// its iterations. Interrupt handlers become plain functions.
#ifndef FIRMWARE_TESTS_HOST_BUILD_H
#define FIRMWARE_TESTS_HOST_BUILD_H

#include "fake_registers.h"

void FakeDelayIteration();
#define DELAY_LOOP_BODY() FakeDelayIteration()

// Interrupt handlers are plain functions here, which the tests call.
#define BOARD_IRQ_HANDLER

#endif
