#pragma once
// The loading screen on the panel "loading" of the title pages: the stage's loading step hands
// it the loader's progress and the caption of the step every frame. The bar is eleven segments
// ("progressbar00" to "progressbar10", named nodes of the item "loading"), each lit once the
// progress passes its eleventh of the way; the caption is text line 0 of the same item.

#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class MenuLoaderExt : public MenuExtension {
public:
    enum { SegmentCount = 11 };

    // Null without a panel.
    static MenuLoaderExt* create(const std::string& name, Panel* panel);
    MenuLoaderExt(const std::string& name, Panel* panel);

    // percent: 0..100. Segment i is shown exactly when percent is above its threshold; the
    // thresholds step by 9.090909 in single precision, so the last one lies just above 100 and
    // stays dark.
    void setProgress(float percent);
    // The caption, used as a text format ("%%" shows one percent sign).
    void setText(const std::string& text);
    // The threshold of segment i (0..10).
    static float threshold(int32_t segment);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan
