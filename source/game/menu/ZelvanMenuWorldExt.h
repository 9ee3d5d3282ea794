#pragma once
// The game world behind the menus, turned slowly while a menu panel that shows it is on screen:
// the stage camera's eye circles the look-at point about the vertical axis. A finger dragging on
// the main menu or the tutorial adds its turn (addSpin); when the finger lets go the spin eases
// back to the default speed.
//
// Configuration under the extension's name: ".angularVelocityDefault" and ".angularVelocityMax"
// (degrees per second; the maximum is taken as its absolute value), ".angularVelocityDamp" (the
// fraction of the speed difference left after one second, clamped to 0..1).

#include <string>

#include "game/menu/ZelvanMenuExtension.h"

namespace Zelvan {

class MenuWorldExt : public MenuExtension {
public:
    explicit MenuWorldExt(const std::string& name);

    // Reads the settings under the extension's name; the spin starts at the default speed.
    void load();

    void onShow(bool back) override;
    void onHide(bool forward) override;
    void update(float dt) override;
    // A panel left for a run: the turn given to the camera the menus share with the run goes.
    void onHidden() override;

    // Forgets a queued turn.
    void clearSpin();
    // Queues a turn (radians) for the next update, which turns by it at once and takes its speed.
    void addSpin(float angle);

    bool isShown() const { return _shown; }
    float getAngularVelocity() const { return _angularVelocity; }

    float _angularVelocityDefault = 0;                  // radians per second
    float _angularVelocityMax = 720.0f * kPi / 180.0f;  // radians per second, never negative
    float _angularVelocityDamp = 0.5f;
    bool _shown = false;
    bool _spinQueued = false;
    float _spinAngle = 0;
    float _angularVelocity = 0;
    // The turn given to the stage camera's eye offset so far, and the offset last written: when
    // another level camera has been applied since, the offset differs and the turn is forgotten.
    float _turned = 0;
    Vector3 _lastOffset;

private:
    // Turns the stage camera's eye about the look-at point by angle (radians).
    void turnCamera(float angle);

    static constexpr float kPi = 3.14159265358979f;
};

}  // namespace Zelvan
