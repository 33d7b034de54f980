// The engine's side of a debugger: breakpoints, watchpoints, and memory
// reads and writes that never touch a peripheral.
#include <algorithm>

#include "core/engine.h"

namespace boardsim {

StopReason Engine::runForDebugger(uint64_t limit)
{
    debugStop_.reset();
    return runUntil(limit);
}

StopReason Engine::runForDebugger(const When& end)
{
    debugStop_.reset();
    return runUntil(end);
}

bool Engine::atBreakpoint(uint32_t address)
{
    if (marks_.breakpoints() == 0 || !marks_.breakpointAt(address)) {
        return false;
    }
    debugStop_ = DebugStop{DebugStop::Breakpoint, address};
    stopRequested_ = true;
    return true;
}

void Engine::setBreakpoint(uint32_t address, bool on)
{
    marks_.setBreakpoint(address, on);
}

int Engine::addWatchpoint(uint32_t address, uint32_t length, bool reads, bool writes)
{
    if (length == 0 || (!reads && !writes)) {
        throw BoardError("a watchpoint needs a length and an access to watch");
    }
    const size_t hook = cpu_.hookAccesses(*this, address, address + length - 1, reads, writes);
    const int id = nextWatchId_++;
    watchHooks_.emplace_back(id, hook);
    return id;
}

void Engine::removeWatchpoint(int id)
{
    const auto found =
        std::find_if(watchHooks_.begin(), watchHooks_.end(), [id](const auto& entry) { return entry.first == id; });
    if (found != watchHooks_.end()) {
        cpu_.unhook(found->second);
        watchHooks_.erase(found);
    }
}

void Engine::onWatchedAccess(bool write, uint32_t address)
{
    // The instruction completes; the run stops before the next one.
    if (!debugStop_) {
        debugStop_ = DebugStop{write ? DebugStop::WriteWatch : DebugStop::ReadWatch, address};
    }
    stopRequested_ = true;
}

const MemoryRegion* Engine::plainRegion(uint32_t address, size_t size) const
{
    const auto& regions = machine_.memory();
    const auto found = std::find_if(regions.begin(), regions.end(), [&](const MemoryRegion& region) {
        return address >= region.base && address - region.base < region.size &&
               size <= region.size - (address - region.base);
    });
    return found == regions.end() ? nullptr : &*found;
}

bool Engine::readPlainMemory(uint32_t address, size_t size, std::vector<uint8_t>& out) const
{
    if (plainRegion(address, size) == nullptr) {
        return false;
    }
    out.resize(size);
    return cpu_.read(address, out.data(), size);
}

bool Engine::writeMemory(uint32_t address, const std::vector<uint8_t>& bytes)
{
    const MemoryRegion* region = plainRegion(address, bytes.size());
    if (region == nullptr) {
        return false;
    }
    if (bytes.empty()) {
        return true;
    }
    cpu_.write(address, bytes.data(), bytes.size());
    const uint32_t end = address + uint32_t(bytes.size());
    // Code translated from the old bytes would otherwise still run.
    cpu_.forgetCode(address, end);
    if (region->holdsImage) {
        // What the engine knows of each flash word (coprocessor marks,
        // timing, countdown loops) follows the new words.
        for (uint32_t at = address & ~3u; at < end && at / 4 < cycleModel_.flashWords(); at += 4) {
            uint32_t word = 0;
            cpu_.read(at, &word, 4);
            marks_.rewrite(at, word);
            cycleModel_.rewrite(at / 4, word);
        }
        findLoops();
    }
    return true;
}

}  // namespace boardsim
