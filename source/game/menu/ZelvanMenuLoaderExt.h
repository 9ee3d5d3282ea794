#pragma once
// The loading screen: its bar and caption while the game loads. Only what the stage and the menu
// controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class MenuLoaderExt : public MenuExtension {
public:
    MenuLoaderExt(const std::string& name, Panel* panel);
    void setProgress(float percent);
    void setText(const std::string& text);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan
