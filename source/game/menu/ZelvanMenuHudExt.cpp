#include "game/menu/ZelvanMenuHudExt.h"

namespace Zelvan {

MenuHudExt::MenuHudExt(const std::string& name, Menu* /*menu*/, Panel* panel) {
    _name = name;
    _panel = panel;
}
void MenuHudExt::resetRun() {}
void MenuHudExt::prepareRecordButton() {}
void MenuHudExt::onRecordButton() {}
void MenuHudExt::setDebugVisible(bool /*visible*/) {}
void MenuHudExt::queueMessage(const std::string& /*text*/) {}
void MenuHudExt::showStargateEnter() {}
void MenuHudExt::showStargateActivated() {}
void MenuHudExt::showWordCompleted() {}
void MenuHudExt::onNewWord() {}
void MenuHudExt::showNewRecord() {}
void MenuHudExt::showPlayerDeath() {}
void MenuHudExt::setCoins(int32_t /*coins*/) {}
void MenuHudExt::setDistance(int32_t /*distance*/) {}
void MenuHudExt::setEnergy(float /*percent*/) {}
void MenuHudExt::setBattery(float /*battery*/) {}
void MenuHudExt::setBrake(float /*progress*/, float /*charge*/) {}
void MenuHudExt::setBoostTime1(float /*percent*/) {}
void MenuHudExt::setBoostTime2(float /*percent*/) {}
void MenuHudExt::setBoostTime3(float /*percent*/) {}
void MenuHudExt::setBoostTime4(float /*percent*/) {}
void MenuHudExt::setBoostTime5(float /*percent*/) {}
void MenuHudExt::setStargateActive(bool /*active*/) {}
void MenuHudExt::setWord(const std::string& /*word*/, const std::string& /*missing*/) {}
void MenuHudExt::setDebugLog(int32_t /*line*/, const std::string& /*text*/) {}
void MenuHudExt::setDebugLevelSet(const std::string& /*name*/) {}
void MenuHudExt::setDebugLevel(const std::string& /*name*/) {}

}  // namespace Zelvan
