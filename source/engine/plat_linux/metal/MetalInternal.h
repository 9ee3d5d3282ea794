#pragma once
// Shared inner parts of the Metal stand-in: the per-device state every object reports to, and the
// stand-in GPU thread that completes committed command buffers in order.

#include "engine/plat_linux/metal/Metal.h"

namespace mtl {

class DeviceState {
public:
    // Records a validation error. Errors found on the GPU thread go to stderr rather than the engine
    // log, which is written from the main thread only.
    void report(const std::string& text, bool gpuThread = false);
    std::vector<std::string> errors() const;
    size_t count() const;
    void clear();

    std::atomic<bool> readChecks{true};
    DeviceCounters counters;

private:
    mutable std::mutex _mutex;
    std::vector<std::string> _errors;
    size_t _total = 0;
};

class GpuTimeline {
public:
    explicit GpuTimeline(std::shared_ptr<DeviceState> state) : _state(std::move(state)) {}
    ~GpuTimeline();

    void submit(const CommandBufferPtr& commandBuffer);
    void hold();
    void step(uint32_t n);
    void release();
    void waitIdle();
    size_t pending() const;
    // Runs what is left and stops the thread; later submissions complete at once on the caller's thread.
    void shutdown();

private:
    void run();

    std::shared_ptr<DeviceState> _state;
    mutable std::mutex _mutex;
    std::condition_variable _wake, _idle;
    std::deque<CommandBufferPtr> _queue;
    bool _held = false;
    uint32_t _budget = 0;
    bool _busy = false;
    bool _stopping = false;
    bool _stopped = false;
    std::thread _thread;
};

uint64_t hashBytes(const void* data, uint64_t length);

}  // namespace mtl
