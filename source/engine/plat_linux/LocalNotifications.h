#pragma once
// Linux stand-in for local notifications (scheduleLocalNotification / cancelLocalNotifications,
// engine/platform.h). Every call is kept for tests and appended to "notifications.log" in the
// documents folder: one line a call with the fire time (seconds since the epoch), the badge and
// the text.

#include <string>
#include <vector>

namespace platform {

struct NotificationCall {
    bool cancel = false;    // a cancelLocalNotifications call; the other fields are then unused
    std::string text;       // alert body
    double seconds = 0.0;   // delay asked for
    double fireTime = 0.0;  // seconds since the epoch when it fires
    int badge = 0;          // application badge the notification sets
};

// Calls so far, oldest first.
const std::vector<NotificationCall>& notificationCalls();
// Notifications scheduled and not cancelled since.
const std::vector<NotificationCall>& scheduledNotifications();
// The application badge number as the last call left it.
int applicationBadge();
void clearNotificationRecords();

// The file the calls are appended to.
std::string notificationLogPath();

}  // namespace platform
