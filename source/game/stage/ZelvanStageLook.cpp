// The stage's level sets and their look: switching sets (start, stargates, map choice), keeping
// the road, skin, atmosphere, lights and level camera in step with the current set and level,
// blending the four stage lights from one level to the next, and the post-processing chain with
// its HDR values.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/ConfigStore.h"
#include "engine/KeyValueStore.h"
#include "engine/random.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/ResourceManager.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanWords.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuHudExt.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/actors/ZelvanPlayerGoods.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"
#include "game/stage/ZelvanStageItems.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevel.h"
#include "game/track/ZelvanLevelCamera.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanProxyContainer.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

namespace {

const char* const kKeyExposure = "hdr_exposure";
const char* const kKeyTonemap = "hdr_enable_tonemap";
const char* const kKeyBrightThreshold = "hdr_bright_threshold";
const char* const kKeyBrightOffset = "hdr_bright_offset";

const float kDefaultExposure = 6.193871f;
const float kDefaultTonemap = 0.0f;
const float kDefaultBrightThreshold = 0.88914216f;
const float kDefaultBrightOffset = 0.671223f;

// The stage has four lights; further lights of a level scene are not used.
const size_t kStageLights = 4;

const Vector3 kIdentityRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};

// Index drawn among n entries with the last one at half weight, formed in single precision.
uint32_t drawIndex(size_t n) {
    const float r = (float)motherRandom().nextDouble();
    const uint32_t i = (uint32_t)(((float)n - 0.5f) * r);
    return std::min<uint32_t>(i, n ? (uint32_t)n - 1 : 0);
}

// The level's lights the stage uses, at most four.
size_t usedLightCount(const Level* level) {
    return level && level->scene ? std::min(level->scene->_lights.size(), kStageLights) : 0;
}

// The direction of a level light in its level's own frame, normalised; straight down when the
// light has no direction.
Vector3 levelLocalDirection(const Level* level, const Light* light) {
    const Vector3 d = level->getBeginMatrix().inverted().transformVector(light->_direction);
    const float length = d.length();
    if (!(length > 0) || !std::isfinite(length))
        return Vector3(0, 0, -1);
    return d / length;
}

void placeLight(Light* light, const Vector3& direction) {
    light->_transform->setWorld(kIdentityRows, direction);
    light->updateTransform();
}

void setBlack(Light* light) {
    light->_lightColor = Vector3(0, 0, 0);
    light->_energy = 1.0f;
    light->_secondFactor = 1.0f;
    placeLight(light, Vector3(0, 0, -1));
}

// Turns v about the unit axis by angle (Rodrigues).
Vector3 rotateAbout(const Vector3& v, const Vector3& axis, float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return v * c + axis.cross(v) * s + axis * (axis.dot(v) * (1.0f - c));
}

MenuMapExt02* mapOf(Menu* menu) { return menu ? menu->getMapExt() : nullptr; }

// The level set of the region the player is at; empty without a map or a region.
std::string currentMapLevelSet(Menu* menu) {
    const MenuMapExt02* map = mapOf(menu);
    return map ? map->currentLevelSet() : std::string();
}

void showStargateEnter(Menu* menu) {
    if (MenuHudExt* hud = menu ? menu->getHudExt() : nullptr)
        hud->showStargateEnter();
}

}  // namespace

// ---- Level group sets ----

LevelGroupSet* Stage::registerLevelGroupSet(const std::string& name) {
    const std::vector<std::string> list = ConfigStore::instance().getList("level.levelSets");
    std::string wanted = name;
    if (wanted.empty() && !list.empty())
        wanted = list.front();
    for (LevelGroupSet* set : _levelGroupSets)
        if (set->key == wanted)
            return set;
    if (std::find(list.begin(), list.end(), wanted) == list.end())
        return nullptr;
    LevelGroupSet* set = LevelGroupSet::create(_loader, _levelPool, wanted);
    if (set)
        _levelGroupSets.push_back(set);
    return set;
}

void Stage::setLevelGroupSet(LevelGroupSet* set) {
    if (set == _levelGroupSet)
        return;
    if (_levelGroupSet)
        _levelGroupSet->setAtmosphere(nullptr);
    _levelGroupSet = set;
    _shownLetters.clear();
    if (_wordContainer)
        _wordContainer->showLetters(_proxyContainer, _shownLetters);
    clearCameraStack(CameraLevelSet);
    _levelSetCameraHandle = 0;

    if (!set) {
        if (_road) {
            _road->setLevelGroupSet(nullptr);
            _road->clear();
        }
        if (_atmosphere)
            _atmosphere->deactivate();
        _atmosphere = nullptr;
        return;
    }

    set->setSkin(_skin && !_skin->isEmpty() ? _skin : findSkin(set->defaultSkin));
    set->reset();
    if (_road) {
        _road->setLevelGroupSet(set);
        _road->restart();
    }
    armStargates(_battery >= 100.0f || _transition == TransitionArrived);
    if (_surpriseCount != 0)
        collectGifts(findGiftsByObject(_surpriseObjectFile));
    if (_ticketCount != 0)
        collectGifts(findGiftsByObject(_ticketObjectFile));

    // A set without a start atmosphere and no atmosphere to draw keeps the look it has.
    Atmosphere* atmosphere = set->startAtmosphere.empty() ? nullptr : findAtmosphere(set->startAtmosphere);
    if (!atmosphere)
        atmosphere = randomAtmosphere();
    if (atmosphere && atmosphere != _atmosphere) {
        if (_atmosphere)
            _atmosphere->deactivate();
        _atmosphere = atmosphere;
        _atmosphere->activate(this);
    }
    set->setAtmosphere(_atmosphere);

    if (Level* level = _road ? _road->getCurrentLevel() : nullptr)
        applyLevelLights(level);
    if (_actorPlayer) {
        _actorPlayer->setLights(_lights);
        placePlayer(_actorPlayer);
        clearItemsAhead(_actorPlayer);
    }
    if (LevelCamera* camera = findCamera(set->startCamera))
        _levelSetCameraHandle = pushCamera(CameraLevelSet, camera);
}

bool Stage::changeLevelGroupSet(const std::string& name) {
    if (name.empty())
        return false;
    LevelGroupSet* found = nullptr;
    for (LevelGroupSet* set : _levelGroupSets)
        if (set->key == name) {
            found = set;
            break;
        }
    if (!found)
        return false;
    setLevelGroupSet(found);
    Level* level = _road ? _road->getCurrentLevel() : nullptr;
    if (_actorPlayer && level) {
        advanceRoad(level->distanceAlong(_actorPlayer->getWorldPosition()));
        if (_stageCamera) {
            _stageCamera->reset();
            _stageCamera->update(0, level, _actorPlayer, Vector3(0, 0, 0), 0);
        }
    }
    if (_atmosphere && _stageCamera)
        _atmosphere->update(_stageCamera->getCamera(), 0);
    // A switch during a run brings the new region's music; a run's start sets its own.
    if (_state == StateRunning && !found->musicFile.empty() && found->musicFile != _musicFile)
        setMusicTrack(found->musicFile);
    return true;
}

void Stage::advanceRoad(float distance) {
    if (!_road)
        return;
    std::vector<Level*> added;
    _road->extend(distance, &added);
    if (added.empty())
        return;
    const bool arm = _battery >= 100.0f || _transition == TransitionArrived;
    armStargatesIn(added, arm);
    std::vector<std::pair<Level*, ActorItemGift*>> gifts;
    if (_surpriseCount != 0) {
        findGiftsInLevels(added, _surpriseObjectFile, gifts);
        collectGifts(gifts);
    }
    if (_ticketCount != 0) {
        gifts.clear();
        findGiftsInLevels(added, _ticketObjectFile, gifts);
        collectGifts(gifts);
    }
    if (_actorPlayer && _actorPlayer->_goods._cameraActive)
        clearShieldObstacles(added);
}

void Stage::updateLevelLook() {
    if (!_road)
        return;
    _road->advanceLevel();
    Level* level = _road->getCurrentLevel();
    if (!level || !level->group)
        return;
    const LevelGroup* group = level->group;
    if (!group->camera.empty())
        if (LevelCamera* camera = findCamera(group->camera)) {
            popCamera(_levelSetCameraHandle);
            _levelSetCameraHandle = pushCamera(CameraLevelSet, camera);
        }
    if (!group->atmosphere.empty() && (!_atmosphere || _atmosphere->_name != group->atmosphere))
        if (Atmosphere* atmosphere = findAtmosphere(group->atmosphere)) {
            if (_atmosphere)
                _atmosphere->deactivate();
            _atmosphere = atmosphere;
            _atmosphere->activate(this);
            if (_levelGroupSet)
                _levelGroupSet->setAtmosphere(_atmosphere);
        }
}

// ---- Transitions ----

void Stage::setTransition(int32_t type) {
    // A crashed train stays where it crashed: a pending switch waits for the retry, which
    // drops it, instead of carrying the wreck onto another set's start rails.
    if (_actorPlayer && _actorPlayer->isCrashed())
        return;
    const int32_t compared = _transition == TransitionArrived ? TransitionNone : _transition;
    if (type == compared)
        return;
    switch (type) {
        case TransitionNone:
            if (compared == TransitionStargate) {
                // Arrived before the switch, so the new set's first stargates come out armed.
                _transition = TransitionArrived;
                enterStargate();
            } else if (compared == TransitionStartSet) {
                _transition = TransitionNone;
                returnToStartSet();
            } else if (compared == TransitionRandomMap) {
                _transition = TransitionNone;
                randomMapSet();
            }
            break;
        case TransitionStargate:
        case TransitionStartSet:
        case TransitionRandomMap:
            showStargateEnter(_menu);
            _transition = type;
            break;
        default:
            break;
    }
}

void Stage::enterStargate() {
    if (_actorPlayer) {
        _actorPlayer->_goods.get("analyticsStargate")._amount += 1.0f;
        _actorPlayer->_goods.get("battery")._amount = 0;
    }
    _battery = 0;
    const std::vector<std::string> list = ConfigStore::instance().getList("level.stargateLevelSets");
    if (list.empty())
        return;
    const std::string& chosen = list[drawIndex(list.size())];
    if (!chosen.empty())
        changeLevelGroupSet(chosen);
}

void Stage::returnToStartSet() {
    if (_actorPlayer)
        _actorPlayer->_goods.get("analyticsStargate")._amount += 1.0f;
    std::string name = currentMapLevelSet(_menu);
    if (!name.empty() && changeLevelGroupSet(name))
        return;
    if (!name.empty())
        Logger::error("Level set(%s) of the current region cannot be set; the start level set is used", name.c_str());
    changeLevelGroupSet(ConfigStore::instance().getString("level.startLevelSet", ""));
}

void Stage::randomMapSet() {
    if (_actorPlayer) {
        _actorPlayer->_goods.get("analyticsStargate")._amount += 1.0f;
        _actorPlayer->_goods.get("battery")._amount = 0;
    }
    _battery = 0;
    MenuMapExt02* map = mapOf(_menu);
    if (!map)
        return;
    // The other selectable continents; one of them at random becomes the player's region.
    std::vector<MenuMapExt02::Continent*> unlocked;
    int32_t k = -1;
    for (MenuMapExt02::Continent* c : map->getContinents()) {
        if (!c->selectable)
            continue;
        if (c == map->getCurrent())
            k = (int32_t)unlocked.size();
        unlocked.push_back(c);
    }
    const int32_t c = (int32_t)unlocked.size();
    if (c <= 0)
        return;
    int32_t i = std::min((int32_t)(((float)c - 0.5f) * (float)motherRandom().nextDouble()), c - 1);
    if (i == k)
        i = (k + 1) % c;
    if (map->selectContinent(unlocked[i]->name))
        changeLevelGroupSet(unlocked[i]->levelSet);
}

// ---- Atmospheres ----

Atmosphere* Stage::randomAtmosphere() {
    float sum = 0;
    for (Atmosphere* atmosphere : _atmospheres)
        if (atmosphere->_chance > 0)
            sum += atmosphere->_chance;
    if (!(sum > 0))
        return nullptr;
    float rest = sum * (float)motherRandom().nextDouble();
    Atmosphere* last = nullptr;
    for (Atmosphere* atmosphere : _atmospheres) {
        if (!(atmosphere->_chance > 0))
            continue;
        last = atmosphere;
        rest -= atmosphere->_chance;
        if (!(rest > 0))
            return atmosphere;
    }
    // Rounding may leave a sliver above 0 after the last weight.
    return last;
}

// ---- Lights ----

void Stage::applyLevelLights(Level* level) {
    XAssert(level ? 1 : 0, "level", __FILE__, __LINE__);
    if (!level)
        return;
    const size_t n = std::min(usedLightCount(level), _lights.size());
    for (size_t j = 0; j < n; ++j) {
        const Light* source = level->scene->_lights[j];
        Light* light = _lights[j];
        light->_lightColor = source->_lightColor;
        light->_energy = source->_energy;
        light->_secondFactor = source->_secondFactor;
        placeLight(light, levelLocalDirection(level, source));
    }
    for (size_t j = n; j < _lights.size(); ++j)
        setBlack(_lights[j]);
}

void Stage::blendLevelLights(Level* level1, Level* level2, float t) {
    XAssert((level1 && level2) ? 1 : 0, "level1 && level2", __FILE__, __LINE__);
    if (!level1 || !level2 || !std::isfinite(t))
        return;
    t = std::min(1.0f, std::max(0.0f, t));
    const size_t n1 = usedLightCount(level1);
    const size_t n2 = usedLightCount(level2);
    const size_t count = std::min(std::max(n1, n2), _lights.size());
    // A light of only one of the two levels blends against black, so t = 0 gives exactly the
    // first level's lights and t = 1 the second's.
    const Vector3 black(0, 0, 0);
    for (size_t j = 0; j < count; ++j) {
        const Light* a = j < n1 ? level1->scene->_lights[j] : nullptr;
        const Light* b = j < n2 ? level2->scene->_lights[j] : nullptr;
        const Vector3 c1 = a ? a->_lightColor : black, c2 = b ? b->_lightColor : black;
        const float e1 = a ? a->_energy : 1.0f, e2 = b ? b->_energy : 1.0f;
        const float f1 = a ? a->_secondFactor : 1.0f, f2 = b ? b->_secondFactor : 1.0f;
        Light* light = _lights[j];
        light->_lightColor = c1 + (c2 - c1) * t;
        light->_energy = e1 + (e2 - e1) * t;
        light->_secondFactor = f1 + (f2 - f1) * t;

        Vector3 d1 = a ? levelLocalDirection(level1, a) : Vector3(0, 0, -1);
        const Vector3 d2 = b ? levelLocalDirection(level2, b) : Vector3(0, 0, -1);
        if (!a)
            d1 = d2;
        else if (b && t > 0) {
            const Vector3 axis = d1.cross(d2);
            const float s = axis.length();
            // atan2 keeps the whole angle: asin of the cross product's length folds angles
            // beyond 90 degrees back.
            if (s > 0)
                d1 = rotateAbout(d1, axis / s, std::atan2(s, d1.dot(d2)) * t);
            else if (d1.dot(d2) < 0 && t >= 1.0f)
                d1 = d2;
        }
        placeLight(light, d1);
    }
    for (size_t j = count; j < _lights.size(); ++j)
        setBlack(_lights[j]);
}

// ---- Post-processing ----

void Stage::buildPostChain(World* world) {
    RenderTarget* game = world ? world->_renderTarget : nullptr;
    if (!game) {
        Logger::error("[Stage::buildPostChain] no game target");
        return;
    }
    Render* render = Render::current();
    game->_name = "game";
    game->_external = 0;
    game->_flags |= RenderTarget::FlagColourTexture;

    const uint32_t w = std::max<uint32_t>(game->_width / 4, 1);
    const uint32_t h = std::max<uint32_t>(game->_height / 4, 1);
    uint32_t W = 1, H = 1;
    while (W < w) W <<= 1;
    while (H < h) H <<= 1;

    auto makeTarget = [render](RenderTarget*& target) {
        if (!target && render)
            target = render->createRenderTarget();
        return target != nullptr;
    };
    if (!makeTarget(_targetFinalPass) || !makeTarget(_targetBlurV) || !makeTarget(_targetBlurH) ||
        !makeTarget(_targetBrightPass)) {
        Logger::error("[Stage::buildPostChain] no renderer for the post-processing targets");
        return;
    }
    auto offscreen = [w, h](RenderTarget* target, const char* name) {
        target->_name = name;
        target->_width = (uint16_t)w;
        target->_height = (uint16_t)h;
        target->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture;
        target->_external = 0;
        target->_clearOnBegin = 1;
        target->_clearMask = RenderTarget::ClearColour;
    };
    offscreen(_targetBlurH, "blur_h");
    offscreen(_targetBlurV, "blur_v");
    offscreen(_targetBrightPass, "brightpass");
    _targetFinalPass->_name = "finalPass";
    _targetFinalPass->_external = 1;
    _targetFinalPass->_flags =
        RenderTarget::FlagColourBuffer | RenderTarget::FlagDepthBuffer | RenderTarget::FlagColourTexture;
    _targetFinalPass->_clearOnBegin = 1;
    _targetFinalPass->_clearMask = RenderTarget::ClearColour;

    // The frame draws the renderer's targets in list order; the chain must run game, bright
    // pass, blurs, final pass whoever made the targets first.
    if (render) {
        const RenderTarget* chain[] = {game, _targetBrightPass, _targetBlurH, _targetBlurV, _targetFinalPass};
        std::vector<RenderTarget*>& list = render->targets;
        std::vector<RenderTarget*> ordered;
        for (const RenderTarget* target : chain)
            if (std::find(list.begin(), list.end(), target) != list.end())
                ordered.push_back(const_cast<RenderTarget*>(target));
        size_t next = 0;
        for (RenderTarget*& slot : list)
            if (std::find(ordered.begin(), ordered.end(), slot) != ordered.end())
                slot = ordered[next++];
    }

    RenderTarget::RenderTargetMesh* bright = _targetBrightPass->addPostEffect(game, "brightpass");
    RenderTarget::RenderTargetMesh* blurH = _targetBlurH->addPostEffect(_targetBrightPass, "blur_h");
    if (blurH)
        blurH->setUniformVector3("u_textureSize", (float)W, (float)H, 0);
    RenderTarget::RenderTargetMesh* blurV = _targetBlurV->addPostEffect(_targetBlurH, "blur_v");
    if (blurV)
        blurV->setUniformVector3("u_textureSize", (float)W, (float)H, 0);
    RenderTarget::RenderTargetMesh* combine = _targetFinalPass->addPostEffect(_targetBlurV, "combine");
    _brightPassEffect = bright;
    _combineEffect = combine;

    // The effect's own copy of the material: the scene and the glow, after the source's texture.
    if (combine && combine->_material) {
        combine->_material->_textures.push_back(game->_colourTexture);
        combine->_material->_textures.push_back(_targetBlurV->_colourTexture);
    }

    setHdrExposure(kDefaultExposure, false);
    setHdrEnableTonemap(kDefaultTonemap, false);
    setHdrBrightThreshold(kDefaultBrightThreshold, false);
    setHdrBrightOffset(kDefaultBrightOffset, false);
    if (render)
        render->createRenderTargets();
}

void Stage::setHdrExposure(float value, bool persist) {
    if (!_combineEffect)
        return;
    _combineEffect->setUniformFloat("hdrExposure", value);
    if (persist)
        st_SetFloat(kKeyExposure, value);
}

void Stage::setHdrEnableTonemap(float value, bool persist) {
    if (!_combineEffect)
        return;
    _combineEffect->setUniformFloat("hdrEnableTonemap", value);
    if (persist)
        st_SetFloat(kKeyTonemap, value);
}

void Stage::setHdrBrightThreshold(float value, bool persist) {
    if (!_brightPassEffect)
        return;
    value = std::min(value, 1.0f);
    _brightPassEffect->setUniformFloat("hdrBrightThres", value);
    if (persist)
        st_SetFloat(kKeyBrightThreshold, value);
}

void Stage::setHdrBrightOffset(float value, bool persist) {
    if (!_brightPassEffect)
        return;
    _brightPassEffect->setUniformFloat("hdrBrightOffset", value);
    if (persist)
        st_SetFloat(kKeyBrightOffset, value);
}

float Stage::storedHdrExposure() const { return st_GetFloat(kKeyExposure, kDefaultExposure); }
float Stage::storedHdrEnableTonemap() const { return st_GetFloat(kKeyTonemap, kDefaultTonemap); }
float Stage::storedHdrBrightThreshold() const { return st_GetFloat(kKeyBrightThreshold, kDefaultBrightThreshold); }
float Stage::storedHdrBrightOffset() const { return st_GetFloat(kKeyBrightOffset, kDefaultBrightOffset); }

}  // namespace Zelvan
