#pragma once
// Linux stand-in for the system alert view (platform::showAlert, engine/platform.h): the alert is
// written to stderr and kept, so tests can see what the player would have been shown.

#include <string>
#include <vector>

#include "engine/platform.h"

namespace platform {

struct AlertRecord {
    std::string title;
    std::string message;
    std::string cancelButton;
    std::string otherButton;
};

// Alerts shown so far, oldest first.
const std::vector<AlertRecord>& alertsShown();
void clearAlerts();

}  // namespace platform
