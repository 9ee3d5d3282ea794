// Texts used as printf formats without arguments never read one.

#include <gtest/gtest.h>

#include "engine/ui/UiText.h"
#include "engine_game/Text.h"

namespace {

struct FormatCase {
    const char* format;
    const char* shown;
};

const FormatCase kFormats[] = {
    {"", ""},
    {"plain", "plain"},
    {"100%%", "100%"},
    {"%%%%", "%%"},
    {"%s and %d", "%s and %d"},
    {"50% off", "50% off"},
    {"trailing %", "trailing %"},
    {"%%s", "%s"},
    {"%%%s", "%%s"},
    {"%n%p%5.2f", "%n%p%5.2f"},
};

TEST(FormatWithoutArguments, ShowsPercentSignsAndNeverReadsArguments) {
    for (const FormatCase& c : kFormats) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(formatWithoutArguments(c.format), c.shown);
    }
    EXPECT_EQ(formatWithoutArguments(nullptr), "");
}

TEST(FormatWithoutArguments, SetsATextNode) {
    Text text(nullptr);
    setTextWithoutArguments(&text, "%d%% of %s");
    EXPECT_EQ(text._text, "%d% of %s");
    setTextWithoutArguments(nullptr, "x");
}

}  // namespace
