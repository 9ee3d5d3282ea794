// The menu's advertising: the banner the menu screens show while on screen and the interstitial
// of a forward move to the main menu, both only while advertising is on. Buying "zelvan_noads"
// turns it off for good.

#include <algorithm>

#include "engine/services.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

bool Menu::isAdsEnabled() const {
    if (!_adsEnabled)
        return false;
    if (!_shopExt)
        return true;
    MenuShopExt::ItemInfo info;
    if (_shopExt->describeItem(info, "zelvan_noads") != 1)
        return true;
    return info.level < 0;
}

void Menu::showBanner(const void* holder) {
    if (holder && std::find(_bannerHolders.begin(), _bannerHolders.end(), holder) == _bannerHolders.end())
        _bannerHolders.push_back(holder);
    if (isAdsEnabled())
        showMopubBanner(0, 1);
}

// Without a holder it always hides: advertising may have been turned off (the no-ads purchase)
// while the banner was on screen.
void Menu::hideBanner(const void* holder) {
    if (holder) {
        _bannerHolders.erase(std::remove(_bannerHolders.begin(), _bannerHolders.end(), holder),
                             _bannerHolders.end());
        if (!_bannerHolders.empty())
            return;
    } else {
        _bannerHolders.clear();
    }
    hideMopubBanner();
}

void Menu::showInterstitial() {
    if (!isAdsEnabled())
        return;
    if (hasChartboostInterstitial()) {
        showChartboostInterstitial();
    } else if (isLeadBoltAdReady() && !_offerShown) {
        _offerShown = true;
        showLeadBoltAd(1);
    }
}

void Menu::hideInterstitial() {}

// An offer covering a running run pauses it (pauseRun acts only while the run goes).
void Menu::onAdShown() {
    Stage* stage = Stage::get();
    ActorPlayer* player = stage ? stage->getPlayer() : nullptr;
    if (player && !player->isCrashed())
        pauseRun();
}

void Menu::onAdClosed() { _offerShown = false; }
void Menu::onAdFailed() { _offerShown = false; }

}  // namespace Zelvan
