#include "game/track/ZelvanRoad.h"

#include <algorithm>
#include <cstdio>

#include "engine/ConfigStore.h"
#include "engine/utils.h"
#include "engine_game/Scene.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"

#include "game/track/ZelvanLevelItem.h"

namespace Zelvan {

namespace {

const float kDegToRad = 0.017453292f;
const float kRadToDeg = 57.29578f;
const float kHalfPi = 1.5707964f;

float atLeastZero(float value) { return value < 0 ? 0 : value; }

}  // namespace

Road* Road::create() { return new Road(); }

Road::Road() {
    pitchUp.setDuration(0.1f);
    pitchDelay.setDuration(0.5f);
    fly.setDuration(0.1f);
    pitchUp.stop();
    pitchDelay.stop();
    fly.stop();
    loadConfig();
}

Road::~Road() { destroy(); }

void Road::loadConfig() {
    ConfigStore& config = ConfigStore::instance();
    autoDistance = atLeastZero(config.getFloat("road.autoDistance", autoDistance));
    jumpMinDistance = atLeastZero(config.getFloat("road.jumpMinDistance", jumpMinDistance));
    jumpMaxDistance = atLeastZero(config.getFloat("road.jumpMaxDistance", jumpMaxDistance));
    heightUpDistance = atLeastZero(config.getFloat("road.heightUpDistance", heightUpDistance));
    heightDownDistance = atLeastZero(config.getFloat("road.heightDownDistance", heightDownDistance));
    if (jumpMaxDistance < jumpMinDistance)
        std::swap(jumpMaxDistance, jumpMinDistance);
    jumpMaxAngle = config.getFloat("road.jumpMaxAngle", jumpMaxAngle * kRadToDeg) * kDegToRad;
    jumpMaxAngle = std::min(std::max(jumpMaxAngle, 0.0f), kHalfPi);
    distanceBehind = atLeastZero(config.getFloat("road.distanceBehind", distanceBehind));
    distanceBefore = atLeastZero(config.getFloat("road.distanceBefore", distanceBefore));
    itemGiftSpace = atLeastZero(config.getFloat("actorItemObstacle.itemGiftSpace", itemGiftSpace));
    itemSide = config.getFloat("levelItem.itemSide", itemSide);
    char text[96];
    std::snprintf(text, sizeof(text), "%g,%g,%g", itemPlayerPos.x, itemPlayerPos.y, itemPlayerPos.z);
    const std::string pos = config.getString("game.itemPlayerPos", text);
    float x = itemPlayerPos.x, y = itemPlayerPos.y, z = itemPlayerPos.z;
    if (std::sscanf(pos.c_str(), "%f , %f , %f", &x, &y, &z) == 3)
        itemPlayerPos = Vector3(x, y, z);
    itemMagnetDistance = atLeastZero(config.getFloat("game.itemMagnetDistance", itemMagnetDistance));
    itemTime = atLeastZero(config.getFloat("game.itemTime", itemTime));
    pitchDelay.setDuration(atLeastZero(config.getFloat("game.actorItemPitchDelay", pitchDelay._duration)));
    pitchUp.setDuration(atLeastZero(config.getFloat("game.actorItemPitchUp", pitchUp._duration)));
    fly.setDuration(atLeastZero(config.getFloat("game.actorItemFly", fly._duration)));
}

void Road::destroy() {
    for (LevelItem* item : levelItems)
        delete item;
    levelItems.clear();
    behindLevels.clear();
    aheadLevels.clear();
    newLevels.clear();
    slotLists.clear();
    contacts.clear();
}

void Road::addLevelItem(LevelItem* levelItem) {
    if (levelItem)
        levelItems.push_back(levelItem);
}

Level* Road::getCurrentLevel() const { return aheadLevels.empty() ? nullptr : aheadLevels.front(); }

void Road::setCurrentLevelMode(bool running_) {
    if (running_ == running)
        return;
    running = running_;
    if (Level* current = getCurrentLevel())
        current->runFlag = running;
}

void Road::hideBehindLevel(Level* level) {
    level->hide();
    level->stopCamera();
    level->stopActors();
    level->stopNearActors();
    level->disablePhysics();
}

void Road::releaseLevel(Level* level, bool clearing) {
    level->onRoad = false;
    if (clearing) {
        level->roadIndex = 0;
        level->runFlag = false;
    }
    hideBehindLevel(level);
    level->destroyPhysics();
    level->removeProxyObjects();
    while (!level->items.empty()) {
        const size_t before = level->items.size();
        Actor* actor = level->items.back();
        XAssert(actor ? 1 : 0, "level && actorItem", __FILE__, __LINE__);
        if (ActorItem* item = dynamic_cast<ActorItem*>(actor))
            removeItem(level, item);
        else
            level->removeItem(actor);
        // An entry the level does not take back would keep this loop going.
        if (level->items.size() >= before)
            level->items.pop_back();
    }
}

void Road::extend(float position_, std::vector<Level*>* added) {
    if (!levelGroupSet)
        return;
    position = position_;

    // Behind: show again what came back within reach, hide the nearest level beyond it and let
    // every older one go.
    const int32_t count = int32_t(behindLevels.size());
    float d = position;
    for (int32_t i = count - 1; i >= 0; --i) {
        Level* level = behindLevels[i];
        if (d < distanceBehind) {
            if (!level->isSceneActive()) {
                level->show();
                level->startActors();
                level->enablePhysics();
            }
            d += level->getLength();
            continue;
        }
        if (i == count - 1 && level->isSceneActive())
            hideBehindLevel(level);
        const int32_t k = std::min(i, count - 2);
        if (k >= 0) {
            for (int32_t j = 0; j <= k; ++j)
                releaseLevel(behindLevels[j], false);
            behindLevels.erase(behindLevels.begin(), behindLevels.begin() + (k + 1));
        }
        break;
    }

    // Ahead: ask for levels until distanceBefore is covered. A level without length covers
    // nothing, so the number of requests per call is bounded.
    float need = -position;
    for (const Level* level : aheadLevels)
        need += level->getLength();
    int requests = 0;
    while (need < distanceBefore) {
        if (requests++ >= kMaxLevelsPerExtend) {
            Logger::error("Road: %d levels give no %g of track ahead!", kMaxLevelsPerExtend, distanceBefore);
            break;
        }
        Level* level = levelGroupSet->nextLevel();
        if (!level)
            break;
        // A level still on the road (or already taken in this call) is not placed again.
        if (level->onRoad || std::find(newLevels.begin(), newLevels.end(), level) != newLevels.end())
            continue;
        newLevels.push_back(level);
        if (added)
            added->push_back(level);
        need += level->getLength();
    }
    appendLevels(newLevels);
    newLevels.clear();
}

void Road::appendLevels(const std::vector<Level*>& levels) {
    if (levels.empty())
        return;
    Matrix4 m;
    if (!aheadLevels.empty())
        m = aheadLevels.back()->getEndMatrix();
    else if (!behindLevels.empty())
        m = behindLevels.back()->getEndMatrix();
    for (Level* level : levels) {
        if (level->onRoad)
            continue;
        level->onRoad = true;
        level->roadIndex = int32_t(aheadLevels.size());
        level->show();
        level->resetObjects();
        // Row vectors: the begin node's local matrix first, then the level's placement.
        level->setWorldMatrix(level->getBeginLocalMatrix().inverted() * m);
        m = level->getEndMatrix();
        level->scene->_rayTestable = rayTestOnSetup;
        level->removeProxyObjects();
        level->placeProxyObjects(placeProxies);
        if (placeRandomItems)
            placeItems(level);
        if (stepwisePhysics)
            level->showActors(false);
        level->enablePhysics();
        level->stopCamera();
        level->startActors();
        level->scene->_rayTestable = false;
        aheadLevels.push_back(level);
    }
}

void Road::advanceLevel() {
    if (aheadLevels.empty())
        return;
    Level* level = aheadLevels.front();
    level->runFlag = false;
    position -= level->getLength();
    aheadLevels.erase(aheadLevels.begin());
    behindLevels.push_back(level);
    if (Level* current = getCurrentLevel()) {
        current->runFlag = running;
        current->startCamera();
        current->startConductors();
    }
    for (size_t i = 0; i < aheadLevels.size(); ++i)
        aheadLevels[i]->roadIndex = int32_t(i);
    const int32_t m = int32_t(behindLevels.size());
    for (int32_t j = 0; j < m; ++j)
        behindLevels[j]->roadIndex = j - m;
}

void Road::realignLevels() {
    Matrix4 m;
    for (Level* level : aheadLevels) {
        level->setWorldMatrix(level->getBeginLocalMatrix().inverted() * m);
        m = level->getEndMatrix();
    }
    if (behindLevels.empty())
        return;
    m = aheadLevels.empty() ? Matrix4() : aheadLevels.front()->getBeginMatrix();
    for (size_t i = behindLevels.size(); i-- > 0;) {
        Level* level = behindLevels[i];
        level->setWorldMatrix(level->getEndLocalMatrix().inverted() * m);
        m = level->getBeginMatrix();
    }
}

void Road::clear() {
    position = 0;
    for (LevelItem* item : levelItems)
        item->reset();
    for (Level* level : behindLevels)
        releaseLevel(level, true);
    for (Level* level : aheadLevels)
        releaseLevel(level, true);
    behindLevels.clear();
    aheadLevels.clear();
}

void Road::restart() {
    clear();
    extend(0);
    advanceLevel();
    extend(0);
    if (stepwisePhysics) {
        for (Level* level : behindLevels)
            level->showActors(true);
        for (Level* level : aheadLevels)
            level->showActors(true);
    }
}

void Road::update(float dt) {
    pitchUp.tick(dt);
    pitchDelay.tick(dt);
    fly.tick(dt);
    for (LevelItem* item : levelItems)
        item->advanceSpin(dt);
    if (!stepwisePhysics) {
        if (Level* current = getCurrentLevel())
            current->scene->_rayTestable = true;
        if (behindLevels.size() >= 2)
            behindLevels[behindLevels.size() - 2]->scene->_rayTestable = false;
    } else {
        for (size_t i = 0; i < aheadLevels.size() && i < 2; ++i)
            aheadLevels[i]->showActors(true);
    }
    for (Level* level : aheadLevels)
        level->update(dt);
    for (Level* level : behindLevels)
        level->update(dt);
}

// ---- The train's view of the road ----

Vector3 RoadTrackServices::getUpAxis(Level* level) { return level ? level->getUpAxis() : Vector3(0, 0, 1); }

bool RoadTrackServices::findNextRail(const RoadSlot& slot, RoadSlot& next) {
    if (!road || !slot.rail || !slot.level)
        return false;
    NearRail nearRail;
    nearRail.current.rail = slot.rail;
    nearRail.current.forward = slot.forward != 0;
    nearRail.current.level = slot.level;
    nearRail.current.distance = 0;
    nearRail.next.distance = road->autoDistance;
    // The level after the slot's first: a lane's continuation lies in the next level, and the
    // slot's own level comes second for junctions inside it.
    const std::vector<Level*>& ahead = road->aheadLevels;
    const auto at = std::find(ahead.begin(), ahead.end(), slot.level);
    if (at != ahead.end() && at + 1 != ahead.end())
        road->findNearRail(&nearRail, *(at + 1));
    road->findNearRail(&nearRail, slot.level);
    if (!nearRail.next.rail)
        return false;
    next.rail = nearRail.next.rail;
    next.forward = nearRail.next.forward ? 1 : 0;
    next.level = nearRail.next.level;
    next.distance = 0;
    return true;
}

void RoadTrackServices::findSwitchRails(RoadSlot& left, RoadSlot& right, ActorPlayer* player, float from, float to,
                                        int mode, int mode2) {
    left = RoadSlot();
    right = RoadSlot();
    if (!road)
        return;
    NearRail l, r;
    road->findSwitchRails(&l, &r, player, Vector2(from, to), mode, mode2);
    if (l.current.rail) {
        left.rail = l.current.rail;
        left.forward = l.current.forward ? 1 : 0;
        left.level = l.current.level;
    }
    if (r.current.rail) {
        right.rail = r.current.rail;
        right.forward = r.current.forward ? 1 : 0;
        right.level = r.current.level;
    }
}

}  // namespace Zelvan
