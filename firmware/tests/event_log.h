// One ordered log of what the code under test did: register writes, calls of
// the board functions, and runs of the delay loop.
#ifndef FIRMWARE_TESTS_EVENT_LOG_H
#define FIRMWARE_TESTS_EVENT_LOG_H

#include <string>
#include <vector>

namespace event_log {

void Clear();
void Add(const std::string &event);
// Iterations of DelayMs's loop are summed into one "delay N" event, written
// when the next event arrives or the log is read.
void CountDelayIteration();
const std::vector<std::string> &Events();

}  // namespace event_log

#endif
