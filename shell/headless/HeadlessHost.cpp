#include "shell/headless/HeadlessHost.h"

#include <chrono>

void HeadlessHost::RequestRestart() {
    {
        std::lock_guard<std::mutex> guard(lock);
        queuedRestarts.fetch_add(1);
    }
    queued.notify_all();
}

void HeadlessHost::RequestRepaint() {
    if (observer != nullptr) {
        observer->AfterStep();
    }
}

bool HeadlessHost::WaitForRestart(int32_t ms) {
    std::unique_lock<std::mutex> guard(lock);
    return queued.wait_for(guard, std::chrono::milliseconds(ms),
                           [this] { return queuedRestarts.load() > 0; });
}

bool HeadlessHost::TakeRestart() {
    int32_t queuedNow = queuedRestarts.load();
    while (queuedNow > 0) {
        if (queuedRestarts.compare_exchange_weak(queuedNow, queuedNow - 1)) {
            return true;
        }
    }
    return false;
}

int32_t HandleQueuedRestarts(HeadlessHost& host, SimulationThread& thread,
                             Simulation& simulation, int32_t pauseMs) {
    const int32_t due = host.QueuedRestarts();
    int32_t handled = 0;
    while (handled < due && host.TakeRestart()) {
        OnColonyRestart(thread, simulation, pauseMs);
        ++handled;
    }
    return handled;
}
