// Interim pickups, built only while ZelvanStagePickups.cpp is absent: nothing is collected.
// The full behaviour lives in ZelvanStagePickups.cpp.

#include "game/stage/ZelvanStage.h"

namespace Zelvan {

Boost* Stage::giftBoost(ActorItemGift* gift) {
    (void)gift;
    return nullptr;
}
std::vector<std::pair<Level*, ActorItemGift*>> Stage::findGiftsByObject(const std::string& objectFile) {
    (void)objectFile;
    return {};
}
void Stage::collectGifts(const std::vector<std::pair<Level*, ActorItemGift*>>& gifts) { (void)gifts; }
void Stage::clearObstacles() {}
void Stage::armStargates(bool on) { (void)on; }
void Stage::updatePickups() {}
void Stage::updateResultsAndHud(float dt) { (void)dt; }

}  // namespace Zelvan
