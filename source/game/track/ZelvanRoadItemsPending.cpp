// Stand-ins for the road's item operations while the level items are not part of the build:
// items of a level's scene are still taken off it, nothing is placed and nothing collected.
// The level items' own files replace all of this.

#if !__has_include("game/track/ZelvanLevelItem.h")

#include "engine/utils.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

void Road::placeItems(Level*) {}
void Road::removeSlotRange(std::vector<ItemRun>&, float, float) {}
void Road::updateItems(std::vector<ActorItemGift*>&, ActorPlayer*, StageCamera*, float) {}
void Road::updateLevelItems(std::vector<ActorItemGift*>&, Level*, ActorPlayer*, StageCamera*, float) {}
void Road::collectGift(ActorItemGift*, ActorPlayer*) {}
void Road::triggerObstacles(ActorPlayer*) {}
void Road::checkCollisions(World*, ActorPlayer*, StageCamera*) {}

void Road::removeItem(Level* level, ActorItem* item) {
    XAssert((level && item) ? 1 : 0, "level && actorItem", __FILE__, __LINE__);
    if (level && item)
        level->removeItem(item);
}

void Road::resetActors() {
    pitchUp.stop();
    pitchDelay.stop();
    fly.stop();
    for (Level* level : aheadLevels)
        level->resetActors();
}

void Road::replaceProxyObjects() {
    for (Level* level : aheadLevels) {
        level->removeProxyObjects();
        level->placeProxyObjects(placeProxies);
    }
    for (Level* level : behindLevels) {
        level->removeProxyObjects();
        level->placeProxyObjects(placeProxies);
    }
}

bool Road::onParticleFinished(PSEmitter* emitter, PSParticleSystem* system) {
    for (Level* level : behindLevels)
        if (level->onParticleFinished(emitter, system))
            return true;
    for (Level* level : aheadLevels)
        if (level->onParticleFinished(emitter, system))
            return true;
    return false;
}

void Road::debugDraw(DebugDraw* drawer) {
    for (Level* level : behindLevels)
        level->debugDraw(drawer);
    for (Level* level : aheadLevels)
        level->debugDraw(drawer);
}

}  // namespace Zelvan

#endif
