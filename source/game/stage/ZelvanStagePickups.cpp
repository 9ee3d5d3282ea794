// What the train gathered during a running frame, turned into boosts, counts and words: gifts
// collected this frame, the surprise and ticket gifts kept in step with what the player holds,
// the battery that opens a stargate, completed words and collected letters, the obstacle
// trigger, the collisions and the best-distance check; then the results delay.

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/platform.h"
#include "engine/random.h"
#include "engine/utils.h"
#include "engine_game/Scene.h"
#include "game/ZelvanTexts.h"
#include "game/ZelvanWords.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanActorStargate.h"
#include "game/actors/ZelvanBoost.h"
#include "game/actors/ZelvanPlayerGoods.h"
#include "game/stage/ZelvanControl.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageItems.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const int32_t kTypeStargate = 1014;

// Every scene object and placed item of a level, each once (a gift row's item may be both).
template <class F>
void forEachLevelObject(Level* level, F f) {
    if (!level)
        return;
    if (level->scene)
        for (Object* node : level->scene->_nodes)
            if (node)
                f(node);
    for (Object* object : level->placedObjects)
        if (object && !(level->scene && std::find(level->scene->_nodes.begin(), level->scene->_nodes.end(),
                                                  object) != level->scene->_nodes.end()))
            f(object);
}

// The road's levels behind, oldest first, then ahead.
std::vector<Level*> roadLevels(const Road* road) {
    std::vector<Level*> levels;
    if (!road)
        return levels;
    levels.reserve(road->behindLevels.size() + road->aheadLevels.size());
    levels.insert(levels.end(), road->behindLevels.begin(), road->behindLevels.end());
    levels.insert(levels.end(), road->aheadLevels.begin(), road->aheadLevels.end());
    return levels;
}

// The frame's game time: none while paused or in the free camera, faster in turbo.
float gameDelta(const Stage* stage) {
    if (Clock::isPaused() || stage->_freeCamera)
        return 0;
    float dt = frameTime().dt;
    if (stage->_turbo)
        dt *= stage->_turboMul;
    return dt;
}

// Count rounded to the nearest whole number; 0 unless above 0.
int32_t wholeCount(float amount) {
    const float n = amount + 0.5f;
    return n > 0 ? (int32_t)std::min(n, 2147483520.0f) : 0;
}

// The letters of shown that missing holds fewer times: those were collected. Counted, so a
// word with a letter twice loses one of them when one is collected. Each letter once.
std::string collectedLetters(const std::string& shown, const std::string& missing) {
    std::string collected;
    for (char c : shown) {
        if (collected.find(c) != std::string::npos)
            continue;
        if (std::count(shown.begin(), shown.end(), c) > std::count(missing.begin(), missing.end(), c))
            collected.push_back(c);
    }
    return collected;
}

MenuHudExt* hudOf(Menu* menu) { return menu ? menu->getHudExt() : nullptr; }

// The boost's message and the name of the boost a random boost drew, each when it has a text.
void queueBoostMessages(Menu* menu, const Boost* boost) {
    MenuHudExt* hud = hudOf(menu);
    const TextContainer* texts = TextContainer::get();
    if (!hud || !texts)
        return;
    for (const std::string& key : {boost->_textMessage, boost->getInnerName()}) {
        const std::string text = texts->translate(key);
        if (!text.empty())
            hud->queueMessage(text);
    }
}

}  // namespace

void findGiftsInLevels(const std::vector<Level*>& levels, const std::string& objectFile,
                       std::vector<std::pair<Level*, ActorItemGift*>>& out) {
    if (objectFile.empty())
        return;
    for (Level* level : levels)
        forEachLevelObject(level, [&](Object* object) {
            if (object->_typeId != Level::TypeGift || object->getSourceName() != objectFile)
                return;
            ActorItemGift* gift = dynamic_cast<ActorItemGift*>(object);
            if (gift && !gift->_collected)
                out.emplace_back(level, gift);
        });
}

void clearShieldObstacles(const std::vector<Level*>& levels) {
    for (Level* level : levels)
        forEachLevelObject(level, [](Object* object) {
            if (object->_typeId != Level::TypeObstacleItem)
                return;
            ActorItemObstacle* obstacle = dynamic_cast<ActorItemObstacle*>(object);
            if (obstacle && obstacle->_damageType == ActorItemObstacle::Shield)
                playDelete(obstacle);
        });
}

void armStargatesIn(const std::vector<Level*>& levels, bool on) {
    for (Level* level : levels)
        forEachLevelObject(level, [on](Object* object) {
            if (object->_typeId != kTypeStargate)
                return;
            if (ActorStargate* gate = dynamic_cast<ActorStargate*>(object)) {
                if (on)
                    gate->activate();
                else
                    gate->deactivate();
            }
        });
}

Boost* Stage::giftBoost(ActorItemGift* gift) {
    XAssert(gift ? 1 : 0, "actorItemGift", __FILE__, __LINE__);
    if (!gift || gift->_boosts.empty() || !_boostContainer)
        return nullptr;
    // A gift naming a shop item gives the boost of that item's level.
    MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr;
    MenuShopExt::ItemInfo info;
    if (!gift->_shopUpdateName.empty() && shop && shop->describeItem(info, gift->_shopUpdateName)) {
        const int32_t level = info.level;
        const size_t last = gift->_boosts.size() - 1;
        const size_t index = level < 0 ? 0 : std::min((size_t)level, last);
        return _boostContainer->acquire(gift->_boosts[index]);
    }
    return _boostContainer->acquire(gift->_boosts.front());
}

std::vector<std::pair<Level*, ActorItemGift*>> Stage::findGiftsByObject(const std::string& objectFile) {
    std::vector<std::pair<Level*, ActorItemGift*>> gifts;
    findGiftsInLevels(roadLevels(_road), objectFile, gifts);
    return gifts;
}

void Stage::collectGifts(const std::vector<std::pair<Level*, ActorItemGift*>>& gifts) {
    for (const auto& pair : gifts) {
        pair.second->collect(false, 0);
        if (_road)
            _road->removeItem(pair.first, pair.second);
    }
}

void Stage::clearObstacles() { clearShieldObstacles(roadLevels(_road)); }

void Stage::armStargates(bool on) { armStargatesIn(roadLevels(_road), on); }

void Stage::updatePickups() {
    ActorPlayer* player = _actorPlayer;
    if (!player || !_road)
        return;
    PlayerGoods& goods = player->_goods;

    // 1. Gifts collected in this frame.
    std::vector<ActorItemGift*>& collected = _collectedGifts;
    collected.clear();
    _road->updateItems(collected, player, _stageCamera, gameDelta(this));
    for (ActorItemGift* gift : collected) {
        if (Boost* boost = giftBoost(gift)) {
            player->addBoost(boost);
            queueBoostMessages(_menu, boost);
        }
    }

    // 2. The camera boost clears the shield obstacles once, as it starts.
    const bool cameraActive = goods._cameraActive != 0;
    if (!_prevCameraBoost && cameraActive)
        clearObstacles();
    _prevCameraBoost = cameraActive;

    // 3, 4. A player who holds a surprise or ticket sees no further ones on the road.
    const int32_t surprises = wholeCount(goods.get("surprises")._amount);
    if (surprises != _surpriseCount) {
        if (_surpriseCount == 0)
            collectGifts(findGiftsByObject(_surpriseObjectFile));
        _surpriseCount = surprises;
    }
    const int32_t tickets = wholeCount(goods.get("tickets")._amount);
    if (tickets != _ticketCount) {
        if (_ticketCount == 0)
            collectGifts(findGiftsByObject(_ticketObjectFile));
        _ticketCount = tickets;
    }

    // 5. A full battery puts a stargate level on the road and arms the gates.
    const float battery = std::min(100.0f, goods.get("battery")._amount);
    if (battery != _battery) {
        _battery = battery;
        if (battery >= 100.0f) {
            const LevelGroup* group = _levelGroupSet ? _levelGroupSet->findGroup("stargate") : nullptr;
            const size_t n = group ? group->levels.size() : 0;
            if (n > 0) {
                const float r = (float)motherRandom().nextDouble();
                const size_t first = std::min((size_t)(((float)n - 0.5f) * r), n - 1);
                for (size_t k = 0; k < n; ++k) {
                    Level* level = group->levels[(first + k) % n];
                    if (level && !level->onRoad) {
                        _road->appendLevels(std::vector<Level*>{level});
                        break;
                    }
                }
            }
            armStargates(true);
            if (MenuHudExt* hud = hudOf(_menu))
                hud->showStargateActivated();
        }
    }

    // 6. A complete word (or none yet): its boost, then a new word.
    if (goods._missingLetters.empty()) {
        if (!goods._word.empty())
            if (MenuHudExt* hud = hudOf(_menu))
                hud->showWordCompleted();
        const WordContainer::Word* entry = _wordContainer ? _wordContainer->findWordFor(goods._word) : nullptr;
        if (entry && _boostContainer)
            if (Boost* boost = _boostContainer->acquire(entry->boost)) {
                player->addBoost(boost);
                queueBoostMessages(_menu, boost);
            }
        if (const WordContainer::Word* word = _wordContainer ? _wordContainer->randomWord() : nullptr) {
            goods._word = word->word;
            goods._missingLetters = word->word;
            if (MenuHudExt* hud = hudOf(_menu))
                hud->onNewWord();
        }
    }

    // 7. Letters collected since the last frame leave the display and the road.
    if (_shownLetters != goods._missingLetters) {
        const std::string letters = collectedLetters(_shownLetters, goods._missingLetters);
        _shownLetters = goods._missingLetters;
        if (_wordContainer) {
            _wordContainer->showLetters(_proxyContainer, _shownLetters);
            for (char c : letters)
                if (const std::string* object = _wordContainer->findLetterObject(std::string(1, c)))
                    collectGifts(findGiftsByObject(*object));
        }
    }

    // 8. The cry sets off the obstacles.
    if (_control && _control->_cryEnable && !player->isCrashed() && goods._cryActive)
        _road->triggerObstacles(player);

    // 9. Collisions.
    if (!player->isCrashed())
        _road->checkCollisions(_world, player, _stageCamera);

    // 10. A new record, announced once: afterwards the last distance stays above the best.
    MenuMissionExt* missions = _menu ? _menu->getMissionExt() : nullptr;
    const float best = missions ? missions->getBestDistance() : 0.0f;
    if (!(_lastDistance > best)) {
        if (best < goods._distance && best > 0)
            if (MenuHudExt* hud = hudOf(_menu))
                hud->showNewRecord();
        _lastDistance = goods._distance;
    }
}

void Stage::updateResultsAndHud(float dt) {
    if (_resultsCountdown.tick(dt) && !_noResultsMenu && _menu)
        _menu->showRunEnd();
    ActorPlayer* player = _actorPlayer;
    // The program's summary reports the run as the HUD shows it, menu or not; after a crash the
    // goods stand still, so the last frame's figures are the crashed run's, and they stay once the
    // menu has cleared the goods for the next run.
    if (player && (_state == StateRunning || player->_goods._distance > 0)) {
        runReport().distance = player->_goods._distance;
        runReport().coins = (int)player->_goods.get("coins")._amount;
    }
    MenuHudExt* hud = hudOf(_menu);
    if (!hud || !player)
        return;
    PlayerGoods& goods = player->_goods;
    hud->setCoins((int32_t)goods.get("coins")._amount);
    hud->setDistance((int32_t)goods._distance);
    const float maxEnergy = player->_startGoods._energy;
    hud->setEnergy(maxEnergy > 0 ? goods._energy * 100.0f / maxEnergy : 0.0f);
    hud->setBattery(goods.get("battery")._amount);
    hud->setBrake(goods._brakeProgress, goods._brakeCharge);
    hud->setBoostTime1(goods._hitPercent);
    hud->setBoostTime2(goods._magnetPercent);
    hud->setBoostTime3(goods._speedPercent);
    hud->setBoostTime4(goods._cameraPercent);
    hud->setBoostTime5(goods._multiplierPercent);
    hud->setStargateActive(_transition != TransitionNone && _transition != TransitionArrived);
    hud->setWord(goods._word, goods._missingLetters);
    char line[160];
    const size_t behind = _road ? _road->behindLevels.size() : 0;
    const size_t ahead = _road ? _road->aheadLevels.size() : 0;
    std::snprintf(line, sizeof line, "%.2f : %.2f : %d-%d", _proxyContainer ? _proxyContainer->_time : 0.0f,
                  player->getWorldPosition().length(), (int)behind, (int)ahead);
    hud->setDebugLog(0, line);
    LevelGroupSet* set = _road ? _road->getLevelGroupSet() : nullptr;
    hud->setDebugLevelSet(set ? set->name : std::string());
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    hud->setDebugLevel(level ? level->getName() : std::string());
    if (_atmosphere) {
        std::snprintf(line, sizeof line, "thr.:%.3f exp:%.3f", _atmosphere->_hdrBrightThres, _atmosphere->_hdrExposure);
        hud->setDebugLog(1, line);
        std::snprintf(line, sizeof line, "offs.:%.5f tonem.:%d", _atmosphere->_hdrBrightOffset,
                      _atmosphere->_hdrEnableTonemap ? 1 : 0);
        hud->setDebugLog(2, line);
    }
}

}  // namespace Zelvan
