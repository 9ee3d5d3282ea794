// The menu's advertising: the banner the menu screens show while on screen and the interstitial
// of a forward move to the main menu, both only while advertising is on.

#include "engine/services.h"
#include "game/menu/ZelvanMenu.h"

namespace Zelvan {

void Menu::showBanner() {
    if (_adsEnabled)
        showMopubBanner(0, 1);
}

void Menu::hideBanner() {
    if (_adsEnabled)
        hideMopubBanner();
}

void Menu::showInterstitial() {
    if (!_adsEnabled)
        return;
    if (hasChartboostInterstitial()) {
        showChartboostInterstitial();
    } else if (isLeadBoltAdReady() && !_offerShown) {
        _offerShown = true;
        showLeadBoltAd(1);
    }
}

void Menu::hideInterstitial() {}

bool Menu::isAdsEnabled() const { return _adsEnabled; }

void Menu::onAdShown() {}
void Menu::onAdClosed() {}
void Menu::onAdFailed() {}

}  // namespace Zelvan
