#pragma once
// Linux stand-in for the system alert view: the alert is written to stderr and kept, so tests
// can see what the player would have been shown.

#include <string>
#include <vector>

namespace platform {

struct AlertRecord {
    std::string title;
    std::string message;
    std::string cancelButton;
    std::string otherButton;
};

void showAlert(const std::string& title, const std::string& message, const std::string& cancelButton,
               const std::string& otherButton);
// Alerts shown so far, oldest first.
const std::vector<AlertRecord>& alertsShown();
void clearAlerts();

}  // namespace platform
