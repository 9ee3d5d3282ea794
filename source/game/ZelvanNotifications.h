#pragma once
// Reminders the game leaves with the system as local notifications when it goes into the
// background, and withdraws when it comes back.

#include <string>
#include <vector>

namespace Zelvan {

class NotificationContainer {
public:
    struct Message {
        float delay = 1.0f;  // minutes after the previous message
        std::string text;    // a "#" key or a plain text
    };

    static NotificationContainer* create() { return new NotificationContainer; }

    NotificationContainer() {}
    // Withdraws whatever is still scheduled.
    virtual ~NotificationContainer();
    NotificationContainer(const NotificationContainer&) = delete;
    NotificationContainer& operator=(const NotificationContainer&) = delete;

    // Appends the messages listed under prefix + ".messages".
    void load(const std::string& prefix);
    // Each message with a text fires its delay after the previous message (delays add up); a
    // message without text still counts its delay. Texts are translated.
    void scheduleAll();
    void cancelAll();

    std::vector<Message> _messages;
};

}  // namespace Zelvan
