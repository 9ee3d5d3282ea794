#pragma once
// Services of the desktop program around a run: switches set on the command line, the run's
// figures for the summary line, screenshot requests, the machine's model string.
// The game's side of these is declared in engine/platform.h.

#include <string>
#include <vector>

#include "engine/platform.h"

namespace platform {

void setLaunchSwitch(const std::string& key, bool value);
void clearLaunchSwitches();

// The labels asked for since the last call, oldest first (the host takes them at a present).
std::vector<std::string> takeScreenshotRequests();

// The machine's model as the system names it ("x86_64" from uname); a test may set another.
std::string machineModel();
void setMachineModel(const std::string& model);  // empty: the system's again

}  // namespace platform
