#pragma once
// What the stage asks of the menu controller. The screens themselves come later; until they do,
// Menu::create gives none and the stage runs without a menu (every call below is guarded by the
// stage). The extensions are optional faces of the menu: each getter returns null when the menu
// has no such face.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

namespace Zelvan {

class MenuOptionsExt {
public:
    virtual ~MenuOptionsExt() {}
    virtual void setMusicOn(bool on) = 0;
    virtual void setMusicVolume(int32_t volume) = 0;
    virtual void setSoundOn(bool on) = 0;
    virtual void setSoundVolume(int32_t volume) = 0;
};

// The shop's catalogue and purse (game/menu/ZelvanMenuShopExt.h).
class MenuShopExt;

class MenuHudExt {
public:
    virtual ~MenuHudExt() {}
    virtual void setDebugVisible(bool visible) = 0;
    virtual void queueMessage(const std::string& text) = 0;
    virtual void showStargateEnter() = 0;
    virtual void showStargateActivated() = 0;
    virtual void showWordCompleted() = 0;
    virtual void onNewWord() = 0;
    virtual void showNewRecord() = 0;
    virtual void showPlayerDeath() = 0;
    virtual void setCoins(int32_t coins) = 0;
    virtual void setDistance(int32_t distance) = 0;
    virtual void setEnergy(float percent) = 0;
    virtual void setBattery(float battery) = 0;
    virtual void setBrake(float progress, float charge) = 0;
    virtual void setBoostTime1(float percent) = 0;
    virtual void setBoostTime2(float percent) = 0;
    virtual void setBoostTime3(float percent) = 0;
    virtual void setBoostTime4(float percent) = 0;
    virtual void setBoostTime5(float percent) = 0;
    virtual void setStargateActive(bool active) = 0;
    virtual void setWord(const std::string& word, const std::string& missing) = 0;
    virtual void setDebugLog(int32_t line, const std::string& text) = 0;
    virtual void setDebugLevelSet(const std::string& name) = 0;
    virtual void setDebugLevel(const std::string& name) = 0;
};

class MenuLoaderExt {
public:
    virtual ~MenuLoaderExt() {}
    virtual void setProgress(float percent) = 0;
    virtual void setText(const std::string& text) = 0;
};

// The world map: its continents (level group sets by name), which are unlocked, which is chosen.
class MenuMapExt02 {
public:
    struct Entry {
        std::string name;
        int32_t flag = 0;  // 1: unlocked
    };
    virtual ~MenuMapExt02() {}
    virtual const std::vector<Entry>& getEntries() const = 0;
    // Null when none is selected.
    virtual const Entry* getSelectedEntry() const = 0;
    virtual void selectContinent(int32_t index) = 0;
};

class MenuMissionsExt {
public:
    virtual ~MenuMissionsExt() {}
    virtual float getBestDistance() const = 0;
};

class Menu {
public:
    // The menu controller; none until the screens exist.
    static Menu* create() { return nullptr; }
    virtual ~Menu() {}

    virtual void loadTitle() = 0;
    virtual void showPanel(const std::string& name, int32_t mode) = 0;
    virtual void loadPanels() = 0;
    virtual void update(float dt) = 0;
    virtual void enterMainMenu() = 0;
    virtual void pauseRun() = 0;
    virtual void showRunEnd() = 0;
    virtual void touchBegan(int32_t finger, const Vector3& position) = 0;
    virtual void touchMoved(int32_t finger, const Vector3& position) = 0;
    virtual void touchEnded(int32_t finger, const Vector3& position) = 0;

    virtual bool isAdsEnabled() const = 0;
    virtual void setAdsEnabled(bool on) = 0;
    virtual bool isRailsDebug() const = 0;
    virtual void setRailsDebug(bool on) = 0;
    // The text scale of the interface's world, which the game world copies.
    virtual float getTextScale() const = 0;

    virtual MenuOptionsExt* getOptionsExt() { return nullptr; }
    virtual MenuShopExt* getShopExt() { return nullptr; }
    virtual MenuHudExt* getHudExt() { return nullptr; }
    virtual MenuLoaderExt* getLoaderExt() { return nullptr; }
    virtual MenuMapExt02* getMapExt() { return nullptr; }
    virtual MenuMissionsExt* getMissionsExt() { return nullptr; }
};

}  // namespace Zelvan
