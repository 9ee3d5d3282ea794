#include "engine/ui/UiEvent.h"

#include <cstring>

UiEvent* UiEventHandler::find(const char* name) const {
    if (!name)
        return nullptr;
    for (UiEvent* event : events)
        if (event && event->name && std::strcmp(event->name, name) == 0)
            return event;
    return nullptr;
}
