#include "game/menu/ZelvanMenuMainExt.h"

#include "engine/ui/UIObject.h"
#include "engine_game/Camera.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuWorldExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

// ---- The world drag ----

MenuWorldDragExt::MenuWorldDragExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world)
    : MenuExtension(name), _panel(panel), _menu(menu), _world(world) {}

void MenuWorldDragExt::onShow(bool) {
    _active = true;
    _dragging = _moved = false;
    _drag = Vector3();
}

void MenuWorldDragExt::onHide(bool) {
    _active = false;
    _moved = false;
}

Vector3 MenuWorldDragExt::worldPoint(const Vector3& point) const {
    Vector3 p(point.x, 1.0f - point.y, point.z);
    Camera* camera = _panel && _panel->getWorld() ? _panel->getWorld()->getCamera() : nullptr;
    if (camera)
        camera->unproject(p);
    return p;
}

bool MenuWorldDragExt::touchBegan(int32_t, const Vector3& point) {
    if (!_active)
        return false;
    _dragging = true;
    _moved = false;
    _drag = Vector3();
    _lastPoint = worldPoint(point);
    return true;
}

bool MenuWorldDragExt::touchMoved(int32_t, const Vector3& point) {
    if (!_dragging)
        return false;
    _moved = true;
    const Vector3 p = worldPoint(point);
    _drag += p - _lastPoint;
    _lastPoint = p;
    return true;
}

bool MenuWorldDragExt::touchEnded(int32_t, const Vector3&) {
    const bool was = _dragging;
    _dragging = _moved = false;
    return was;
}

void MenuWorldDragExt::update(float) {
    // The turn follows the finger frame by frame while it moves; the world extension takes the
    // speed of the last frame's turn when the finger stops.
    if (!_moved)
        return;
    if (_world)
        _world->addSpin(_drag.x);
    _drag = Vector3();
}

void MenuWorldDragExt::stopStartSound() {
    PanelItem* start = _panel ? _panel->findItem("start") : nullptr;
    if (start && start->getSounds())
        start->getSounds()->stop("in");
}

// ---- The main menu ----

MenuMainExt* MenuMainExt::create(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world) {
    return menu && panel && world ? new MenuMainExt(name, menu, panel, world) : nullptr;
}

MenuMainExt::MenuMainExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world)
    : MenuWorldDragExt(name, menu, panel, world) {}

void MenuMainExt::refreshMarks() {
    if (!_menu || !_panel)
        return;
    if (MenuMissionExt* missions = _menu->getMissionExt())
        if (PanelItem* item = _panel->findItem("mission"))
            item->setNodeVisible(std::string("available"), missions->hasAvailable());
    if (MenuShopExt* shop = _menu->getShopExt()) {
        const bool boosts = shop->hasAffordableItem(shop->_boosts) == 1;
        const bool characters = shop->hasAffordableItem(shop->_characters) == 1;
        const bool trains = shop->hasAffordableItem(shop->_trains) == 1;
        const bool skins = shop->hasAffordableItem(shop->_skins) == 1;
        if (PanelItem* item = _panel->findItem("shop"))
            item->setNodeVisible(std::string("available"), boosts || characters || trains || skins);
        if (PanelItem* item = _panel->findItem("shop_characters"))
            item->setNodeVisible(std::string("available"), characters);
        if (PanelItem* item = _panel->findItem("shop_trains"))
            item->setNodeVisible(std::string("available"), trains);
    }
}

void MenuMainExt::onShow(bool back) {
    MenuWorldDragExt::onShow(back);
    refreshMarks();
    if (_menu) {
        _menu->showBanner(this);
        if (!back)
            _menu->showInterstitial();
    }
}

void MenuMainExt::onHidden() {
    stopStartSound();
    if (_menu) {
        _menu->hideBanner(this);
        _menu->hideInterstitial();
    }
}

}  // namespace Zelvan
