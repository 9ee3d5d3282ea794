#include "engine/plat_linux/LocalNotifications.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "engine/plat_linux/PlatformPaths.h"

namespace platform {
namespace {

struct Notifications {
    std::mutex lock;
    std::vector<NotificationCall> calls;
    std::vector<NotificationCall> scheduled;
    int badge = 0;
    int permissionRequests = 0;
    int permissionTypes = 0;
    bool allowed = true;
};

Notifications& notifications() {
    static Notifications* n = new Notifications();
    return *n;
}

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Text goes last on its line; line ends in it are written as spaces so a line stays one call.
void appendLine(const NotificationCall& call) {
    std::string path = notificationLogPath();
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) {
        std::fprintf(stderr, "[platform] cannot append to '%s'\n", path.c_str());
        return;
    }
    if (call.cancel) {
        std::fprintf(f, "cancel badge=%d\n", call.badge);
    } else {
        std::string text = call.text;
        for (char& c : text)
            if (c == '\n' || c == '\r')
                c = ' ';
        std::fprintf(f, "schedule fire=%.3f badge=%d text=%s\n", call.fireTime, call.badge, text.c_str());
    }
    if (std::fclose(f) != 0)
        std::fprintf(stderr, "[platform] cannot append to '%s'\n", path.c_str());
}

}  // namespace

const std::vector<NotificationCall>& notificationCalls() { return notifications().calls; }
const std::vector<NotificationCall>& scheduledNotifications() { return notifications().scheduled; }
int applicationBadge() { return notifications().badge; }
int notificationPermissionRequests() { return notifications().permissionRequests; }
int notificationPermissionTypes() { return notifications().permissionTypes; }

void setNotificationsAllowed(bool allowed) {
    Notifications& n = notifications();
    std::lock_guard<std::mutex> g(n.lock);
    n.allowed = allowed;
}

void clearNotificationRecords() {
    Notifications& n = notifications();
    std::lock_guard<std::mutex> g(n.lock);
    n.calls.clear();
    n.scheduled.clear();
    n.badge = 0;
    n.permissionRequests = 0;
    n.permissionTypes = 0;
    n.allowed = true;
}

std::string notificationLogPath() { return documentsPath() + "/notifications.log"; }

}  // namespace platform

void scheduleLocalNotification(const char* text, double seconds) {
    platform::Notifications& n = platform::notifications();
    std::lock_guard<std::mutex> g(n.lock);
    // Permission is asked for with every notification; the system asks the user only once.
    ++n.permissionRequests;
    n.permissionTypes = platform::NotificationTypesAll;

    platform::NotificationCall call;
    call.text = text ? text : "";
    call.seconds = seconds;
    call.fireTime = platform::nowSeconds() + seconds;
    call.badge = 1;
    call.alertAction = "View";
    call.sound = "default";
    call.allowed = n.allowed;
    n.calls.push_back(call);
    n.scheduled.push_back(call);
    n.badge = 1;
    platform::appendLine(call);
}

void cancelLocalNotifications() {
    platform::NotificationCall call;
    call.cancel = true;
    call.badge = 0;
    platform::Notifications& n = platform::notifications();
    std::lock_guard<std::mutex> g(n.lock);
    n.calls.push_back(call);
    n.scheduled.clear();
    n.badge = 0;
    platform::appendLine(call);
}
