// The menu's named events: what each page button runs. The events whose whole action is one of
// the controller's own operations (panel moves, the message answers, pausing, the tutorial start)
// act already; the others are bound by name and do nothing until their screens' flows exist.

#include <cstdio>

#include "engine/online/SocialPlatform.h"
#include "engine/services.h"
#include "game/ZelvanTexts.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanMenuSurpriseExt.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

namespace {

// Leaving the pause: the run goes on and the panel before the pause (the HUD) comes back.
void resumeFromPause(Menu* menu) {
    if (Stage* stage = Stage::get())
        stage->setState(Stage::StateRunning);
    menu->goBack(true);
}

std::string translatedText(const std::string& key) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(key) : key;
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
                      translatedText("#text_menu_map_select_message"), [](Menu* m, int32_t answer) {
                          if (answer == 1)
                              m->showPanel("shop", false);
                          else
                              m->goBack(true);
                      });
}

void Menu::startFromMap() {
    Menu* menu = this;
    MenuMapExt02* map = menu->getMapExt();
    const std::string continent =
        map && map->getCurrent() ? translatedText(map->getCurrent()->textName) : std::string("?");
    sendAnalyticsEvent("menu map", "start - continent", continent.c_str(), 1);
    if (map)
        map->playStart();
    menu->restartRun();
}

void Menu::openShopCharacters() {}
void Menu::openShopTrains() {}
void Menu::onNoTicketAnswer(int32_t) {}
void Menu::replayTutorial() {}

void Menu::onTutorialStartEvent::execute(View*) { _menu->startTutorial(); }
void Menu::onMainStartEvent::execute(View*) {}
void Menu::onMainOptionsEvent::execute(View*) {}
void Menu::onMainShopEvent::execute(View*) {}
void Menu::onMainShopSelectCharactersEvent::execute(View*) {}
void Menu::onMainShopSelectTrainsEvent::execute(View*) {}
void Menu::onMainMapEvent::execute(View*) { _menu->goToPanel("map", false); }
void Menu::onMainMissionsEvent::execute(View*) { _menu->goToPanel("mission", false); }
void Menu::onMapBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onMapTicketEvent::execute(View*) {}
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
void Menu::onOptionsMusicEvent::execute(View*) {}
void Menu::onOptionsSFXEvent::execute(View*) {}
void Menu::onOptionsTutorialEvent::execute(View*) {}
void Menu::onOptionsGamecenterEvent::execute(View*) {}
void Menu::onOptionsFacebookEvent::execute(View*) {}
void Menu::onOptionsTwitterEvent::execute(View*) {}
void Menu::onOptionsMorefunEvent::execute(View*) {}
void Menu::onOptionsKavelWebEvent::execute(View*) {}
void Menu::onOptionsRestorePurchasesEvent::execute(View*) { _menu->restorePurchases(); }
void Menu::onOptionsCreditsEvent::execute(View*) {}
void Menu::onOptionsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onCreditsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onShopCoin2Event::execute(View*) {}
void Menu::onShopTicket2Event::execute(View*) {}
void Menu::onShopItemEvent::execute(View* view) { _menu->buyShopItem(view); }
void Menu::onShopBankEvent::execute(View* view) { _menu->buyBankItem(view); }
void Menu::onShopSelectBoostsEvent::execute(View*) {}
void Menu::onShopSelectCharactersEvent::execute(View*) {}
void Menu::onShopSelectTrainsEvent::execute(View*) {}
void Menu::onShopSelectSkinEvent::execute(View*) {}
void Menu::onShopSelectBankEvent::execute(View*) {}
void Menu::onShopBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onMessageYesEvent::execute(View*) { _menu->answerMessage(1); }
void Menu::onMessageOkEvent::execute(View*) { _menu->answerMessage(1); }
void Menu::onMessageNoEvent::execute(View*) { _menu->answerMessage(0); }
void Menu::onHudPauseEvent::execute(View*) { _menu->pauseRun(); }
void Menu::onHudRecordEvent::execute(View*) {}
void Menu::onHudPlayerSelectEvent::execute(View*) {}
void Menu::onHudDebugEvent::execute(View*) { _menu->_railsDebug = !_menu->_railsDebug; }
void Menu::onReviveVideoEvent::execute(View*) {}
void Menu::onReviveCoinsEvent::execute(View*) {}
void Menu::onReviveNoEvent::execute(View*) {}
void Menu::onSurpriseboxOpenEvent::execute(View*) {
    if (_menu->_surpriseExt)
        _menu->_surpriseExt->open();
}
void Menu::onResultsCoin2Event::execute(View*) {}
void Menu::onResultsMapEvent::execute(View*) {}
void Menu::onResultsMissionsEvent::execute(View*) {}
void Menu::onResultsRestartEvent::execute(View*) {}
void Menu::onResultsShopEvent::execute(View*) {}
void Menu::onResultsExitEvent::execute(View*) {}
void Menu::onResultsTwitterEvent::execute(View*) {}
void Menu::onResultsPlaybackEvent::execute(View*) {}
void Menu::onResultsFacebookEvent::execute(View*) {}
void Menu::onPauseBackEvent::execute(View*) { resumeFromPause(_menu); }
void Menu::onPauseResumeEvent::execute(View*) { resumeFromPause(_menu); }
void Menu::onPauseExitEvent::execute(View*) {}
void Menu::onPauseRestartEvent::execute(View*) {}

}  // namespace Zelvan
