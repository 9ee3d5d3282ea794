// The menu's named events: what each page button runs, and the analytics event each menu action
// sends once. Most are one-line actions; the longer flows they start live with the controller.

#include <cstdio>
#include <string>
#include <vector>

#include "engine/online/SocialPlatform.h"
#include "engine/services.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuSurpriseExt.h"
#include "game/stage/ZelvanApplication.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

// Leaving the pause: the run goes on and the panel before the pause (the HUD) comes back.
void resumeFromPause(Menu* menu) {
    if (Stage* stage = Stage::get())
        stage->setState(Stage::StateRunning);
    menu->goBack(true);
}

// The maker's pages the options screen links to.
const char* const kMakerSocialPage = "https://www.facebook.com/kavelgames";
const char* const kMakerMessagePage = "https://twitter.com/kavelgames";
const char* const kMakerStorePage = "https://apps.apple.com/developer/kavel-games/id900000000";
const char* const kMakerWebSite = "https://www.kavelgames.com";

std::string translatedText(const std::string& key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : key;
}

// The translated display name of the shop entry at that list index; the fallback when the index
// names no item.
std::string selectedName(const MenuShopExt* shop, int32_t index, const std::string& fallback) {
    const std::vector<MenuShopExt::Node*>& list = shop->getList();
    if (index < 0 || index >= (int32_t)list.size())
        return fallback;
    const MenuShopExt::Item* item = dynamic_cast<const MenuShopExt::Item*>(list[(size_t)index]);
    if (!item)
        return fallback;
    MenuShopExt::ItemInfo info;
    item->describe(info);
    return translatedText(info.displayName);
}

void focusTicketRow(MenuShopExt* shop) {
    if (shop)
        shop->focusListIndex(shop->_ticketRow);
}

// The bank tab's heading, so that the whole tab comes into view.
void focusBank(MenuShopExt* shop) {
    if (shop)
        shop->focusListIndex(shop->_bank.first);
}

// A tab button: each press moves the focus one entry further inside the tab, on to the next entry
// the player can afford, and back to the tab's first entry after its end.
void focusNextInTab(MenuShopExt* shop, MenuShopExt::Range MenuShopExt::*tab) {
    if (shop)
        shop->focusListIndex(shop->tabButtonIndex(shop->*tab));
}

}  // namespace

// Travelling to the browsed continent costs one ticket; the ticket is taken only once the
// continent became the player's.
void Menu::travelToContinent() {
    Menu* menu = this;
    MenuMapExt02* map = menu->getMapExt();
    if (!map || !map->getSelected() || map->getSelected() == map->getCurrent())
        return;
    MenuShopExt* shop = menu->getShopExt();
    if (shop && shop->getTickets() >= 1) {
        MenuMapExt02::Continent* target = map->getSelected();
        if (!map->selectContinent(target->name))
            return;
        shop->setTickets(shop->getTickets() - 1);
        map->refreshButtons();
        map->playTravel();
        char label[256];
        std::snprintf(label, sizeof label, "%s: yes", translatedText(target->textName).c_str());
        sendAnalyticsEvent("menu map", "travel", label, 1);
        SocialPlatform::instance().saveProfile();
        return;
    }
    menu->showMessage(Menu::MessageYesNo, translatedText("#text_menu_map_select_caption"),
                      translatedText("#text_menu_map_select_message"), &Menu::onNoTicketAnswer);
}

// The region, train and character the run starts with, each as its own analytics event.
void Menu::startFromMap() {
    Menu* menu = this;
    MenuMapExt02* map = menu->getMapExt();
    const std::string continent =
        map && map->getCurrent() ? translatedText(map->getCurrent()->textName) : std::string("?");
    std::string train = "?", character = "?";
    if (MenuShopExt* shop = menu->getShopExt()) {
        train = selectedName(shop, shop->_trainIndex, train);
        character = selectedName(shop, shop->_characterIndex, character);
    }
    sendAnalyticsEvent("menu map", "start - continent", continent.c_str(), 1);
    sendAnalyticsEvent("menu map", "start - train", train.c_str(), 1);
    sendAnalyticsEvent("menu map", "start - character", character.c_str(), 1);
    if (map)
        map->playStart();
    menu->restartRun();
}

void Menu::openShopCharacters() {
    sendAnalyticsEvent("menu main", "menu shop - characters", "", 1);
    if (_shopExt)
        _shopExt->focusListIndex(_shopExt->tabEntryIndex(_shopExt->_characters, _shopExt->_characterIndex));
    goToPanel("shop", false);
}

void Menu::openShopTrains() {
    sendAnalyticsEvent("menu main", "menu shop - trains", "", 1);
    if (_shopExt)
        _shopExt->focusListIndex(_shopExt->tabEntryIndex(_shopExt->_trains, _shopExt->_trainIndex));
    goToPanel("shop", false);
}

// Yes leads to the tickets in the shop; the message's own history entry brings the player back
// to the map from there.
void Menu::onNoTicketAnswer(int32_t answer) {
    if (answer == 1) {
        focusTicketRow(_shopExt);
        showPanel("shop", false);
    } else {
        goBack(true);
    }
}

void Menu::replayTutorial() {
    sendAnalyticsEvent("menu options", "tutorial", "", 1);
    startTutorial();
}

// The flows called below (onMainStart, the revives, the shares, restorePurchases) send their own
// analytics event; the events that call them send none of their own.
void Menu::onTutorialStartEvent::execute(View*) { _menu->startTutorial(); }
void Menu::onMainStartEvent::execute(View*) { _menu->onMainStart(); }
void Menu::onMainOptionsEvent::execute(View*) {
    sendAnalyticsEvent("menu main", "menu options", "", 1);
    _menu->goToPanel("options", false);
}
void Menu::onMainShopEvent::execute(View*) {
    sendAnalyticsEvent("menu main", "menu shop", "", 1);
    _menu->goToPanel("shop", false);
}
void Menu::onMainShopSelectCharactersEvent::execute(View*) { _menu->openShopCharacters(); }
void Menu::onMainShopSelectTrainsEvent::execute(View*) { _menu->openShopTrains(); }
void Menu::onMainMapEvent::execute(View*) { _menu->goToPanel("map", false); }
void Menu::onMainMissionsEvent::execute(View*) { _menu->goToPanel("mission", false); }
void Menu::onMapBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onMapTicketEvent::execute(View*) {
    focusTicketRow(_menu->getShopExt());
    _menu->goToPanel("shop", false);
}
void Menu::onMapStartEvent::execute(View*) { _menu->startFromMap(); }
void Menu::onMapSelectEvent::execute(View*) { _menu->travelToContinent(); }
void Menu::onMapSelectLeftEvent::execute(View*) {
    if (MenuMapExt02* map = _menu->getMapExt())
        map->selectPrevious();
}
void Menu::onMapSelectRightEvent::execute(View*) {
    if (MenuMapExt02* map = _menu->getMapExt())
        map->selectNext();
}
void Menu::onMissionBackEvent::execute(View*) { _menu->goBack(true); }
// The page runs these when the finger goes down on the button: the options panel then takes the
// touch and decides on its end between a toggle and a volume drag.
void Menu::onOptionsMusicEvent::execute(View*) {
    if (MenuOptionsExt* options = _menu->getOptionsExt())
        options->selectControl(MenuOptionsExt::ControlMusic);
}
void Menu::onOptionsSFXEvent::execute(View*) {
    if (MenuOptionsExt* options = _menu->getOptionsExt())
        options->selectControl(MenuOptionsExt::ControlSound);
}
void Menu::onOptionsTutorialEvent::execute(View*) { _menu->replayTutorial(); }
void Menu::onOptionsGamecenterEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "gamecenter", "", 1);
    SocialPlatform::instance().gameCenterShow();
}
void Menu::onOptionsFacebookEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "facebook", "", 1);
    openUrl(kMakerSocialPage);
}
void Menu::onOptionsTwitterEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "twitter", "", 1);
    openUrl(kMakerMessagePage);
}
void Menu::onOptionsMorefunEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "more fun", "", 1);
    openUrl(kMakerStorePage);
}
void Menu::onOptionsKavelWebEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "kavel web", "", 1);
    openUrl(kMakerWebSite);
}
void Menu::onOptionsRestorePurchasesEvent::execute(View*) { _menu->restorePurchases(); }
void Menu::onOptionsCreditsEvent::execute(View*) {
    sendAnalyticsEvent("menu options", "menu credits", "", 1);
    _menu->goToPanel("credits", false);
}
void Menu::onOptionsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onCreditsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onShopCoin2Event::execute(View*) { focusBank(_menu->getShopExt()); }
void Menu::onShopTicket2Event::execute(View*) { focusTicketRow(_menu->getShopExt()); }
void Menu::onShopItemEvent::execute(View* view) { _menu->buyShopItem(view); }
void Menu::onShopBankEvent::execute(View* view) { _menu->buyBankItem(view); }
void Menu::onShopSelectBoostsEvent::execute(View*) { focusNextInTab(_menu->getShopExt(), &MenuShopExt::_boosts); }
void Menu::onShopSelectCharactersEvent::execute(View*) {
    focusNextInTab(_menu->getShopExt(), &MenuShopExt::_characters);
}
void Menu::onShopSelectTrainsEvent::execute(View*) { focusNextInTab(_menu->getShopExt(), &MenuShopExt::_trains); }
void Menu::onShopSelectSkinEvent::execute(View*) { focusNextInTab(_menu->getShopExt(), &MenuShopExt::_skins); }
void Menu::onShopSelectBankEvent::execute(View*) { focusNextInTab(_menu->getShopExt(), &MenuShopExt::_bank); }
void Menu::onShopBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onMessageYesEvent::execute(View*) { _menu->answerMessage(1); }
void Menu::onMessageOkEvent::execute(View*) { _menu->answerMessage(1); }
void Menu::onMessageNoEvent::execute(View*) { _menu->answerMessage(0); }
void Menu::onHudPauseEvent::execute(View*) { _menu->pauseRun(); }
void Menu::onHudRecordEvent::execute(View*) {
    if (MenuHudExt* hud = _menu->getHudExt())
        hud->onRecordButton();
}
void Menu::onHudPlayerSelectEvent::execute(View*) {
    Stage* stage = Stage::get();
    if (Road* road = stage ? stage->getRoad() : nullptr)
        road->replaceProxyObjects();
}
void Menu::onHudDebugEvent::execute(View*) { _menu->_railsDebug = !_menu->_railsDebug; }
void Menu::onReviveVideoEvent::execute(View*) { _menu->reviveByVideo(); }
void Menu::onReviveCoinsEvent::execute(View*) { _menu->reviveByCoins(); }
// While a revive video plays the revive is decided already: the skip is neither done nor counted.
void Menu::onReviveNoEvent::execute(View*) {
    if (_menu->isVideoPending())
        return;
    sendAnalyticsEvent("menu revive", "skip", "", 1);
    _menu->declineRevive();
}
void Menu::onSurpriseboxOpenEvent::execute(View*) {
    if (_menu->_surpriseExt)
        _menu->_surpriseExt->open();
}
void Menu::onResultsCoin2Event::execute(View*) {
    focusBank(_menu->getShopExt());
    _menu->goToPanel("shop", false);
}
void Menu::onResultsMapEvent::execute(View*) {
    sendAnalyticsEvent("menu results", "menu map", "", 1);
    _menu->goToPanel("map", false);
}
void Menu::onResultsMissionsEvent::execute(View*) {
    sendAnalyticsEvent("menu results", "menu mission", "", 1);
    _menu->goToPanel("mission", false);
}
void Menu::onResultsRestartEvent::execute(View*) {
    sendAnalyticsEvent("menu results", "restart", "", 1);
    _menu->restartRun();
}
void Menu::onResultsShopEvent::execute(View*) {
    sendAnalyticsEvent("menu results", "menu shop", "", 1);
    _menu->goToPanel("shop", false);
}
void Menu::onResultsExitEvent::execute(View*) {
    sendAnalyticsEvent("menu results", "menu main", "", 1);
    _menu->enterMainMenu();
}
void Menu::onResultsTwitterEvent::execute(View*) { _menu->shareTwitter(); }
void Menu::onResultsPlaybackEvent::execute(View*) { _menu->playLastRecording(); }
void Menu::onResultsFacebookEvent::execute(View*) { _menu->shareFacebook(); }
void Menu::onPauseBackEvent::execute(View*) { resumeFromPause(_menu); }
void Menu::onPauseResumeEvent::execute(View*) { resumeFromPause(_menu); }
// Leaving a paused run keeps what it earned: its goods reach the totals before the run is reset.
void Menu::onPauseExitEvent::execute(View*) {
    sendAnalyticsEvent("menu pause", "menu main", "", 1);
    _menu->collectRunGoods();
    _menu->enterMainMenu();
}
void Menu::onPauseRestartEvent::execute(View*) {
    sendAnalyticsEvent("menu pause", "restart", "", 1);
    _menu->collectRunGoods();
    _menu->restartRun();
}

}  // namespace Zelvan
