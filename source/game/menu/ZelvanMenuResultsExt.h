#pragma once
// The results screen after a run: the run's distance and coins with the friends' ranking in its
// table, the run's goods moved into the totals, badges on the buttons that lead to something new,
// and the current character as a small figure turning beside the table.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Camera;
class Panel;
class PSParticleSystem;
class Scene;
class World;

namespace Zelvan {

class ActorCharacter;
class ActorMenu;
class Menu;

class MenuResultsExt : public MenuExtension {
public:
    // The widest and narrowest view the figure's camera takes, in degrees: its field of view
    // follows the screen's shape, and a wide screen would otherwise ask for a view of half a turn
    // or more, which no projection has.
    static constexpr float kFovMin = kMenuFovMin;
    static constexpr float kFovMax = kMenuFovMax;
    // The figure's field of view for a screen's width / height.
    static float fieldOfView(float aspect);

    MenuResultsExt(const std::string& name, Menu* menu, Panel* panel, World* menuWorld, PSParticleSystem* particles);
    ~MenuResultsExt() override;

    void onShow(bool back) override;
    void onHide(bool forward) override;
    bool touchBegan(int32_t, const Vector3&) override { return true; }
    bool touchMoved(int32_t, const Vector3&) override { return true; }
    bool touchEnded(int32_t, const Vector3&) override { return true; }
    void update(float dt) override;
    void onHidden() override;

    // The run's distance, kept from the last run's results for sharing.
    float getDistance() const { return _distance; }
    // Ranking rows the table has room for.
    int32_t rankingRows() const;

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    World* _menuWorld = nullptr;
    PSParticleSystem* _particles = nullptr;
    Scene* _scene = nullptr;
    Camera* _camera = nullptr;
    float _menuScale = 1.0f;
    float _objectScale = 1.0f;
    float _objectFaceAngle;
    float _objectAngleStart;
    float _objectAngularVelocity;
    std::string _levelSkinDefault;
    ActorCharacter* _shownCharacter = nullptr;
    ActorMenu* _figure = nullptr;
    Vector3 _centre{0, 0, 0};
    float _angle = 0;
    float _distance = 0;

private:
    void sendRunAnalytics();
    void writeTable();
    void refreshBadges();
    void refreshFigure();
    void releaseFigure();
};

}  // namespace Zelvan
