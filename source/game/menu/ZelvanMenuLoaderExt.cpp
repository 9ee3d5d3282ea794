#include "game/menu/ZelvanMenuLoaderExt.h"

#include <cstdio>

#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

namespace {
const float kSegmentStep = 9.090909f;
}

MenuLoaderExt* MenuLoaderExt::create(const std::string& name, Panel* panel) {
    return panel ? new MenuLoaderExt(name, panel) : nullptr;
}

MenuLoaderExt::MenuLoaderExt(const std::string& name, Panel* panel) : MenuExtension(name), _panel(panel) {}

float MenuLoaderExt::threshold(int32_t segment) {
    // Summed step by step as the bar lights up, not multiplied: the sum's rounding is what
    // keeps the last segment dark at 100.
    float t = kSegmentStep;
    for (int32_t i = 0; i < segment; ++i)
        t += kSegmentStep;
    return t;
}

void MenuLoaderExt::setProgress(float percent) {
    PanelItem* item = _panel ? _panel->findItem("loading") : nullptr;
    if (!item)
        return;
    float t = kSegmentStep;
    for (int32_t i = 0; i < SegmentCount; ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "progressbar%02d", (int)i);
        item->setNodeVisible(std::string(name), percent > t);
        t += kSegmentStep;
    }
}

void MenuLoaderExt::setText(const std::string& text) {
    if (_panel)
        _panel->setItemText("loading", 0, text);
}

}  // namespace Zelvan
