#pragma once
// Services of the desktop program around a run: switches set on the command line, the run's
// figures for the summary line, screenshot requests, the machine's model string.
// The game's side of these is declared in engine/platform.h.

#include <string>
#include <vector>

// What the game reports of its run; the program prints it in its summary line at exit.
struct RunReport {
    float distance = 0;
    int coins = 0;
    // Screens in the order first visited.
    std::vector<std::string> screensVisited;
};

// The report the game fills in as it runs.
RunReport& runReport();

// A switch from the command line ("debug.autopilot" from --autopilot), or the default when the
// command line did not set it.
bool getLaunchSwitch(const char* key, bool defaultValue);

// Asks for a screenshot of the next presented frame, named after the label (a screen change).
void requestScreenshot(const char* label);

namespace platform {

void setLaunchSwitch(const std::string& key, bool value);
void clearLaunchSwitches();

// The labels asked for since the last call, oldest first (the host takes them at a present).
std::vector<std::string> takeScreenshotRequests();

// The machine's model as the system names it ("x86_64" from uname); a test may set another.
std::string machineModel();
void setMachineModel(const std::string& model);  // empty: the system's again

}  // namespace platform
