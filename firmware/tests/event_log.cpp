#include "event_log.h"

namespace {

std::vector<std::string> events;
unsigned long pendingIterations = 0;

void FlushDelay()
{
    if (pendingIterations > 0)
    {
        events.push_back("delay " + std::to_string(pendingIterations));
        pendingIterations = 0;
    }
}

}  // namespace

namespace event_log {

void Clear()
{
    events.clear();
    pendingIterations = 0;
}

void Add(const std::string &event)
{
    FlushDelay();
    events.push_back(event);
}

void CountDelayIteration() { pendingIterations++; }

const std::vector<std::string> &Events()
{
    FlushDelay();
    return events;
}

}  // namespace event_log

void FakeDelayIteration() { event_log::CountDelayIteration(); }
