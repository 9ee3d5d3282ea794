// The run's end beyond the panels: the two ways to revive, the rating question of the main
// menu's start, gameplay recording and sharing the run's distance.

#include <cmath>
#include <cstdio>

#include "engine/online/SocialPlatform.h"
#include "engine/online/StoreManager.h"
#include "engine/services.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuResultsExt.h"
#include "game/menu/ZelvanMenuReviveExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuWorldExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

namespace {

// The first coin pack: bought when the player wants coins for a revive.
const int32_t kReviveCoinPack = 256;
// Where a player who agreed to rate the game is sent: the game's review page in the store.
const char* const kReviewPage = "https://apps.apple.com/app/zelvan/id900000001?action=write-review";

std::string translated(const char* key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : std::string(key);
}

ActorPlayer* runTrain() {
    Stage* stage = Stage::get();
    return stage ? stage->getPlayer() : nullptr;
}

// The run's coins as collecting them would count them: half up, nothing at or below zero.
int64_t runCoins(ActorPlayer* train) {
    const double amount = (double)train->_goods.get("coins")._amount + 0.5;
    if (!(amount > 0))
        return 0;
    return amount >= 2147483647.0 ? 2147483647 : (int64_t)amount;
}

// Whole metres, cut towards zero as the results table writes them.
int32_t wholeMetres(float distance) {
    if (!std::isfinite(distance))
        return 0;
    if (distance >= 2147483647.0f)
        return 2147483647;
    if (distance <= -2147483647.0f)
        return -2147483647;
    return (int32_t)distance;
}

}  // namespace

// ---- Revive ----

bool Menu::payRevive() {
    ActorPlayer* train = runTrain();
    if (!_shopExt || !train || !_reviveExt)
        return false;
    const int64_t price = _reviveExt->getPrice();
    // A bank below zero has nothing to give; it is not made smaller still.
    const int64_t bank = _shopExt->getCoins() > 0 ? _shopExt->getCoins() : 0;
    const int64_t run = runCoins(train);
    if (bank + run < price)
        return false;
    const int64_t fromBank = bank < price ? bank : price;
    if (fromBank > 0) {
        _shopExt->setCoins((int32_t)(bank - fromBank));
        SocialPlatform::instance().saveProfile();
    }
    if (fromBank < price)
        train->_goods.get("coins")._amount = (float)(run - (price - fromBank));
    return true;
}

void Menu::reviveByCoins() {
    if (isVideoPending())
        return;
    sendAnalyticsEvent("menu revive", "by coins", "", 1);
    if (_reviveExt)
        _reviveExt->stopCountdown();
    if (payRevive()) {
        continueRun();
        return;
    }
    if (_shopExt && runTrain())
        showMessage(MessageYesNo, translated("#text_menu_revivecoins_caption"),
                    translated("#text_menu_revivecoins_message"), &Menu::onReviveCoinsAnswer);
    else
        goBack(false);
}

void Menu::onReviveCoinsAnswer(int32_t answer) {
    if (answer == 1) {
        showMessage(MessageNoButtons, translated("#text_menu_store_wait_caption"),
                    translated("#text_menu_store_wait_message"), MessageAnswer());
        startStorePurchase(StoreManager::instance(), kReviveCoinPack);
        if (payRevive()) {
            continueRun();
            return;
        }
    }
    // After No the next run-end screen follows; after Yes the offer comes back (its countdown
    // starts again) while the pack's coins are on their way.
    dropHistory();
    goBack(false);
}

void Menu::declineRevive() {
    if (isVideoPending())
        return;
    if (_reviveExt)
        _reviveExt->stopCountdown();
    goBack(false);
}

bool Menu::isVideoCached() const { return isVungleAdCached(); }

void Menu::reviveByVideo() {
    if (isVideoPending())
        return;
    sendAnalyticsEvent("menu revive", "by video", "", 1);
    if (_reviveExt)
        _reviveExt->stopCountdown();
    if (!isVideoCached()) {
        continueRun();
        return;
    }
    if (Stage* stage = Stage::get()) {
        stage->setMusicVolume(0);
        stage->setSoundVolume(0);
    }
    _afterVideo = [](Menu* menu) { menu->continueRun(); };
    playVungleAd(this);
}

void Menu::onVideoClosed() {
    if (_optionsExt)
        _optionsExt->applyVolumes();
    Action after;
    after.swap(_afterVideo);
    // The action belongs to the revive offer that started the video: once the offer was left
    // (the run ended another way, its goods collected), continuing would bring that run back.
    if (!after || _panelQueue.empty() || _panelQueue.back().panel->_name != "revive")
        return;
    after(this);
}

// ---- Rating ----

void Menu::onMainStart() {
    sendAnalyticsEvent("menu main", "start", "", 1);
    if (_startCount >= 0)
        ++_startCount;
    if (_startCount < _rateGameNum) {
        if (_worldExt)
            _worldExt->clearSpin();
        goToPanel("map", false);
    } else {
        showMessage(MessageYesNo, translated("#text_menu_main_rategame_caption"),
                    translated("#text_menu_main_rategame_message"), &Menu::onRateGameAnswer);
    }
}

void Menu::onRateGameAnswer(int32_t answer) {
    if (answer == 1) {
        _startCount = -1;
        // Asking again after the player agreed would be a nuisance: the answer is kept at once.
        SocialPlatform::instance().saveProfile();
        openUrl(kReviewPage);
    } else {
        _startCount = 0;
        if (_worldExt)
            _worldExt->clearSpin();
        _history.push_back("map");
    }
    goBack(true);
}

// ---- Gameplay recording ----

bool Menu::isRecordingSupported() const { return isRecorderSupported(); }

void Menu::startRecording() {
    if (_recording)
        return;
    _recording = true;
    ::startRecording();
}

void Menu::pauseRecording() {
    if (!_recording || _recordingPaused)
        return;
    _recordingPaused = true;
    ::pauseRecording();
}

void Menu::resumeRecording() {
    if (!_recording || !_recordingPaused)
        return;
    _recordingPaused = false;
    ::resumeRecording();
}

void Menu::stopRecording() {
    if (!_recording)
        return;
    _recording = _recordingPaused = false;
    _recordingAvailable = true;
    ::stopRecording();
}

void Menu::playLastRecording() {
    stopRecording();
    if (_recordingAvailable)
        ::playLastRecording();
}

void Menu::onOverlayShown() {
    if (Stage* stage = Stage::get()) {
        stage->setMusicVolume(0);
        stage->setSoundVolume(0);
    }
}

void Menu::onOverlayHidden() {
    if (_optionsExt)
        _optionsExt->applyVolumes();
}

// ---- Sharing ----

void Menu::shareFacebook() {
    sendAnalyticsEvent("menu results", "facebook", "", 1);
    char text[64];
    std::snprintf(text, sizeof text, "I've survived %d meters!",
                  (int)wholeMetres(_resultsExt ? _resultsExt->getDistance() : 0.0f));
    SocialPlatform::instance().facebookShare("Zelvan", text, "");
}

void Menu::shareTwitter() {
    sendAnalyticsEvent("menu results", "twitter", "", 1);
    char text[96];
    std::snprintf(text, sizeof text, "I've survived %d meters! #zelvan #kavelgames",
                  (int)wholeMetres(_resultsExt ? _resultsExt->getDistance() : 0.0f));
    SocialPlatform::instance().twitterCompose(text);
}

}  // namespace Zelvan
