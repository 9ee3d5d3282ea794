#pragma once
// The offer to continue a crashed run: the price, the coins the player can spend and a countdown.
// When the countdown runs out the offer counts as declined and the next run-end screen follows.
// The buttons are the menu's events; the panel takes every touch, so none reaches the game.

#include <cstdint>
#include <string>

#include "engine/math.h"
#include "game/ZelvanTimers.h"
#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuReviveExt : public MenuExtension {
public:
    MenuReviveExt(const std::string& name, Menu* menu, Panel* panel);

    void onShow(bool back) override;
    void onHide(bool forward) override;
    bool touchBegan(int32_t, const Vector3&) override { return true; }
    bool touchMoved(int32_t, const Vector3&) override { return true; }
    bool touchEnded(int32_t, const Vector3&) override { return true; }
    void update(float dt) override;

    // Ends the countdown and its ticking sound; the panel stays.
    void stopCountdown();
    uint32_t getPrice() const { return _price; }

    // The button text: the first "%s" of the format replaced by the price, so a translation with
    // other conversions is shown as written rather than read as a format.
    static std::string priceText(const std::string& format, uint32_t price);

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    uint32_t _price = 100;
    bool _counting = false;
    Countdown _countdown;
};

}  // namespace Zelvan
