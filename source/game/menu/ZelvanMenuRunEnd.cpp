// The run's end beyond the panels: the two ways to revive, the rating question of the main
// menu's start, gameplay recording and sharing the run's distance.

#include "game/menu/ZelvanMenu.h"

namespace Zelvan {

bool Menu::payRevive() { return false; }
void Menu::reviveByCoins() {}
void Menu::onReviveCoinsAnswer(int32_t) {}
void Menu::reviveByVideo() {}
void Menu::onVideoClosed() {}
void Menu::onMainStart() {}
void Menu::onRateGameAnswer(int32_t) {}
bool Menu::isRecordingSupported() const { return false; }
void Menu::startRecording() {}
void Menu::pauseRecording() {}
void Menu::resumeRecording() {}
void Menu::stopRecording() {}
void Menu::playLastRecording() {}
void Menu::onOverlayShown() {}
void Menu::onOverlayHidden() {}
void Menu::shareFacebook() {}
void Menu::shareTwitter() {}

}  // namespace Zelvan
