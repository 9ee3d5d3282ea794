#include "engine/ui/UiText.h"

#include "engine_game/Text.h"

std::string formatWithoutArguments(const char* format) {
    std::string out;
    if (!format)
        return out;
    for (const char* p = format; *p; ++p) {
        out += *p;
        if (p[0] == '%' && p[1] == '%')
            ++p;
    }
    return out;
}

void setTextWithoutArguments(Text* text, const char* format) {
    if (!text)
        return;
    text->setString(formatWithoutArguments(format).c_str());
}
