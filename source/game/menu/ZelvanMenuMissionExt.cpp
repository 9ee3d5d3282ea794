#include "game/menu/ZelvanMenuMissionExt.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/online/SocialPlatform.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/RenderTarget.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/profile/ZelvanFriendProfile.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const int32_t kPickType = 1016;
// A wider view than this turns the picture inside out; wide windows would reach it.
const float kMaxFov = 170.0f;

float clamp01(float v) { return std::isnan(v) ? 0.0f : std::min(1.0f, std::max(0.0f, v)); }

std::string translate(const std::string& text) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(text) : text;
}

// The own profile keeps the best distances that friends' rankings compare.
void storeBest(const std::string& leaderboard, float distance) {
    if (leaderboard.empty())
        return;
    if (FriendProfile* own = dynamic_cast<FriendProfile*>(SocialPlatform::instance().getMyProfile()))
        own->setBestDistance(leaderboard, (uint32_t)std::max(0.0f, distance));
}

void reportScore(const std::string& leaderboard, float distance) {
    // Nothing to tell a leaderboard without a name, and no run of 0 m to report.
    if (leaderboard.empty() || !(distance > 0))
        return;
    SocialPlatform::instance().gameCenterReportScore(leaderboard, (uint64_t)distance);
}

void setTreeActive(Object* node, bool on) {
    if (node)
        setObjectActive(node, on);
}

void setWorldTarget(World* world, bool on) {
    if (world && world->_renderTarget)
        world->_renderTarget->_disabled = on ? 0 : 1;
}

// The actors of a scene: its top-level nodes of an actor type.
template <typename F>
void forEachActor(Scene* scene, F f) {
    if (!scene || !scene->_root)
        return;
    for (Object* node : scene->_root->_children)
        if (node && isActorTypeId(node->_typeId))
            f(static_cast<Actor*>(node));
}

}  // namespace

float MenuMissionExt::MissionMap::progress() const {
    return distance > 0 ? clamp01(travelled / distance) : 0.0f;
}

float MenuMissionExt::MissionMap::progressValue() const {
    if (waypoints.empty())
        return 0;
    const float first = waypoints.front().frame, last = waypoints.back().frame;
    return first + progress() * (last - first);
}

float MenuMissionExt::MissionMap::clampFrame(float f) const {
    return std::max(cameraFrameMin, std::min(cameraFrameMax, f));
}

MenuMissionExt::MenuMissionExt(const std::string& name, Menu* menu, Panel* panel, World* world,
                               PSParticleSystem* particles)
    : MenuExtension(name), _menu(menu), _panel(panel), _world(world), _particles(particles) {
    _particleEvent._ext = this;
    // Without a system of the menu's the maps' effects get one of their own in the game's world.
    if (!_particles && _world) {
        _particles = _world->createParticleSystem("particles");
        if (_particles) {
            _ownParticles = true;
            _particles->_eventHandler = &_particleEvent;
        }
    }
    load();
}

void MenuMissionExt::ParticleEvent::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    if (!_ext || system != _ext->_particles || !_ext->_currentMap)
        return;
    Scene* scene = _ext->_currentMap->scene;
    if (!scene || !scene->_root)
        return;
    for (Object* node : scene->_root->_children)
        if (node && isActorTypeId(node->_typeId) &&
            static_cast<Actor*>(node)->forgetParticleInstance(emitter, system))
            return;
}

MenuMissionExt::~MenuMissionExt() {
    _currentMap = nullptr;
    if (_ownParticles && _world && _particles) {
        _particles->removeAllEmitters();
        _world->destroyParticleSystem(_particles);
    }
    _particles = nullptr;
    for (MissionMap* m : _maps) {
        if (_world && m->scene)
            _world->releaseScene(m->scene);
        delete m;
    }
    _maps.clear();
}

void MenuMissionExt::load() {
    ConfigStore& cfg = ConfigStore::instance();
    _cameraNearPlane = cfg.getFloat(_name + ".cameraNearPlane", _cameraNearPlane);
    _cameraFarPlane = cfg.getFloat(_name + ".cameraFarPlane", _cameraFarPlane);
    _velocityMul = std::fabs(cfg.getFloat(_name + ".velocityMul", _velocityMul));
    _velocityMax = std::fabs(cfg.getFloat(_name + ".velocityMax", _velocityMax));
    _velocityDamp = clamp01(cfg.getFloat(_name + ".velocityDamp", _velocityDamp));
    _gamecenter = cfg.getString(_name + ".gamecenter", "");
    if (!_world)
        return;
    for (const std::string& entry : cfg.getList(_name + ".maps")) {
        const std::string levelSet = cfg.getString(entry + ".levelSet", "");
        const std::string sceneFile = cfg.getString(entry + ".levelMission", "");
        if (sceneFile.empty())
            continue;
        Scene* scene = _world->loadScene(sceneFile, 0, 0);
        if (!scene) {
            Logger::error("%s: mission map(%s) has no scene(%s)", _name.c_str(), entry.c_str(), sceneFile.c_str());
            continue;
        }
        scene->hide();
        forEachActor(scene, [&](Actor* actor) { actor->setParticleSystem(_particles); });
        MissionMap* m = new MissionMap();
        m->levelSet = levelSet;
        m->scene = scene;
        Object* root = scene->_root;
        auto find = [&](const char* key) -> Object* {
            const std::string n = cfg.getString(entry + key, "");
            return n.empty() || !root ? nullptr : findObjectByName(root, n);
        };
        m->name = cfg.getString(entry + ".name", entry.c_str());
        m->atmosphere = cfg.getString(entry + ".atmosphere", "");
        m->actorPlayer = cfg.getString(entry + ".actorPlayer", "");
        const std::string cameraName = cfg.getString(entry + ".camera", "");
        for (Camera* c : scene->_cameras)
            if (c->_name == cameraName)
                m->camera = c;
        if (!m->camera && !scene->_cameras.empty())
            m->camera = scene->_cameras.front();
        if (m->camera)
            m->cameraFov = m->camera->_fov * 180.0f / kPi;
        m->objectPlayer = find(".objectPlayer");
        m->objectTrainLocked = find(".objectTrainLocked");
        m->objectTrainUnlocked = find(".objectTrainUnlocked");
        m->trainWaiting = m->objectTrainLocked && m->objectTrainUnlocked;
        m->distance = std::max(0.0f, cfg.getFloat(entry + ".distance", 0.0f));
        m->gamecenter = cfg.getString(entry + ".gamecenter", "");
        for (Object* train : {m->objectTrainLocked, m->objectTrainUnlocked})
            if (train) {
                setObjectTypeId(train, kPickType);
                train->setBlocking(true);
            }
        const std::vector<std::string> words(cfg.getList(entry + ".waypoints").begin(),
                                             cfg.getList(entry + ".waypoints").end());
        for (size_t i = 0; i + 2 < words.size(); i += 3) {
            Waypoint w;
            w.frame = (float)std::atof(words[i].c_str());
            w.marker = root && !words[i + 1].empty() ? findObjectByName(root, words[i + 1]) : nullptr;
            w.gift = root && !words[i + 2].empty() ? findObjectByName(root, words[i + 2]) : nullptr;
            w.giftWaiting = w.gift != nullptr;
            if (w.gift) {
                setObjectTypeId(w.gift, kPickType);
                w.gift->setBlocking(true);
            }
            m->waypoints.push_back(w);
        }
        std::stable_sort(m->waypoints.begin(), m->waypoints.end(),
                         [](const Waypoint& a, const Waypoint& b) { return a.frame < b.frame; });
        if (m->waypoints.empty())
            m->waypoints.push_back(Waypoint());
        char fallback[64];
        std::snprintf(fallback, sizeof fallback, "%f,%f", 0.0, (double)m->waypoints.back().frame);
        float lo = 0, hi = m->waypoints.back().frame;
        const std::string limit = cfg.getString(entry + ".cameraFrameLimit", fallback);
        if (std::sscanf(limit.c_str(), "%f,%f", &lo, &hi) != 2) {
            lo = 0;
            hi = m->waypoints.back().frame;
        }
        m->cameraFrameMin = std::min(lo, hi);
        m->cameraFrameMax = std::max(lo, hi);
        m->cameraFrame = m->clampFrame(m->waypoints.front().frame);
        if (m->camera)
            stopObjectAnimations(m->camera);
        if (m->objectPlayer)
            stopObjectAnimation(m->objectPlayer);
        _maps.push_back(m);
    }
}

MenuMissionExt::MissionMap* MenuMissionExt::findMap(const std::string& name) const {
    for (MissionMap* m : _maps)
        if (m->name == name)
            return m;
    return nullptr;
}

bool MenuMissionExt::selectMapForLevelSet(const std::string& levelSet) {
    _currentMap = nullptr;
    for (MissionMap* m : _maps)
        if (m->levelSet == levelSet && m->camera) {
            _currentMap = m;
            return true;
        }
    return false;
}

bool MenuMissionExt::hasAvailable() const {
    const MissionMap* m = _currentMap;
    if (!m)
        return false;
    if (m->isCompleted() && m->trainWaiting)
        return true;
    for (const Waypoint& w : m->waypoints)
        if (m->isReached(w) && w.giftWaiting)
            return true;
    return false;
}

void MenuMissionExt::setBestDistance(float distance) {
    _bestDistance = distance;
    storeBest(_gamecenter, distance);
}

void MenuMissionExt::setMapBest(const std::string& name, float distance) {
    if (MissionMap* m = findMap(name)) {
        m->best = distance;
        storeBest(m->gamecenter, distance);
    }
}

void MenuMissionExt::reportDistance(float distance) {
    _bestDistance = std::max(_bestDistance, distance);
    storeBest(_gamecenter, distance);
    reportScore(_gamecenter, distance);
    if (MissionMap* m = _currentMap) {
        m->best = std::max(m->best, distance);
        storeBest(m->gamecenter, distance);
        reportScore(m->gamecenter, distance);
    }
}

void MenuMissionExt::addRunDistance(float distance) {
    if (!(distance > 0))
        return;
    reportDistance(distance);
    if (_currentMap)
        _currentMap->travelled += distance;
}

void MenuMissionExt::showWaypoints() {
    MissionMap* m = _currentMap;
    if (!m)
        return;
    for (const Waypoint& w : m->waypoints) {
        setTreeActive(w.marker, !w.giftWaiting);
        setTreeActive(w.gift, w.giftWaiting);
        if (w.gift)
            setObjectAnimationsPlaying(w.gift, w.giftWaiting && m->isReached(w));
    }
}

void MenuMissionExt::showTrain() {
    MissionMap* m = _currentMap;
    if (!m)
        return;
    const bool completed = m->isCompleted();
    setTreeActive(m->objectTrainLocked, !completed || m->trainWaiting);
    setTreeActive(m->objectTrainUnlocked, completed && !m->trainWaiting);
    if (m->objectTrainLocked)
        setObjectAnimationsPlaying(m->objectTrainLocked, completed && m->trainWaiting);
}

void MenuMissionExt::onShow(bool) {
    // The last run's distance first, so the map shows where it has brought the player.
    if (_menu)
        _menu->collectRunGoods();
    _currentAtmosphere = nullptr;
    _shown = true;
    MissionMap* m = _currentMap;
    Stage* stage = Stage::get();
    if (m) {
        if (stage && stage->getAtmosphere())
            stage->getAtmosphere()->deactivate();
        coverGame(true);
        if (_world && m->camera)
            _world->setCamera(m->camera);
        if (m->scene)
            m->scene->show();
        _currentAtmosphere = stage && !m->atmosphere.empty() ? stage->findAtmosphere(m->atmosphere) : nullptr;
        if (_currentAtmosphere) {
            _currentAtmosphere->activate(stage);
            _currentAtmosphere->applyLights(m->scene);
        }
        startScene(m);
        _frameVelocity = 0;
        const float f = m->progressValue();
        if (m->objectPlayer)
            rewindObjectAnimation(m->objectPlayer, f);
        showWaypoints();
        showTrain();
        std::string text;
        MenuMapExt02* map = _menu ? _menu->getMapExt() : nullptr;
        if (map)
            for (MenuMapExt02::Continent* c : map->getContinents())
                if (c->levelSet == m->levelSet) {
                    const float percent =
                        m->distance > 0 ? std::max(0.0f, std::min(100.0f, 100.0f * m->travelled / m->distance)) : 0.0f;
                    char line[256];
                    std::snprintf(line, sizeof line, "%s: %.1f%%%%", translate(c->textName).c_str(), (double)percent);
                    text = line;
                    break;
                }
        if (_panel)
            _panel->setItemText("progress", 0, text);
        if (_resetFrameOnHide) {
            _gliding = true;
            _glideTarget = m->clampFrame(f);
        } else {
            _gliding = false;
        }
    }
    _resetFrameOnHide = true;
}

void MenuMissionExt::onHidden() {
    _shown = false;
    MissionMap* m = _currentMap;
    if (!m)
        return;
    _gliding = false;
    if (_resetFrameOnHide)
        m->cameraFrame = m->clampFrame(m->progressValue());
    forEachActor(m->scene, [](Actor* actor) {
        if (!actor->isActive())
            return;
        actor->stopAnimations();
        if (actor->_effects)
            actor->_effects->stopAll();
        if (actor->_sounds)
            actor->_sounds->stopAll();
    });
    if (_currentAtmosphere)
        _currentAtmosphere->deactivate();
    _currentAtmosphere = nullptr;
    if (_particles)
        _particles->removeAllEmitters();
    if (m->scene)
        m->scene->hide();
    Stage* stage = Stage::get();
    if (_world) {
        _world->setCamera(nullptr);
        if (stage && stage->getWorld() == _world && stage->getStageCamera())
            _world->setCamera(stage->getStageCamera()->getCamera());
    }
    coverGame(false);
    if (stage && stage->getAtmosphere())
        stage->getAtmosphere()->activate(stage);
}

void MenuMissionExt::coverGame(bool cover) {
    Stage* stage = Stage::get();
    if (!stage)
        return;
    if (stage->getWorld() != _world) {
        setWorldTarget(stage->getWorld(), !cover);
        setWorldTarget(_world, cover);
        return;
    }
    // The map stands in the game's world: the road's levels make way for it while it shows.
    Road* road = stage->getRoad();
    if (cover) {
        // A second cover without an uncover in between keeps what the first one hid.
        if (road)
            for (const std::vector<Level*>* levels : {&road->behindLevels, &road->aheadLevels})
                for (Level* level : *levels)
                    if (level && level->scene && level->scene->_shown) {
                        level->scene->hide();
                        _hiddenScenes.push_back(level->scene);
                    }
    } else {
        // Only what is still on the road comes back: a level released meanwhile stays hidden.
        if (road)
            for (const std::vector<Level*>* levels : {&road->behindLevels, &road->aheadLevels})
                for (Level* level : *levels)
                    if (level && level->scene &&
                        std::find(_hiddenScenes.begin(), _hiddenScenes.end(), level->scene) != _hiddenScenes.end())
                        level->scene->show();
        _hiddenScenes.clear();
    }
    if (PSParticleSystem* particles = stage->getParticleSystem())
        particles->visible = !cover;
}

void MenuMissionExt::startScene(MissionMap* m) {
    MotherRandom& random = motherRandom();
    forEachActor(m->scene, [&](Actor* actor) {
        if (!actor->isActive())
            return;
        AnimationRange range;
        range.begin = 1;
        range.end = -1;
        range.loop = true;
        range.speed = 0.8f + 0.2f * (float)random.nextDouble();
        range.start = (float)random.nextDouble();
        playObjectAnimationTree(actor, range);
        if (actor->_conductors)
            actor->_conductors->startAll();
    });
    if (!_particles || !m->scene || !m->scene->_root)
        return;
    const Matrix4& root = m->scene->_root->_transform->_world;
    forEachActor(m->scene, [&](Actor* actor) {
        const std::string* effect = actor->getProperty("particle");
        if (effect && !effect->empty())
            _particles->addEmitter(root.transformPoint(actor->getWorldPosition()), effect->c_str());
    });
}

bool MenuMissionExt::handleTap(const std::vector<Object*>& hits) {
    MissionMap* m = _currentMap;
    if (!m)
        return false;
    MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr;
    auto openShop = [&]() {
        if (_menu)
            _menu->goToPanel("shop", false);
    };
    for (Object* hit : hits) {
        if (m->objectTrainLocked && isObjectInTree(m->objectTrainLocked, hit)) {
            if (m->isCompleted() && m->trainWaiting) {
                // The train is given before the flag goes, so a failed grant can be tried again.
                if (!shop || shop->setItemState(m->actorPlayer, 0) != 1) {
                    Logger::error("%s: reward train(%s) of mission map(%s) could not be granted", _name.c_str(),
                                  m->actorPlayer.c_str(), m->name.c_str());
                    continue;
                }
                m->trainWaiting = false;
                showTrain();
                if (_panel)
                    _panel->playItemAnimation("item", "click");
                openShop();
                _resetFrameOnHide = false;
                return true;
            }
            continue;
        }
        if (m->objectTrainUnlocked && isObjectInTree(m->objectTrainUnlocked, hit)) {
            if (_panel)
                _panel->playItemAnimation("item", "click");
            openShop();
            _resetFrameOnHide = false;
            return true;
        }
        for (Waypoint& w : m->waypoints)
            if (w.gift && isObjectInTree(w.gift, hit) && m->isReached(w) && w.giftWaiting) {
                if (!_menu || !_menu->goToPanel("surprise", false)) {
                    Logger::error("%s: no surprise screen for the gift of mission map(%s)", _name.c_str(),
                                  m->name.c_str());
                    return false;
                }
                w.giftWaiting = false;
                showWaypoints();
                if (_panel)
                    _panel->playItemAnimation("item", "click");
                _resetFrameOnHide = false;
                return true;
            }
    }
    return false;
}

bool MenuMissionExt::touchBegan(int32_t, const Vector3& point) {
    // Without a map there is nothing to tap or drag.
    if (!_currentMap)
        return true;
    std::vector<Object*> objects;
    if (_world && _world->getCamera()) {
        std::vector<RayHit> hits;
        _world->pick(hits, point.x, point.y, kPickType, nullptr);
        for (const RayHit& h : hits)
            objects.push_back(h.node);
    }
    if (handleTap(objects))
        return true;
    _dragging = true;
    _moved = false;
    _dragAccum = Vector3();
    _lastTouch = point;
    _gliding = false;
    return true;
}

bool MenuMissionExt::touchMoved(int32_t, const Vector3& point) {
    if (!_dragging)
        return false;
    _moved = true;
    _dragAccum += point - _lastTouch;
    _lastTouch = point;
    return true;
}

bool MenuMissionExt::touchEnded(int32_t, const Vector3&) {
    const bool was = _dragging;
    _dragging = _moved = false;
    return was;
}

void MenuMissionExt::update(float dt) {
    MissionMap* m = _currentMap;
    if (!m)
        return;
    if (!_moved) {
        bool spring = true;
        float target = 0;
        if (m->cameraFrame < m->cameraFrameMin)
            target = m->cameraFrameMin;
        else if (m->cameraFrame > m->cameraFrameMax)
            target = m->cameraFrameMax;
        else if (_gliding)
            target = _glideTarget;
        else
            spring = false;
        if (spring) {
            const float d = target - m->cameraFrame;
            const float step = dt * 10.0f * d;
            m->cameraFrame += std::max(-std::fabs(d), std::min(std::fabs(d), step));
        }
        _frameVelocity *= std::pow(_velocityDamp, dt);
        m->cameraFrame += _frameVelocity * dt;
    } else {
        const float s = _dragAccum.y * _velocityMul;
        _frameVelocity = dt > 0 ? std::max(-_velocityMax, std::min(_velocityMax, s / dt)) : 0.0f;
        _dragAccum = Vector3();
        m->cameraFrame += s;
    }
    m->cameraFrame = std::max(m->waypoints.front().frame, std::min(m->waypoints.back().frame, m->cameraFrame));
    if (!std::isfinite(m->cameraFrame))
        m->cameraFrame = m->clampFrame(m->progressValue());
    if (m->camera) {
        rewindObjectAnimations(m->camera, m->cameraFrame);
        IGame* game = IGame::instance();
        const float aspect = game && game->GetHeight() > 0 ? game->GetWidth() / game->GetHeight() : 1.0f;
        const float fov = std::max(1.0f, std::min(kMaxFov, m->cameraFov * aspect));
        m->camera->setPerspective(fov, aspect, _cameraNearPlane, _cameraFarPlane);
    }
    if (_currentAtmosphere && m->camera)
        _currentAtmosphere->update(m->camera, dt);
    if (_ownParticles && _particles && _world && _world->getCamera()) {
        _particles->update(dt, _world->getCamera());
        _particles->buildGeometry();
    }
}

}  // namespace Zelvan
