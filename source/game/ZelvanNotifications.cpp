#include "game/ZelvanNotifications.h"

#include "engine/ConfigStore.h"
#include "engine/platform.h"
#include "engine/utils.h"
#include "game/ZelvanTexts.h"

namespace Zelvan {

NotificationContainer::~NotificationContainer() { cancelAll(); }

void NotificationContainer::load(const std::string& prefix) {
    const ConfigStore& cfg = ConfigStore::instance();
    for (const std::string& m : cfg.getList(prefix + ".messages")) {
        Message msg;
        msg.delay = cfg.getFloat(m + ".delay", 1.0f);
        if (msg.delay < 0.0f) {
            // A negative delay would schedule into the past, before the messages it follows.
            Logger::error("[NotificationContainer::load] '%s.delay' is negative (%f); 0 used", m.c_str(),
                          (double)msg.delay);
            msg.delay = 0.0f;
        }
        msg.text = cfg.getString(m + ".text", "");
        _messages.push_back(std::move(msg));
    }
}

void NotificationContainer::scheduleAll() {
    const TextContainer* texts = TextContainer::get();
    double seconds = 0.0;
    for (const Message& m : _messages) {
        seconds += (double)(m.delay * 60.0f);
        if (m.text.empty())
            continue;
        const std::string text = texts ? texts->translate(m.text) : m.text;
        scheduleLocalNotification(text.c_str(), seconds);
    }
}

void NotificationContainer::cancelAll() { cancelLocalNotifications(); }

}  // namespace Zelvan
