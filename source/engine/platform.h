#pragma once
// The services the engine and the game ask of the platform: where content and documents live,
// the user defaults, the system alert and local notifications. The platform layer implements
// them (the Linux stand-ins in source/engine/plat_linux); nothing above it names the stand-ins.

#include <functional>
#include <string>
#include <vector>

// out = the application bundle's path + "/data/" + name (the file need not exist).
void getBundleDataPath(std::string& out, const char* name);
// out = the documents folder + "/" + name.
void getDocumentsPath(std::string& out, const char* name);

// User defaults. A boolean reads true for "true"/"yes"/"YES" or a non-zero number; false when
// absent. The integer counts only when the key also reads as a true boolean (else 0; the default
// argument is not used). The float is the stored text read as a number, or the default.
bool getUserDefaultBool(const char* key);
int getUserDefaultInt(const char* key, int defaultValue);
float getUserDefaultFloat(const char* key, float defaultValue);

// Schedules one local notification with the text as its body, firing the given number of
// seconds from now, with the application badge 1.
void scheduleLocalNotification(const char* text, double seconds);
// Cancels every scheduled local notification of the application and sets its badge to 0.
void cancelLocalNotifications();

// The device's generation code from its model name (the game sizes its interface by it).
int getDeviceGeneration();

// Queues a task for the main thread; it runs on a later turn of the run loop. Any thread may post.
// Every platform service answers through this queue, as the platform's own answers arrive.
void postMainThreadTask(std::function<void()> task);

// What the game reports of its run; the program prints it in its summary line at exit.
struct RunReport {
    float distance = 0;
    int coins = 0;
    // Screens in the order first visited.
    std::vector<std::string> screensVisited;
    // The screen shown last (scripts wait for it).
    std::string screenShown;
};

// The report the game fills in as it runs.
RunReport& runReport();

// A switch from the command line ("debug.autopilot" from --autopilot), or the default when the
// command line did not set it.
bool getLaunchSwitch(const char* key, bool defaultValue);

// Asks for a screenshot of the next presented frame, named after the label (a screen change).
void requestScreenshot(const char* label);

namespace platform {

// The application bundle's folder (its "data/" sub-folder holds the game content).
const std::string& bundlePath();
// The documents folder the game writes to.
const std::string& documentsPath();

// Stores a user default; a key with '=' or a line end, or a value with a line end, is refused.
// The stored defaults stay as they were when they cannot be written.
void setUserDefault(const std::string& key, const std::string& value);
void removeUserDefault(const std::string& key);

// Shows the system alert view with one message and its two buttons.
void showAlert(const std::string& title, const std::string& message, const std::string& cancelButton,
               const std::string& otherButton);

}  // namespace platform
