#pragma once
// Linux stand-in for the analytics service behind startAnalytics / sendAnalyticsEvent
// (engine/services.h). Every event the default tracker sends is kept for tests and appended to
// "analytics.log" in the documents folder, one line an event: category, action, label and value
// separated by tabs (tabs and line ends inside the texts are written as spaces). Main thread only.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/services.h"

namespace platform {

struct AnalyticsEvent {
    std::string category, action, label;
    int32_t value = 0;
};

struct AnalyticsService {
    bool reportUncaughtExceptions = true;
    double dispatchInterval = 120.0;  // seconds
    int logLevel = 0;
    bool hasTracker = false;  // a default tracker exists
    std::string trackerId;
    std::vector<AnalyticsEvent> sent;
    int lost = 0;  // events sent without a default tracker
};
AnalyticsService& analyticsService();
void resetAnalytics();

// The file the events are appended to.
std::string analyticsLogPath();

}  // namespace platform
