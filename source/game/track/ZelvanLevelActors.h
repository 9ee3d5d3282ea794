#pragma once
// What a level reads of and does to the actor kinds it holds (items, gifts, obstacle items,
// enemy trains and waggons), in one place. The level dispatches on type ids and calls these on
// actors of the matching id only.

#include <cstdint>

class Scene;

namespace Zelvan {

class Actor;
class Level;
class RailSet;

namespace levelactors {

// Items (gifts and obstacle items).
float itemDensity(Actor* item);
float itemRotStep(Actor* item);
bool itemOriented(Actor* item);
// About the item's spin axis; 0 does nothing.
void itemRotate(Actor* item, float angle);

// Gifts.
bool giftAlone(Actor* gift);
bool giftSnap(Actor* gift);
void setGiftRowFlag(Actor* gift, bool row);
bool giftRowFlag(Actor* gift);

// Obstacle items.
bool obstacleDynamic(Actor* obstacle);
bool obstacleShield(Actor* obstacle);

// Enemies.
Scene* enemyScene(Actor* enemy);
void enemySetRails(Actor* enemy, Level* level, RailSet* set, float distance);
void trainAddWaggon(Actor* train, Actor* waggon);
void trainClearWaggons(Actor* train);
int32_t trainWaggonCount(Actor* train);

}  // namespace levelactors
}  // namespace Zelvan
