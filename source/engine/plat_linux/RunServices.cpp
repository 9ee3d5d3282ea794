#include "engine/plat_linux/RunServices.h"

#include <sys/utsname.h>

#include <map>
#include <mutex>

namespace {

struct RunServicesState {
    std::mutex mutex;
    RunReport report;
    std::map<std::string, bool> switches;
    std::vector<std::string> screenshotRequests;
    std::string modelOverride;
};

RunServicesState& state() {
    static RunServicesState s;
    return s;
}

}  // namespace

RunReport& runReport() { return state().report; }

bool getLaunchSwitch(const char* key, bool defaultValue) {
    if (!key)
        return defaultValue;
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.switches.find(key);
    return it == s.switches.end() ? defaultValue : it->second;
}

void requestScreenshot(const char* label) {
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.screenshotRequests.push_back(label ? label : "");
}

namespace platform {

void setLaunchSwitch(const std::string& key, bool value) {
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.switches[key] = value;
}

void clearLaunchSwitches() {
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.switches.clear();
}

std::vector<std::string> takeScreenshotRequests() {
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::vector<std::string> out;
    out.swap(s.screenshotRequests);
    return out;
}

std::string machineModel() {
    RunServicesState& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.modelOverride.empty())
            return s.modelOverride;
    }
    utsname name;
    if (uname(&name) != 0)
        return std::string();
    return name.machine;
}

void setMachineModel(const std::string& model) {
    RunServicesState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.modelOverride = model;
}

}  // namespace platform
