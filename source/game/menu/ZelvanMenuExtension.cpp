#include "game/menu/ZelvanMenuExtension.h"

#include "engine/ConfigStore.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"

namespace Zelvan {

ActorMenu* MenuExtension::createMenuActor(Scene* scene, PSParticleSystem* particles, const std::string& prefix,
                                          LevelSkin* skin) {
    if (!scene) {
        Logger::error("[MenuExtension::createMenuActor] %s: no scene to make the figure in", prefix.c_str());
        return nullptr;
    }
    const ConfigStore& config = ConfigStore::instance();
    const std::string file = config.getString(prefix + ".objectFile", "");
    if (file.empty())
        return nullptr;
    ObjectPool* pool = scene->getObjectPool(file);
    Object* instance = pool ? pool->acquire(0) : nullptr;
    // A figure that cannot be made is a content fault: the screen goes on without it.
    if (!instance) {
        Logger::error("%s.object (%s) not found!", prefix.c_str(), file.c_str());
        return nullptr;
    }
    ActorMenu* actor = dynamic_cast<ActorMenu*>(instance);
    if (!actor) {
        Logger::error("%s.object (%s) is no menu figure", prefix.c_str(), file.c_str());
        pool->release(instance);
        return nullptr;
    }
    actor->setActive(true);
    actor->_pool = pool;
    actor->setParticleSystem(particles);
    actor->applyDescriptionTransforms();
    const Vector3 rows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    actor->setTransform(rows, Vector3(0, 0, 0), Vector3(1, 1, 1));
    actor->applyMenuLook(prefix);
    actor->setSkin(skin);
    actor->stopAnimations();
    const std::string anim = config.getString(prefix + ".menuAnim", "");
    if (!anim.empty() && actor->_animator)
        actor->_animator->play(anim, -1.0f);
    return actor;
}

float MenuExtension::menuFieldOfView(float aspect) {
    const float fov = 75.0f * aspect;
    if (!(fov > kMenuFovMin))
        return kMenuFovMin;
    return fov < kMenuFovMax ? fov : kMenuFovMax;
}

PanelItem* MenuExtension::cloneItem(Panel* panel, PanelItem* templateItem) {
    if (!panel || !templateItem)
        return nullptr;
    PanelItem* item = panel->cloneItem(templateItem->getKey());
    if (!item)
        return nullptr;
    const Matrix4& world = templateItem->getNode()->_transform->_world;
    // The template's world axes, scale included: the copy is of the same object.
    Vector3 rows[3];
    for (int i = 0; i < 3; ++i)
        rows[i] = world.row3(i);
    Object* node = item->getNode();
    node->_transform->setWorld(rows, world.getTranslation());
    node->updateTransform();
    return item;
}

}  // namespace Zelvan
