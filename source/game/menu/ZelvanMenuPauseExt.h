#pragma once
// The pause screen. Its buttons are the menu's events; the extension only takes every touch, so
// nothing reaches the game while the run is paused.

#include <cstdint>
#include <string>

#include "engine/math.h"
#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class MenuPauseExt : public MenuExtension {
public:
    MenuPauseExt(const std::string& name, Panel* panel);

    bool touchBegan(int32_t, const Vector3&) override { return true; }
    bool touchMoved(int32_t, const Vector3&) override { return true; }
    bool touchEnded(int32_t, const Vector3&) override { return true; }

    Panel* _panel = nullptr;
};

}  // namespace Zelvan
