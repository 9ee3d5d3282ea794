#pragma once
// The HUD during a run. The stage feeds it the run's figures every gameplay frame and tells it the
// moments worth a message; it turns them into labels, progress bars, boost icons that take turns,
// a queue of messages shown one after the other, the word being collected, and the debug lines.
// Items are looked up by name at each use; a page without one of them simply lacks that part.

#include <cstdint>
#include <deque>
#include <string>

#include "game/ZelvanTimers.h"
#include "game/menu/ZelvanMenuExtension.h"

class Panel;

namespace Zelvan {

class Menu;

class MenuHudExt : public MenuExtension {
public:
    MenuHudExt(const std::string& name, Menu* menu, Panel* panel);

    void onShow(bool back) override;
    void onHide(bool forward) override;
    void update(float dt) override;
    void onHidden() override;

    void loadConfig();
    void initItems();

    // ---- From the menu controller ----
    // Every start, restart and continue of a run.
    void resetRun();
    void prepareRecordButton();
    void onRecordButton();

    // ---- From the stage, every gameplay frame ----
    void setCoins(int32_t coins);
    void setDistance(int32_t distance);
    void setEnergy(float percent);
    void setBattery(float battery);
    void setBrake(float time, float charge);
    // Slots 1..5: hit, magnet, turbo, fps, coin2x; above 0 while active, the bar's fill in percent.
    void setBoostTime1(float percent);
    void setBoostTime2(float percent);
    void setBoostTime3(float percent);
    void setBoostTime4(float percent);
    void setBoostTime5(float percent);
    void setStargateActive(bool active);
    // The word being collected and the letters of it still missing.
    void setWord(const std::string& word, const std::string& missing);

    // ---- From the stage, on its moments ----
    void queueMessage(const std::string& text);
    void showStargateActivated();
    void showStargateEnter();
    void onNewWord();
    void showWordCompleted();
    void showNewRecord();
    void showPlayerDeath();

    // ---- Debug ----
    void setDebugVisible(bool visible);
    void setDebugLog(int32_t line, const std::string& text);
    void setDebugLevelSet(const std::string& name);
    void setDebugLevel(const std::string& name);

    // The letters of word that are collected, in the word's order: the word less one occurrence
    // of each missing letter (compared without case).
    static std::string collectedLetters(const std::string& word, const std::string& missing);

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    int32_t _coinsShown = 0;
    int32_t _distanceShown = 0;
    float _energyShown = 0;
    float _energyTarget = 0;
    float _batteryShown = 0;
    float _batteryTarget = 0;
    // Entries 1..5 are the boost slots; entry 0 stands for "no boost" and stays 0.
    float _boostValue[6] = {0, 0, 0, 0, 0, 0};
    RoundRobinList _boostIcons;
    float _progressbarSpeed = 10.0f;
    float _brakeFlash = 0.5f;
    float _brakeFlashTime = 0;  // -1: not braking
    bool _brakeOn = false;
    Fade _stargateFade;
    ChangeFlag _stargateVisible;
    Countdown _messageWait;
    Countdown _messageDelay;
    std::deque<std::string> _messages;
    Countdown _wordWait;
    // The word and the missing letters shown last.
    std::string _word;
    std::string _missing;
    bool _debugVisible = false;
    std::string _debugLog;
    std::string _debugLevelSet;
    std::string _debugLevel;

private:
    void setBoostTime(int32_t id, float value);
    // Shows or hides the item only when it is not already so: showing starts the item's effects
    // again, which must not happen every frame.
    void setItemShown(const std::string& item, bool shown);
    void setBar(const std::string& item, float value);
    void queueTranslated(const char* key);
};

}  // namespace Zelvan
