#include "engine/plat_linux/Analytics.h"

#include <cstdio>

#include "engine/platform.h"

namespace platform {
namespace {

AnalyticsService& service() {
    static AnalyticsService* s = new AnalyticsService();
    return *s;
}

// One event stays one line: the separators and line ends inside a text become spaces.
std::string field(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    return out;
}

void appendLine(const AnalyticsEvent& e) {
    const std::string path = analyticsLogPath();
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) {
        std::fprintf(stderr, "[platform] cannot append to '%s'\n", path.c_str());
        return;
    }
    std::fprintf(f, "%s\t%s\t%s\t%d\n", field(e.category).c_str(), field(e.action).c_str(), field(e.label).c_str(),
                 (int)e.value);
    if (std::fclose(f) != 0)
        std::fprintf(stderr, "[platform] cannot append to '%s'\n", path.c_str());
}

}  // namespace

AnalyticsService& analyticsService() { return service(); }
void resetAnalytics() { service() = AnalyticsService(); }
std::string analyticsLogPath() { return documentsPath() + "/analytics.log"; }

}  // namespace platform

void startAnalytics(const char* propertyId) {
    platform::AnalyticsService& s = platform::service();
    s.reportUncaughtExceptions = false;
    s.dispatchInterval = 20.0;
    s.logLevel = 1;
    s.trackerId = propertyId ? propertyId : "";
    s.hasTracker = true;
    std::fprintf(stderr, "[analytics] tracking \"%s\"\n", s.trackerId.c_str());
}

void sendAnalyticsEvent(const char* category, const char* action, const char* label, int32_t value) {
    platform::AnalyticsService& s = platform::service();
    if (!s.hasTracker) {
        // No default tracker yet: the service drops the event.
        ++s.lost;
        return;
    }
    platform::AnalyticsEvent e;
    e.category = category ? category : "";
    e.action = action ? action : "";
    e.label = label ? label : "";
    e.value = value;
    s.sent.push_back(e);
    platform::appendLine(e);
}
