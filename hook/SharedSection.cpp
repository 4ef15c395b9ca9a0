#include "SharedSection.h"

#include <atomic>
#include <cstdint>

#include "HookMessageRecord.h"

namespace omvar::Snarel::detail {
namespace {

struct SharedData {
    std::uint8_t messageFilter[messageFilterSize];
    std::uint32_t notifyWindow;
    // What the watcher sees of the hooks at work in HAMLOG's process: a count of the messages
    // the procedures took up, and the sequence number of the last probe they saw.
    std::uint32_t activity;
    std::uint32_t probeSeen;
};

// One instance for all processes: the section is marked shared in the image, which only works
// for initialised data placed in it explicitly.
__attribute__((section(".sdata"), shared)) SharedData shared{};

// Written here and read in other processes without locks; relaxed atomics keep the compiler
// from tearing or caching the accesses.
std::atomic_ref<std::uint8_t> filterEntry(unsigned int message) {
    return std::atomic_ref<std::uint8_t>(shared.messageFilter[message]);
}

}  // namespace

bool filterSelects(unsigned int message) {
    return message < messageFilterSize && filterEntry(message).load(std::memory_order_relaxed);
}

void replaceFilter(const std::vector<unsigned int>& messages) {
    for (unsigned int id = 0; id < messageFilterSize; ++id) {
        filterEntry(id).store(0, std::memory_order_relaxed);
    }
    for (unsigned int id : messages) {
        if (id < messageFilterSize) {
            filterEntry(id).store(1, std::memory_order_relaxed);
        }
    }
}

HWND notifyWindow() {
    return handleFromWire(
        std::atomic_ref<std::uint32_t>(shared.notifyWindow).load(std::memory_order_relaxed));
}

void storeNotifyWindow(HWND window) {
    std::atomic_ref<std::uint32_t>(shared.notifyWindow)
        .store(handleToWire(window), std::memory_order_relaxed);
}

void noteActivity() {
    std::atomic_ref<std::uint32_t>(shared.activity).fetch_add(1, std::memory_order_relaxed);
}

std::uint32_t activity() {
    return std::atomic_ref<std::uint32_t>(shared.activity).load(std::memory_order_relaxed);
}

void noteProbe(std::uint32_t sequence) {
    std::atomic_ref<std::uint32_t>(shared.probeSeen).store(sequence, std::memory_order_relaxed);
}

std::uint32_t probeSeen() {
    return std::atomic_ref<std::uint32_t>(shared.probeSeen).load(std::memory_order_relaxed);
}

}  // namespace omvar::Snarel::detail
