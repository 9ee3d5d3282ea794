#include "game/menu/ZelvanMenuTutorialExt.h"

#include "game/menu/ZelvanMenu.h"

namespace Zelvan {

MenuTutorialExt* MenuTutorialExt::create(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world) {
    return menu && panel && world ? new MenuTutorialExt(name, menu, panel, world) : nullptr;
}

MenuTutorialExt::MenuTutorialExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world)
    : MenuWorldDragExt(name, menu, panel, world) {}

void MenuTutorialExt::onShow(bool back) {
    MenuWorldDragExt::onShow(back);
    if (_menu)
        _menu->showBanner(this);
}

void MenuTutorialExt::onHidden() {
    stopStartSound();
    if (_menu)
        _menu->hideBanner(this);
}

}  // namespace Zelvan
