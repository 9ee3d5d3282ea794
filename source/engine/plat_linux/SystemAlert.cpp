#include "engine/plat_linux/SystemAlert.h"

#include <cstdio>

namespace platform {

static std::vector<AlertRecord>& alerts() {
    static std::vector<AlertRecord> list;
    return list;
}

void showAlert(const std::string& title, const std::string& message, const std::string& cancelButton,
               const std::string& otherButton) {
    // This library sits below the engine's log, so the alert goes to stderr.
    std::fprintf(stderr, "[Alert] %s: %s [%s] [%s]\n", title.c_str(), message.c_str(), cancelButton.c_str(),
                 otherButton.c_str());
    alerts().push_back({title, message, cancelButton, otherButton});
}

const std::vector<AlertRecord>& alertsShown() { return alerts(); }

void clearAlerts() { alerts().clear(); }

}  // namespace platform
