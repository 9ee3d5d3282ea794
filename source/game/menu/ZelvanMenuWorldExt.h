#pragma once
// The slow orbit of the game's stage camera behind the menus that show the globe: while one of
// its panels is shown the camera turns about the vertical through its look-at point, and a drag
// on the main menu or the tutorial can queue a spin of its own.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

namespace Zelvan {

class MenuWorldExt : public MenuExtension {
public:
    explicit MenuWorldExt(const std::string& name);

    void onShow(bool back) override;
    void onHide(bool forward) override;
    void update(float dt) override;

    void clearSpin();
    // Radians; applied on the next update in place of the orbit's own turn.
    void addSpin(float angle);
    void load();

    float _angularVelocityDefault = 0;  // radians per second
    float _angularVelocityMax = 720.0f * kPi / 180.0f;
    float _angularVelocityDamp = 0.5f;
    bool _shown = false;
    bool _spinQueued = false;
    float _spinAngle = 0;
    float _angularVelocity = 0;
};

}  // namespace Zelvan
