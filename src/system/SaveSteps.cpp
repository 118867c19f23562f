#include "system/SaveSteps.h"

#include <atomic>
#include <csignal>
#include <mutex>

namespace {

std::mutex gHookMutex;
SaveSteps::Hook gHook;
std::mutex gStepMutex;
// Lock-free, so a signal handler may set them.
std::atomic<bool> gStop{false};
std::atomic<int> gStopSignal{0};

} // namespace

namespace SaveSteps {

void setHook(Hook hook) {
    std::lock_guard<std::mutex> lock(gHookMutex);
    gHook = std::move(hook);
}

void step(const char* name) {
    Hook hook;
    {
        std::lock_guard<std::mutex> lock(gHookMutex);
        hook = gHook;
    }
    if (!hook) return;
    // Files are written on several threads; a hook sees one step at a time.
    std::lock_guard<std::mutex> lock(gStepMutex);
    hook(name);
}

void requestStop(int signal) {
    gStopSignal.store(signal);
    gStop.store(true);
}

bool stopRequested() {
    return gStop.load();
}

int stopSignal() {
    return gStopSignal.load();
}

void clearStop() {
    gStop.store(false);
    gStopSignal.store(0);
}

} // namespace SaveSteps
