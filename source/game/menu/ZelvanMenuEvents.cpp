// The menu's named events: what each page button runs. The events whose whole action is one of
// the controller's own operations (panel moves, the message answers, pausing, the tutorial start)
// act already; the others are bound by name and do nothing until their screens' flows exist.

#include "game/menu/ZelvanMenu.h"
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

}  // namespace

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
void Menu::onMapStartEvent::execute(View*) {}
void Menu::onMapSelectEvent::execute(View*) {}
void Menu::onMapSelectLeftEvent::execute(View*) {}
void Menu::onMapSelectRightEvent::execute(View*) {}
void Menu::onMissionBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onOptionsMusicEvent::execute(View*) {}
void Menu::onOptionsSFXEvent::execute(View*) {}
void Menu::onOptionsTutorialEvent::execute(View*) {}
void Menu::onOptionsGamecenterEvent::execute(View*) {}
void Menu::onOptionsFacebookEvent::execute(View*) {}
void Menu::onOptionsTwitterEvent::execute(View*) {}
void Menu::onOptionsMorefunEvent::execute(View*) {}
void Menu::onOptionsKavelWebEvent::execute(View*) {}
void Menu::onOptionsRestorePurchasesEvent::execute(View*) {}
void Menu::onOptionsCreditsEvent::execute(View*) {}
void Menu::onOptionsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onCreditsBackEvent::execute(View*) { _menu->goBack(true); }
void Menu::onShopCoin2Event::execute(View*) {}
void Menu::onShopTicket2Event::execute(View*) {}
void Menu::onShopItemEvent::execute(View*) {}
void Menu::onShopBankEvent::execute(View*) {}
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
