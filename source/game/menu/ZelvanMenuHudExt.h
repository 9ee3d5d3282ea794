#pragma once
// The HUD during a run: the stage's values and moments, messages, the record button. Only what the
// stage and the menu controller call exists so far; each call does nothing yet.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuHudExt : public MenuExtension {
public:
    MenuHudExt(const std::string& name, Menu* menu, Panel* panel);
    void resetRun();
    void prepareRecordButton();
    void onRecordButton();
    void setDebugVisible(bool visible);
    void queueMessage(const std::string& text);
    void showStargateEnter();
    void showStargateActivated();
    void showWordCompleted();
    void onNewWord();
    void showNewRecord();
    void showPlayerDeath();
    void setCoins(int32_t coins);
    void setDistance(int32_t distance);
    void setEnergy(float percent);
    void setBattery(float battery);
    void setBrake(float progress, float charge);
    void setBoostTime1(float percent);
    void setBoostTime2(float percent);
    void setBoostTime3(float percent);
    void setBoostTime4(float percent);
    void setBoostTime5(float percent);
    void setStargateActive(bool active);
    void setWord(const std::string& word, const std::string& missing);
    void setDebugLog(int32_t line, const std::string& text);
    void setDebugLevelSet(const std::string& name);
    void setDebugLevel(const std::string& name);

    Panel* _panel = nullptr;
};

}  // namespace Zelvan
