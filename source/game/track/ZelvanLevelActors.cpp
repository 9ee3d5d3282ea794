// Until the item and enemy actor classes exist, their settings are read from the configuration
// under the actor's source name (the keys those classes read), and the level-written state is
// kept here.

#include "game/track/ZelvanLevelActors.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActor.h"
#include "game/track/ZelvanRailSet.h"

namespace Zelvan {
namespace levelactors {

namespace {

std::string key(Actor* actor, const char* name) { return actor->getSourceName() + name; }

std::set<Actor*>& rowGifts() {
    static std::set<Actor*> gifts;
    return gifts;
}

std::map<Actor*, std::vector<Actor*>>& trains() {
    static std::map<Actor*, std::vector<Actor*>> waggons;
    return waggons;
}

}  // namespace

float itemDensity(Actor* item) { return ConfigStore::instance().getFloat(key(item, ".density"), 1.0f); }

float itemRotStep(Actor* item) { return ConfigStore::instance().getFloat(key(item, ".rotStep"), 0.0f); }

bool itemOriented(Actor* item) { return ConfigStore::instance().getBool(key(item, ".oriented"), false); }

void itemRotate(Actor* item, float angle) {
    if (angle == 0)
        return;
    const Matrix4 turned = Matrix4::rotationZ(angle) * item->_transform->_local;
    item->setMatrix(turned);
}

bool giftAlone(Actor* gift) { return ConfigStore::instance().getBool(key(gift, ".alone"), true); }

bool giftSnap(Actor* gift) { return ConfigStore::instance().getBool(key(gift, ".snap"), false); }

void setGiftRowFlag(Actor* gift, bool row) {
    if (row)
        rowGifts().insert(gift);
    else
        rowGifts().erase(gift);
}

bool giftRowFlag(Actor* gift) { return rowGifts().count(gift) != 0; }

bool obstacleDynamic(Actor* obstacle) {
    return std::strcmp(ConfigStore::instance().getString(key(obstacle, ".type"), "static"), "dynamic") == 0;
}

bool obstacleShield(Actor* obstacle) {
    return std::strcmp(ConfigStore::instance().getString(key(obstacle, ".damageType"), "deathly"), "shield") == 0;
}

Scene* enemyScene(Actor*) { return nullptr; }

void enemySetRails(Actor* enemy, Level*, RailSet* set, float distance) {
    if (!set || set->getRails().empty())
        return;
    RailSetPos saved;
    set->savePosition(saved);
    set->reset(true);
    set->move(distance);
    const Vector3 position = set->getPosition();
    Vector3 forward = set->getDirection().normalized();
    const Vector3 up = set->getUp().normalized();
    set->restorePosition(saved);
    if (enemy->_transform->_world.row3(1).dot(forward) < 0)
        forward = -forward;
    const Vector3 rows[3] = {forward.cross(up).normalized(), forward, up};
    enemy->_transform->setWorld(rows, position);
    enemy->updateTransform();
}

void trainAddWaggon(Actor* train, Actor* waggon) { trains()[train].push_back(waggon); }

void trainClearWaggons(Actor* train) { trains().erase(train); }

int32_t trainWaggonCount(Actor* train) {
    auto it = trains().find(train);
    return it == trains().end() ? 0 : (int32_t)it->second.size();
}

}  // namespace levelactors
}  // namespace Zelvan
