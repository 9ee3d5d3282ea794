#pragma once
// The main thread's task queue: every stand-in answers through it, so an answer arrives on the
// main thread on a later turn of the run loop, as the platform's own answers do. Any thread may
// post; the host runs the queue once per turn of its run loop.

#include <cstddef>

#include "engine/platform.h"

namespace platform {

// Runs the tasks posted before this call, oldest first. Tasks they post wait for the next call.
// Returns how many ran.
size_t runMainThreadTasks();
size_t pendingMainThreadTasks();
// Drops every queued task (between tests).
void clearMainThreadTasks();

}  // namespace platform
