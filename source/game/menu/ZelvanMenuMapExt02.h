#pragma once
// The world map: a spinning globe with clouds and stars, the continents on it (each names the
// level group set of the runs started there), the continent the player browses (selected) and
// the one the player is at (current, paid for with a ticket). Runs and the profile follow the
// current continent only; browsing costs nothing and changes nothing else.

#include <cstdint>
#include <string>
#include <vector>

#include "game/menu/ZelvanMenuExtension.h"

class Object;
class Panel;
class PSParticleSystem;
class Scene;
class World;

namespace Zelvan {

class ActorMenu;
class ActorPlayer;
class LevelSkin;
class Menu;

class MenuMapExt02 : public MenuExtension {
public:
    struct Continent {
        std::string name;
        Object* node = nullptr;
        Object* selectedNode = nullptr;
        Object* characterNode = nullptr;
        std::string levelSet;
        std::string textName;
        std::string textDescription;
        bool selectable = true;
        float flashPhase = -1.0f;
    };

    MenuMapExt02(const std::string& name, Menu* menu, Panel* panel, World* menuWorld, PSParticleSystem* particles);
    ~MenuMapExt02() override;

    void onShow(bool back) override;
    void onHide(bool forward) override;
    void onHidden() override;
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;
    void update(float dt) override;

    void load();
    // Makes the named continent current (and selected); an unknown name keeps the current one
    // and answers false.
    bool selectContinent(const std::string& name);
    void selectPrevious();
    void selectNext();
    void playTravel();
    void playStart();
    void setSelected(Continent* continent);
    Continent* findContinent(const std::string& name) const;
    // Turns the globe toward the continent.
    void turnToward(const Continent* continent);
    // The globe angle (radians) that shows the continent in front, before the offset.
    float continentAngle(const Continent* continent) const;
    // Shows "travel" or "start" and the ticket total.
    void refreshButtons();

    const std::vector<Continent*>& getContinents() const { return _continents; }
    Continent* getSelected() const { return _selected; }
    Continent* getCurrent() const { return _current; }
    // The level set of the current continent; empty without one.
    std::string currentLevelSet() const;

    Menu* _menu = nullptr;
    Panel* _panel = nullptr;
    World* _menuWorld = nullptr;
    PSParticleSystem* _particles = nullptr;
    Scene* _mapScene = nullptr;
    float _starsAngularVelocity;
    float _globeLinearVelocitySpring = 0.8f;
    float _globeLinearVelocityDamp = 0.1f;
    float _globeAngularOffset = 0;
    float _globeAngularVelocityDefault;
    float _globeAngularVelocityMax;
    float _globeAngularVelocityDamp = 0.5f;
    float _globeAngularVelocitySelectSpring = 0.8f;
    float _globeAngularVelocitySelectDamp = 0.5f;
    float _cloudsAngularVelocity;
    float _continentFlashIntensity = 0.5f;
    float _continentFlashSpeed = 5.0f;
    std::string _levelSkinDefault;
    Object* _stars = nullptr;
    Object* _globeRoot = nullptr;
    Object* _globe = nullptr;
    Object* _clouds = nullptr;
    std::vector<Continent*> _continents;
    ActorPlayer* _player = nullptr;
    ActorMenu* _trainActor = nullptr;
    Continent* _selected = nullptr;
    Continent* _current = nullptr;
    bool _dragging = false, _moved = false;
    Vector3 _dragAccum, _dragVelocity, _lastTouch;
    float _starsAngle = 0;
    Vector3 _globeBase, _globeOffset, _globeVelocity;
    float _globeAngle = 0, _globeAngularVelocity = 0;
    bool _turning = false;
    float _targetAngle = 0;
    float _cloudsAngle = 0;

    // The player's train on the current continent: made anew for another player, re-skinned for
    // the same one.
    void refreshTrain();
    void placeTrain();
    ActorMenu* getTrainActor() const { return _trainActor; }

private:
    LevelSkin* trainSkin() const;
    void releaseTrain();
    void setContinentBrightness(Continent* continent, float b);
};

}  // namespace Zelvan
