#pragma once
// The base of every screen behaviour of the menu, with two helpers several screens share: a menu
// actor made from configuration and an extra copy of a panel item.

#include <string>

#include "game/menu/ZelvanPanelExtension.h"

class Panel;
class PanelItem;
class PSParticleSystem;
class Scene;

namespace Zelvan {

class ActorMenu;
class LevelSkin;

class MenuExtension : public PanelExtension {
public:
    MenuExtension() = default;
    explicit MenuExtension(const std::string& name) : PanelExtension(name) {}

    // The actor of prefix + ".objectFile" taken from the scene's pool, active, bound to the
    // particle system, at the origin, with its menu look and the skin (may be null), its
    // animations stopped and prefix + ".menuAnim" played when set. Null for an empty
    // ".objectFile"; null with a logged error without a scene, or for a file that gives no
    // instance or no menu actor (the screen shows without the figure).
    static ActorMenu* createMenuActor(Scene* scene, PSParticleSystem* particles, const std::string& prefix,
                                      LevelSkin* skin);
    // A copy of the template item appended to the panel, placed where the template node is in
    // the world; null for a null template or when no copy can be made.
    static PanelItem* cloneItem(Panel* panel, PanelItem* templateItem);

    // The field of view (degrees) of a menu world camera that follows the screen's shape,
    // 75 degrees times width / height, held to what a projection can show: a wide screen would
    // otherwise ask for half a turn or more, and a screen not yet sized for nothing.
    static constexpr float kMenuFovMin = 10.0f;
    static constexpr float kMenuFovMax = 150.0f;
    static float menuFieldOfView(float aspect);
};

}  // namespace Zelvan
