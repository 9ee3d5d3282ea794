#include "game/menu/ZelvanMenuMapExt02.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/ConfigStore.h"
#include "engine/render/RenderTarget.h"
#include "engine/ui/UIObject.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "engine/ui/Page.h"
#include "game/ZelvanTexts.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelItem.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanLevelSet.h"

namespace Zelvan {

namespace {

const float kDeg = kPi / 180.0f;
const int32_t kPickType = 1016;

float clamp01(float v) { return std::isnan(v) ? 0.0f : std::min(1.0f, std::max(0.0f, v)); }

std::string translate(const std::string& text) {
    TextContainer* texts = TextContainer::get();
    return texts ? texts->translate(text) : text;
}

const Matrix4& worldMatrix(const Object* node) { return node->_transform->_world; }

void setWorldTarget(World* world, bool on) {
    if (world && world->_renderTarget)
        world->_renderTarget->_disabled = on ? 0 : 1;
}

// Whether the stage has (or the configuration lists) a level set of that key.
bool isLevelSetKnown(const std::string& key) {
    if (key.empty())
        return false;
    if (Stage* stage = Stage::get()) {
        for (LevelGroupSet* set : stage->getLevelGroupSets())
            if (set && set->key == key)
                return true;
        return false;
    }
    const std::vector<std::string> list = ConfigStore::instance().getList("level.levelSets");
    return std::find(list.begin(), list.end(), key) != list.end();
}

}  // namespace

MenuMapExt02::MenuMapExt02(const std::string& name, Menu* menu, Panel* panel, World* menuWorld,
                           PSParticleSystem* particles)
    : MenuExtension(name), _menu(menu), _panel(panel), _menuWorld(menuWorld), _particles(particles) {
    _starsAngularVelocity = -1.0f * kDeg;
    _globeAngularVelocityDefault = -10.0f * kDeg;
    _globeAngularVelocityMax = 720.0f * kDeg;
    _cloudsAngularVelocity = 5.0f * kDeg;
    if (_menuWorld) {
        _mapScene = _menuWorld->createScene("Map", 0, 0);
        if (_mapScene)
            _mapScene->hide();
    }
    if (_panel) {
        if (PanelItem* item = _panel->findItem("stars")) {
            _stars = item->findNode("stars");
            if (!_stars)
                _stars = item->getNode();
        }
        if (PanelItem* item = _panel->findItem("globe")) {
            _globeRoot = item->getNode();
            _globe = item->findNode("globe");
            _clouds = item->findNode("clouds");
        }
    }
    if (_globeRoot) {
        // The whole globe answers picks of the map's type; only continents decide anything.
        setObjectTypeId(_globeRoot, kPickType);
        _globeRoot->setBlocking(false);
        _globeRoot->setBlockingSelf(true);
        _globeBase = _globeRoot->getPosition();
    }
    load();
}

MenuMapExt02::~MenuMapExt02() {
    _selected = nullptr;
    _current = nullptr;
    releaseTrain();
    for (Continent* c : _continents)
        delete c;
    _continents.clear();
    if (_menuWorld && _mapScene)
        _menuWorld->releaseScene(_mapScene);
}

void MenuMapExt02::load() {
    ConfigStore& cfg = ConfigStore::instance();
    auto f = [&](const char* key, float current) { return cfg.getFloat(_name + key, current); };
    _starsAngularVelocity = f(".starsAngularVelocity", _starsAngularVelocity / kDeg) * kDeg;
    _globeLinearVelocitySpring = std::max(0.0f, f(".globeLinearVelocitySpring", _globeLinearVelocitySpring));
    _globeLinearVelocityDamp = clamp01(f(".globeLinearVelocityDamp", _globeLinearVelocityDamp));
    _globeAngularOffset = f(".globeAngularOffset", _globeAngularOffset / kDeg) * kDeg;
    _globeAngularVelocityDefault = f(".globeAngularVelocityDefault", _globeAngularVelocityDefault / kDeg) * kDeg;
    _globeAngularVelocityMax = std::fabs(f(".globeAngularVelocityMax", _globeAngularVelocityMax / kDeg) * kDeg);
    _globeAngularVelocityDamp = clamp01(f(".globeAngularVelocityDamp", _globeAngularVelocityDamp));
    _globeAngularVelocitySelectSpring =
        std::max(0.0f, f(".globeAngularVelocitySelectSpring", _globeAngularVelocitySelectSpring));
    _globeAngularVelocitySelectDamp = f(".globeAngularVelocitySelectDamp", _globeAngularVelocitySelectDamp);
    _cloudsAngularVelocity = f(".cloudsAngularVelocity", _cloudsAngularVelocity / kDeg) * kDeg;
    _continentFlashIntensity = clamp01(f(".continentFlashIntensity", _continentFlashIntensity));
    _continentFlashSpeed = f(".continentFlashSpeed", _continentFlashSpeed);
    _levelSkinDefault = cfg.getString(_name + ".levelSkinDefault", _levelSkinDefault.c_str());
    if (!_globeRoot)
        return;

    for (const std::string& entry : cfg.getList(_name + ".continents")) {
        Object* node = findObjectByName(_globeRoot, cfg.getString(entry + ".node", ""));
        if (!node)
            continue;
        Continent* c = new Continent();
        c->node = node;
        c->selectedNode = findObjectByName(_globeRoot, cfg.getString(entry + ".nodeSelected", ""));
        c->characterNode = findObjectByName(_globeRoot, cfg.getString(entry + ".nodeCharacter", ""));
        c->selectable = cfg.getBool(entry + ".selectable", true);
        c->name = cfg.getString(entry + ".name", entry.c_str());
        c->levelSet = cfg.getString(entry + ".levelSet", "");
        c->textName = cfg.getString(entry + ".textName", "");
        c->textDescription = cfg.getString(entry + ".textDescription", "");
        // A second continent of the same name could never be found, and one without a known
        // level set would start runs nowhere: both stay on the globe but cannot be chosen.
        if (c->selectable && findContinent(c->name)) {
            Logger::error("%s: continent(%s) of entry(%s) is listed twice; it cannot be selected", _name.c_str(),
                          c->name.c_str(), entry.c_str());
            c->selectable = false;
        }
        if (c->selectable && !isLevelSetKnown(c->levelSet)) {
            Logger::error("%s: continent(%s) has no known level set(%s); it cannot be selected", _name.c_str(),
                          c->name.c_str(), c->levelSet.c_str());
            c->selectable = false;
        }
        if (!c->selectable) {
            setObjectActive(c->node, false);
            if (c->selectedNode)
                setObjectActive(c->selectedNode, false);
            if (c->characterNode)
                setObjectActive(c->characterNode, false);
        }
        c->node->setBlockingSelf(true);
        _continents.push_back(c);
    }

    const std::string start = cfg.getString(_name + ".startContinent", "");
    if (Continent* c = findContinent(start)) {
        setSelected(c);
        _current = c;
        if (MenuMissionExt* missions = _menu ? _menu->getMissionExt() : nullptr)
            missions->selectMapForLevelSet(c->levelSet);
    }
}

MenuMapExt02::Continent* MenuMapExt02::findContinent(const std::string& name) const {
    // A refused duplicate keeps its name but is never the answer.
    for (Continent* c : _continents)
        if (c->name == name && c->selectable)
            return c;
    return nullptr;
}

std::string MenuMapExt02::currentLevelSet() const { return _current ? _current->levelSet : std::string(); }

bool MenuMapExt02::selectContinent(const std::string& name) {
    Continent* c = findContinent(name);
    if (!c) {
        Logger::error("%s: no continent(%s) to select; the player stays where they are", _name.c_str(),
                      name.c_str());
        return false;
    }
    _current = c;
    setSelected(c);
    if (MenuMissionExt* missions = _menu ? _menu->getMissionExt() : nullptr)
        missions->selectMapForLevelSet(c->levelSet);
    turnToward(c);
    refreshButtons();
    return true;
}

void MenuMapExt02::selectPrevious() {
    if (!_selected || _continents.empty())
        return;
    const size_t n = _continents.size();
    size_t i = (size_t)(std::find(_continents.begin(), _continents.end(), _selected) - _continents.begin());
    for (size_t step = 1; step < n; ++step) {
        Continent* c = _continents[(i + n - step) % n];
        if (c->selectable) {
            setSelected(c);
            turnToward(c);
            refreshButtons();
            return;
        }
    }
}

void MenuMapExt02::selectNext() {
    if (!_selected || _continents.empty())
        return;
    const size_t n = _continents.size();
    size_t i = (size_t)(std::find(_continents.begin(), _continents.end(), _selected) - _continents.begin());
    for (size_t step = 1; step < n; ++step) {
        Continent* c = _continents[(i + step) % n];
        if (c->selectable) {
            setSelected(c);
            turnToward(c);
            refreshButtons();
            return;
        }
    }
}

void MenuMapExt02::playTravel() {
    if (_panel)
        _panel->playItemAnimation("travel", "travel");
}

void MenuMapExt02::playStart() {
    if (_panel)
        _panel->playItemAnimation("start", "start");
}

void MenuMapExt02::setSelected(Continent* continent) {
    if (continent == _selected)
        return;
    _selected = continent;
    if (!_panel)
        return;
    _panel->setItemText("description", 0, continent ? translate(continent->textName) : std::string());
    _panel->setItemText("description", 1, continent ? translate(continent->textDescription) : std::string());
}

float MenuMapExt02::continentAngle(const Continent* continent) const {
    if (!continent || !continent->node || !continent->node->_parent)
        return 0;
    const Matrix4& parent = worldMatrix(continent->node->_parent);
    const Vector3 pos = continent->node->getWorldPosition();
    const Vector3 origin = parent.getTranslation();
    float dx = pos.x - origin.x, dy = pos.y - origin.y;
    const float len = std::sqrt(dx * dx + dy * dy);
    // A node at its parent's origin has no direction: it faces front as it is.
    if (!(len > 1e-6f))
        return 0;
    dx /= len;
    dy /= len;
    const Vector3 yAxis = parent.row3(1), xAxis = parent.row3(0);
    const float yLen = yAxis.length();
    if (!(yLen > 1e-6f))
        return 0;
    // Rounding can take the product just past +-1, where arccos has no answer.
    const float dot = std::max(-1.0f, std::min(1.0f, (dx * yAxis.x + dy * yAxis.y) / yLen));
    const float a = std::acos(dot);
    return dx * xAxis.x + dy * xAxis.y >= 0 ? -a : a;
}

void MenuMapExt02::turnToward(const Continent* continent) {
    if (!continent)
        return;
    _targetAngle = nearestAngle(_globeAngle, _globeAngularOffset - continentAngle(continent));
    _turning = true;
}

void MenuMapExt02::refreshButtons() {
    if (!_panel)
        return;
    _panel->showItem("travel", _selected != _current ? 1 : 0);
    _panel->showItem("start", _selected == _current ? 1 : 0);
    MenuShopExt* shop = _menu ? _menu->getShopExt() : nullptr;
    char text[32];
    std::snprintf(text, sizeof text, "%d", shop ? (int)shop->getTickets() : 0);
    _panel->setItemText("ticket", 0, text);
}

void MenuMapExt02::setContinentBrightness(Continent* continent, float b) {
    setObjectColor(continent->node, Vector4(b, b, b, 1));
}

void MenuMapExt02::onShow(bool back) {
    if (Stage* stage = Stage::get())
        setWorldTarget(stage->getWorld(), false);
    if (_mapScene)
        _mapScene->show();
    // The train stands on the globe of the interface: both are seen through the same camera.
    UIObject* ui = _panel ? _panel->getWorld() : nullptr;
    if (_menuWorld && ui && ui->getCamera())
        _menuWorld->setCamera(ui->getCamera());
    setWorldTarget(_menuWorld, true);
    _dragging = _moved = false;
    if (!back) {
        _globeOffset = _globeVelocity = Vector3();
        _globeAngularVelocity = 0;
        if (_current) {
            setSelected(_current);
            turnToward(_current);
        }
        _turning = _selected != nullptr;
        _globeAngle = _targetAngle;
        for (Continent* c : _continents) {
            c->flashPhase = -1.0f;
            setContinentBrightness(c, 1.0f - _continentFlashIntensity);
        }
    }
    refreshButtons();
    refreshTrain();
    if (_menu)
        _menu->showBanner(this);
}

LevelSkin* MenuMapExt02::trainSkin() const {
    Stage* stage = Stage::get();
    if (!stage)
        return nullptr;
    // No skin chosen: the train wears the default one, as the shop shows it.
    LevelSkin* skin = stage->getSkin();
    return skin ? skin : stage->findSkin(_levelSkinDefault);
}

void MenuMapExt02::refreshTrain() {
    Stage* stage = Stage::get();
    ActorPlayer* player = stage ? stage->getPlayer() : nullptr;
    if (player != _player) {
        releaseTrain();
        _player = player;
        if (player && _mapScene) {
            _trainActor = createMenuActor(_mapScene, _particles, player->_playerName, trainSkin());
            if (_trainActor && _panel && _panel->getPage())
                _trainActor->setLights(_panel->getPage()->_lights);
        }
    } else if (_trainActor) {
        // The skin may have changed in the shop since the map was last shown.
        _trainActor->setSkin(trainSkin());
    }
    placeTrain();
}

void MenuMapExt02::placeTrain() {
    if (!_trainActor || !_trainActor->_transform)
        return;
    Object* spot = _current ? _current->characterNode : nullptr;
    // Without a spot on the current continent the train is not shown at all, rather than at the
    // world's origin over the globe.
    const bool hide = spot == nullptr;
    if ((_trainActor->_hidden != 0) != hide) {
        _trainActor->setHidden(hide);
        if (!hide)
            hideInactiveObjects(_trainActor);
    }
    if (!spot)
        return;
    const Matrix4& world = worldMatrix(spot);
    const Vector3 rows[3] = {world.row3(0), world.row3(1), world.row3(2)};
    _trainActor->_transform->setWorld(rows, world.getTranslation());
    _trainActor->updateTransform();
}

void MenuMapExt02::onHide(bool) {
    if (!_panel)
        return;
    _panel->showItem("travel", 0);
    _panel->showItem("start", 0);
}

void MenuMapExt02::onHidden() {
    if (_mapScene)
        _mapScene->hide();
    UIObject* ui = _panel ? _panel->getWorld() : nullptr;
    if (_menuWorld && ui && _menuWorld->getCamera() == ui->getCamera())
        _menuWorld->setCamera(nullptr);
    setWorldTarget(_menuWorld, false);
    Stage* stage = Stage::get();
    if (stage)
        setWorldTarget(stage->getWorld(), true);
    // The next run starts on the current continent. A run already under way (the map was left
    // for a run that the start button began) keeps its road, and an unchanged set is not reset.
    if (stage && _current && stage->getState() != Stage::StateRunning) {
        LevelGroupSet* set = stage->getLevelGroupSet();
        if (!set || set->key != _current->levelSet)
            if (!stage->changeLevelGroupSet(_current->levelSet))
                Logger::error("%s: level set(%s) of continent(%s) could not be set", _name.c_str(),
                              _current->levelSet.c_str(), _current->name.c_str());
    }
    if (_menu)
        _menu->hideBanner(this);
}

bool MenuMapExt02::touchBegan(int32_t, const Vector3& point) {
    UIObject* world = _panel ? _panel->getWorld() : nullptr;
    if (world && world->getCamera()) {
        std::vector<RayHit> hits;
        world->pick(hits, point.x, point.y, kPickType, nullptr);
        for (const RayHit& hit : hits) {
            Continent* found = nullptr;
            for (Continent* c : _continents)
                if (c->node == hit.node)
                    found = c;
            if (!found)
                continue;
            // Only the half of the globe that faces the player answers.
            const bool front = found->node->_parent &&
                               found->node->getWorldPosition().y < found->node->_parent->getWorldPosition().y;
            if (front && found->selectable) {
                setSelected(found);
                turnToward(found);
                refreshButtons();
                _panel->playItemAnimation("globe", "click");
            }
            break;
        }
    }
    _dragging = true;
    _moved = false;
    _dragAccum = _dragVelocity = Vector3();
    _lastTouch = Vector3(point.x, 1.0f - point.y, point.z);
    if (world && world->getCamera())
        world->getCamera()->unproject(_lastTouch);
    return true;
}

bool MenuMapExt02::touchMoved(int32_t, const Vector3& point) {
    if (!_dragging)
        return false;
    _moved = true;
    _turning = false;
    Vector3 p(point.x, 1.0f - point.y, point.z);
    UIObject* world = _panel ? _panel->getWorld() : nullptr;
    if (world && world->getCamera())
        world->getCamera()->unproject(p);
    _dragAccum += p - _lastTouch;
    _lastTouch = p;
    return true;
}

bool MenuMapExt02::touchEnded(int32_t, const Vector3&) {
    if (_moved && std::fabs(_globeAngularVelocity) > 0.75f * _globeAngularVelocityMax && _panel)
        _panel->playItemAnimation("globe", "twist");
    const bool was = _dragging;
    _dragging = _moved = false;
    return was;
}

void MenuMapExt02::update(float dt) {
    const float twoPi = 2.0f * kPi;
    const float intensity = _continentFlashIntensity;
    for (Continent* c : _continents) {
        float b;
        if (c == _selected) {
            c->flashPhase = std::max(c->flashPhase, 0.0f) + _continentFlashSpeed * dt;
            b = (1 - intensity) + (0.5f - 0.5f * std::cos(c->flashPhase)) * intensity;
        } else if (c->flashPhase >= 0) {
            c->flashPhase = std::fmod(c->flashPhase, twoPi) + _continentFlashSpeed * dt;
            if (c->flashPhase < twoPi) {
                b = (1 - intensity) + (0.5f - 0.5f * std::cos(c->flashPhase)) * intensity;
            } else {
                c->flashPhase = -1.0f;
                b = 1 - intensity;
            }
        } else {
            continue;
        }
        setContinentBrightness(c, b);
    }

    if (!_moved) {
        _globeAngle += _globeAngularVelocity * dt;
        if (_turning) {
            _globeAngularVelocity += (1.0f - std::pow(_globeAngularVelocitySelectDamp, dt)) *
                                     ((_targetAngle - _globeAngle) * _globeAngularVelocitySelectSpring -
                                      _globeAngularVelocity);
        } else {
            const float d = (1.0f - std::pow(_globeAngularVelocityDamp, dt)) *
                            (std::fabs(_globeAngularVelocityDefault) - std::fabs(_globeAngularVelocity));
            _globeAngularVelocity += _globeAngularVelocity > 0 ? d : -d;
        }
        _globeVelocity.x += 0.05f * _dragVelocity.x;
        _globeVelocity.z += 0.05f * _dragVelocity.z;
        _dragVelocity = Vector3();
    } else {
        _globeAngle += _dragAccum.x;
        _dragVelocity = dt > 0 ? _dragAccum * (1.0f / dt) : Vector3();
        _globeAngularVelocity = std::max(-_globeAngularVelocityMax, std::min(_globeAngularVelocityMax, _dragVelocity.x));
        _dragAccum = Vector3();
    }
    // A value that is not a number would stay so for good: start the motion over instead.
    if (!std::isfinite(_globeAngle) || !std::isfinite(_globeAngularVelocity)) {
        _globeAngle = std::isfinite(_targetAngle) ? _targetAngle : 0.0f;
        _globeAngularVelocity = 0;
    }

    _globeOffset += _globeVelocity * dt;
    _globeVelocity = (_globeVelocity - _globeOffset * _globeLinearVelocitySpring) * std::pow(_globeLinearVelocityDamp, dt);
    _cloudsAngle += _cloudsAngularVelocity * dt;

    auto rotateZ = [](Object* node, float a) {
        const Vector3 rows[3] = {Vector3(std::cos(a), std::sin(a), 0), Vector3(-std::sin(a), std::cos(a), 0),
                                 Vector3(0, 0, 1)};
        node->setRotation(rows);
    };
    if (_stars) {
        _starsAngle += _starsAngularVelocity * dt;
        rotateZ(_stars, _starsAngle);
    }
    if (_globeRoot)
        _globeRoot->setPosition(_globeBase + _globeOffset);
    if (_globe)
        rotateZ(_globe, _globeAngle);
    if (_clouds)
        rotateZ(_clouds, _cloudsAngle);
    // The train rides the globe: it follows its spot after the globe has turned.
    if (_globeRoot)
        _globeRoot->updateTransform();
    placeTrain();
}

void MenuMapExt02::releaseTrain() {
    if (!_trainActor)
        return;
    Stage* stage = Stage::get();
    if (stage && !_levelSkinDefault.empty())
        if (LevelSkin* skin = stage->findSkin(_levelSkinDefault))
            _trainActor->setSkin(skin);
    if (_trainActor->_hidden) {
        _trainActor->setHidden(false);
        hideInactiveObjects(_trainActor);
    }
    if (_trainActor->_pool)
        _trainActor->_pool->release(_trainActor);
    _trainActor = nullptr;
    _player = nullptr;
}

}  // namespace Zelvan
