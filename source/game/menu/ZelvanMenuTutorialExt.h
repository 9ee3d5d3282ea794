#pragma once
// The first start's screen: it shows the banner while on screen and, as the main menu, lets a
// drag off its buttons turn the world behind it.

#include <string>

#include "game/menu/ZelvanMenuMainExt.h"

namespace Zelvan {

class MenuTutorialExt : public MenuWorldDragExt {
public:
    // Null without a menu, panel or world extension.
    static MenuTutorialExt* create(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);
    MenuTutorialExt(const std::string& name, Menu* menu, Panel* panel, MenuWorldExt* world);

    void onShow(bool back) override;
    void onHidden() override;
};

}  // namespace Zelvan
