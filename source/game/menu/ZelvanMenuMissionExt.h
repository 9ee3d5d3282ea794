#pragma once
// The missions screen: one mission map per region, a path with waypoints (gifts) and a reward
// train at its end. Every run in a region adds its distance to that region's map; the screen
// shows the map's scene in the game's world with its own camera, and taps collect the gifts of
// reached waypoints and the train of a completed map. It also keeps the best distances and
// reports them to the leaderboards.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render/PSParticleSystem.h"
#include "game/menu/ZelvanMenuExtension.h"

class Camera;
class Object;
class Panel;
class PSParticleSystem;
class Scene;
class World;

namespace Zelvan {

class Atmosphere;
class Menu;

class MenuMissionExt : public MenuExtension {
public:
    struct Waypoint {
        float frame = 0;
        Object* gift = nullptr;
        Object* marker = nullptr;
        bool giftWaiting = false;
    };

    struct MissionMap {
        std::string name;
        std::string levelSet;
        Scene* scene = nullptr;
        std::string atmosphere;
        std::string actorPlayer;
        Camera* camera = nullptr;
        float cameraFov = 60.0f;  // degrees, as the scene gave it
        Object* objectPlayer = nullptr;
        Object* objectTrainLocked = nullptr;
        Object* objectTrainUnlocked = nullptr;
        float cameraFrameMin = 0, cameraFrameMax = 0;
        bool trainWaiting = false;
        std::vector<Waypoint> waypoints;
        float distance = 0;
        float travelled = 0;
        std::string gamecenter;
        float best = 0;
        float cameraFrame = 0;

        float progress() const;
        float progressValue() const;
        // A map without a distance has nothing to complete (and no train to give away).
        bool isCompleted() const { return distance > 0 && travelled >= distance; }
        bool isReached(const Waypoint& w) const { return w.frame <= progressValue(); }
        float clampFrame(float f) const;
    };

    MenuMissionExt(const std::string& name, Menu* menu, Panel* panel, World* world, PSParticleSystem* particles);
    ~MenuMissionExt() override;

    void onShow(bool back) override;
    void onHidden() override;
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;
    void update(float dt) override;

    void load();
    MissionMap* findMap(const std::string& name) const;
    bool selectMapForLevelSet(const std::string& levelSet);
    bool hasAvailable() const;
    void setBestDistance(float distance);
    void setMapBest(const std::string& name, float distance);
    void reportDistance(float distance);
    // The run's part of collecting its goods: the bests reported, then the distance added to the
    // current map.
    void addRunDistance(float distance);
    // The tap's hits (objects of the map's scene) in order; true when one was handled.
    bool handleTap(const std::vector<Object*>& hits);
    void showWaypoints();
    void showTrain();
    // While the map shows, the game behind it makes way (cover) and comes back afterwards.
    void coverGame(bool cover);
    // The map's actors animate, their conductors start and its nodes' effects are emitted.
    void startScene(MissionMap* m);

    // Frees the actors of the current map's scene of a particle emitter that ends.
    struct ParticleEvent : public IPSEventHandler {
        void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override;
        MenuMissionExt* _ext = nullptr;
    };

    float getBestDistance() const { return _bestDistance; }
    MissionMap* getCurrentMap() const { return _currentMap; }
    const std::vector<MissionMap*>& getMaps() const { return _maps; }

    Menu* _menu = nullptr;
    Panel* _panel = nullptr;
    World* _world = nullptr;
    PSParticleSystem* _particles = nullptr;
    std::vector<MissionMap*> _maps;
    MissionMap* _currentMap = nullptr;
    Atmosphere* _currentAtmosphere = nullptr;
    std::string _gamecenter;
    float _bestDistance = 0;
    float _cameraNearPlane = 1.0f, _cameraFarPlane = 150.0f;
    float _velocityMul = 5.0f, _velocityMax = 10.0f, _velocityDamp = 0.1f;
    bool _dragging = false, _moved = false;
    Vector3 _lastTouch, _dragAccum;
    float _frameVelocity = 0;
    bool _gliding = false;
    float _glideTarget = 0;
    bool _resetFrameOnHide = true;
    bool _shown = false;
    bool _ownParticles = false;
    ParticleEvent _particleEvent;
    std::vector<Scene*> _hiddenScenes;  // the road's level scenes hidden under the map
};

}  // namespace Zelvan
