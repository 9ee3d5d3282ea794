#pragma once
// Linux stand-in for local notifications (scheduleLocalNotification / cancelLocalNotifications,
// engine/platform.h). Every call is kept for tests and appended to "notifications.log" in the
// documents folder: one line a call with the fire time (seconds since the epoch), the badge and
// the text. Each scheduling first asks the user's permission for alerts, badges and sounds; the
// user's answer is a switch, and a refused notification is scheduled all the same but never shown.

#include <string>
#include <vector>

namespace platform {

struct NotificationCall {
    bool cancel = false;    // a cancelLocalNotifications call; the other fields are then unused
    std::string text;       // alert body
    double seconds = 0.0;   // delay asked for
    double fireTime = 0.0;  // seconds since the epoch when it fires
    int badge = 0;          // application badge the notification sets
    std::string alertAction;  // the alert's action button
    std::string sound;        // "default": the system's notification sound
    bool allowed = false;     // the user allowed notifications when it was scheduled
};

// The notification types permission is asked for (badge 1, sound 2, alert 4).
enum { NotificationTypesAll = 7 };

// Calls so far, oldest first.
const std::vector<NotificationCall>& notificationCalls();
// Notifications scheduled and not cancelled since.
const std::vector<NotificationCall>& scheduledNotifications();
// The application badge number as the last call left it.
int applicationBadge();
// Permission requests so far and the types of the last one.
int notificationPermissionRequests();
int notificationPermissionTypes();
// The user's answer to the permission request (default: allowed).
void setNotificationsAllowed(bool allowed);
// Forgets the calls, the badge and the requests; the user's answer goes back to allowed.
void clearNotificationRecords();

// The file the calls are appended to.
std::string notificationLogPath();

}  // namespace platform
