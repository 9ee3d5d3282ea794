#include "engine/plat_linux/MainThreadQueue.h"

#include <deque>
#include <mutex>

namespace {

struct TaskQueue {
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
};

TaskQueue& queue() {
    static TaskQueue q;
    return q;
}

}  // namespace

void postMainThreadTask(std::function<void()> task) {
    if (!task)
        return;
    TaskQueue& q = queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.tasks.push_back(std::move(task));
}

namespace platform {

size_t runMainThreadTasks() {
    TaskQueue& q = queue();
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        batch.swap(q.tasks);
    }
    // Run outside the lock: a task may post the next answer.
    for (auto& task : batch)
        task();
    return batch.size();
}

size_t pendingMainThreadTasks() {
    TaskQueue& q = queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    return q.tasks.size();
}

void clearMainThreadTasks() {
    TaskQueue& q = queue();
    std::lock_guard<std::mutex> lock(q.mutex);
    q.tasks.clear();
}

}  // namespace platform
