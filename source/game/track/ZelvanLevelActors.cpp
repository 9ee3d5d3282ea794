#include "game/track/ZelvanLevelActors.h"

#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanActorItem.h"

namespace Zelvan {
namespace levelactors {

// The level dispatches on type ids; a node whose id and class disagree (a scene that sets an id
// by hand) answers with the class defaults instead of being misread.

float itemDensity(Actor* item) {
    auto* i = dynamic_cast<ActorItem*>(item);
    return i ? i->_density : 1.0f;
}

float itemRotStep(Actor* item) {
    auto* i = dynamic_cast<ActorItem*>(item);
    return i ? i->_rotStep : 0.0f;
}

bool itemOriented(Actor* item) {
    auto* i = dynamic_cast<ActorItem*>(item);
    return i && i->_oriented;
}

void itemRotate(Actor* item, float angle) {
    if (auto* i = dynamic_cast<ActorItem*>(item))
        i->rotate(angle);
}

bool giftAlone(Actor* gift) {
    auto* g = dynamic_cast<ActorItemGift*>(gift);
    return g ? g->_alone : true;
}

bool giftSnap(Actor* gift) {
    auto* g = dynamic_cast<ActorItemGift*>(gift);
    return g && g->_snap;
}

void setGiftRowFlag(Actor* gift, bool row) {
    if (auto* g = dynamic_cast<ActorItemGift*>(gift))
        g->_notAlone = row;
}

bool giftRowFlag(Actor* gift) {
    auto* g = dynamic_cast<ActorItemGift*>(gift);
    return g && g->_notAlone;
}

bool obstacleDynamic(Actor* obstacle) {
    auto* o = dynamic_cast<ActorItemObstacle*>(obstacle);
    return o && o->_obstacleType == ActorItemObstacle::Dynamic;
}

bool obstacleShield(Actor* obstacle) {
    auto* o = dynamic_cast<ActorItemObstacle*>(obstacle);
    return o && o->_damageType == ActorItemObstacle::Shield;
}

Scene* enemyScene(Actor* enemy) { return enemy->_scene; }

void enemySetRails(Actor* enemy, Level* level, RailSet* set, float distance) {
    if (auto* e = dynamic_cast<ActorEnemy*>(enemy))
        ActorEnemy::setRails(e, level, set, distance);
}

void trainAddWaggon(Actor* train, Actor* waggon) {
    auto* t = dynamic_cast<ActorEnemyTrain*>(train);
    auto* w = dynamic_cast<ActorEnemyWaggon*>(waggon);
    if (t && w)
        t->addWaggon(w);
}

void trainClearWaggons(Actor* train) {
    if (auto* t = dynamic_cast<ActorEnemyTrain*>(train))
        t->clearWaggons();
}

int32_t trainWaggonCount(Actor* train) {
    auto* t = dynamic_cast<ActorEnemyTrain*>(train);
    return t ? (int32_t)t->_waggons.size() : 0;
}

}  // namespace levelactors
}  // namespace Zelvan
