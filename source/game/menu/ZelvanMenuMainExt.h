#pragma once
// The main menu's behaviour besides its buttons: on show it marks the buttons that lead to
// something new ("available" of the items "mission", "shop", "shop_characters", "shop_trains")
// and shows the banner (and, on a forward move, an interstitial); a horizontal drag that begins
// off the buttons turns the world behind the menu (the world extension's spin), frame by frame
// while the finger moves. The tutorial screen (MenuTutorialExt) drags the same way.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;
class MenuWorldExt;

// The drag shared by the main menu and the tutorial: touches taken while the panel is shown,
// finger travel measured in the interface world and handed to the world extension as a turn.
class MenuWorldDragExt : public MenuExtension {
public:
    MenuWorldDragExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);

    void onShow(bool back) override;
    void onHide(bool forward) override;
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;
    void update(float dt) override;

    // The world point under a finger point (normalised, y down) through the interface camera.
    Vector3 worldPoint(const Vector3& point) const;
    // Stops the sound "in" of the item "start" (a panel that left while it played).
    void stopStartSound();

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    MenuWorldExt* _world = nullptr;
    bool _active = false;
    bool _dragging = false;
    bool _moved = false;
    Vector3 _lastPoint;
    Vector3 _drag;
};

class MenuMainExt : public MenuWorldDragExt {
public:
    // Null without a menu, panel or world extension.
    static MenuMainExt* create(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);
    MenuMainExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);

    void onShow(bool back) override;
    void onHidden() override;
    // The "available" marks from the missions and the shop.
    void refreshMarks();
};

}  // namespace Zelvan
