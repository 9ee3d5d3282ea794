// Interim level-set handling and post-processing, built only while ZelvanStageLook.cpp is
// absent: registration, switching the road to a set (with the player placed on it), the post
// chain and the HDR values. The full behaviour lives in ZelvanStageLook.cpp.

#include <algorithm>

#include "engine/ConfigStore.h"
#include "engine/KeyValueStore.h"
#include "engine/render/Material.h"
#include "engine/render/Mesh.h"
#include "engine/render/Render.h"
#include "engine/render/RenderTarget.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorPlayer.h"
#include "game/stage/ZelvanLoader.h"
#include "game/stage/ZelvanStage.h"
#include "game/track/ZelvanAtmosphere.h"
#include "game/track/ZelvanLevelSet.h"
#include "game/track/ZelvanRoad.h"

namespace Zelvan {

LevelGroupSet* Stage::registerLevelGroupSet(const std::string& requested) {
    const std::vector<std::string> list = ConfigStore::instance().getList("level.levelSets");
    std::string name = requested;
    if (name.empty() && !list.empty())
        name = list.front();
    for (LevelGroupSet* set : _levelGroupSets)
        if (set->key == name)
            return set;
    if (std::find(list.begin(), list.end(), name) == list.end())
        return nullptr;
    LevelGroupSet* set = LevelGroupSet::create(_loader, _levelPool, name);
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
    clearCameraStack(CameraLevelSet);
    _levelSetCameraHandle = 0;
    if (!set) {
        if (_road) {
            _road->setLevelGroupSet(nullptr);
            _road->clear();
        }
        if (_atmosphere) {
            _atmosphere->deactivate();
            _atmosphere = nullptr;
        }
        return;
    }
    set->reset();
    _road->setLevelGroupSet(set);
    _road->restart();
    Atmosphere* atmosphere = findAtmosphere(set->startAtmosphere);
    if (!atmosphere)
        atmosphere = randomAtmosphere();
    if (_atmosphere)
        _atmosphere->deactivate();
    _atmosphere = atmosphere;
    // A set may have no atmosphere at all.
    if (_atmosphere)
        _atmosphere->activate(this);
    set->setAtmosphere(_atmosphere);
    if (_actorPlayer) {
        _actorPlayer->setLights(_lights);
        placePlayer(_actorPlayer);
        clearItemsAhead(_actorPlayer);
    }
    _levelSetCameraHandle = pushCamera(CameraLevelSet, findCamera(set->startCamera));
}

bool Stage::changeLevelGroupSet(const std::string& name) {
    for (LevelGroupSet* set : _levelGroupSets)
        if (!name.empty() && set->key == name) {
            setLevelGroupSet(set);
            return true;
        }
    return false;
}

void Stage::advanceRoad(float distance) {
    if (_road)
        _road->extend(distance);
}

void Stage::updateLevelLook() {
    if (_road)
        _road->advanceLevel();
}

void Stage::setTransition(int32_t type) { _transition = type; }
void Stage::enterStargate() {}
void Stage::returnToStartSet() {}
void Stage::randomMapSet() {}

Atmosphere* Stage::randomAtmosphere() { return _atmospheres.empty() ? nullptr : _atmospheres.front(); }

void Stage::applyLevelLights(Level* level) { (void)level; }
void Stage::blendLevelLights(Level* level1, Level* level2, float t) { (void)level1, (void)level2, (void)t; }

void Stage::buildPostChain(World* world) {
    RenderTarget* game = world ? world->_renderTarget : nullptr;
    if (!game || !_targetFinalPass)
        return;
    game->_external = 0;
    const int w = std::max(1, game->_width / 4), h = std::max(1, game->_height / 4);
    const char* names[3] = {"blur_h", "blur_v", "brightpass"};
    RenderTarget* small[3] = {_targetBlurH, _targetBlurV, _targetBrightPass};
    for (int i = 0; i < 3; ++i) {
        small[i]->_name = names[i];
        small[i]->_width = (uint16_t)w;
        small[i]->_height = (uint16_t)h;
        small[i]->_external = 0;
        small[i]->_flags = RenderTarget::FlagColourBuffer | RenderTarget::FlagColourTexture;
        small[i]->_clearOnBegin = 1;
        small[i]->_clearMask = 1;
    }
    _targetFinalPass->_name = "finalPass";
    _targetFinalPass->_external = 1;
    _targetFinalPass->_clearOnBegin = 1;
    _targetFinalPass->_clearMask = 1;
    _targetFinalPass->_width = game->_width;
    _targetFinalPass->_height = game->_height;
    _brightPassEffect = _targetBrightPass->addPostEffect(game, "brightpass");
    _targetBlurH->addPostEffect(_targetBrightPass, "blur_h");
    _targetBlurV->addPostEffect(_targetBlurH, "blur_v");
    RenderTarget::RenderTargetMesh* combine = _targetFinalPass->addPostEffect(_targetBlurV, "combine");
    _combineEffect = combine;
    if (combine && combine->_material) {
        combine->_material->_textures.push_back(game->_colourTexture);
        combine->_material->_textures.push_back(_targetBlurV->_colourTexture);
    }
    setHdrExposure(6.193871f, false);
    setHdrEnableTonemap(0, false);
    setHdrBrightThreshold(0.88914216f, false);
    setHdrBrightOffset(0.671223f, false);
    if (Render* render = Render::current())
        render->createRenderTargets();
}

void Stage::setHdrExposure(float value, bool persist) {
    if (!_combineEffect)
        return;
    _combineEffect->setUniformFloat("hdrExposure", value);
    if (persist)
        st_SetFloat("hdr_exposure", value);
}
void Stage::setHdrEnableTonemap(float value, bool persist) {
    if (!_combineEffect)
        return;
    _combineEffect->setUniformFloat("hdrEnableTonemap", value);
    if (persist)
        st_SetFloat("hdr_enable_tonemap", value);
}
void Stage::setHdrBrightThreshold(float value, bool persist) {
    if (!_brightPassEffect)
        return;
    value = std::min(value, 1.0f);
    _brightPassEffect->setUniformFloat("hdrBrightThres", value);
    if (persist)
        st_SetFloat("hdr_bright_threshold", value);
}
void Stage::setHdrBrightOffset(float value, bool persist) {
    if (!_brightPassEffect)
        return;
    _brightPassEffect->setUniformFloat("hdrBrightOffset", value);
    if (persist)
        st_SetFloat("hdr_bright_offset", value);
}
float Stage::storedHdrExposure() const { return st_GetFloat("hdr_exposure", 6.193871f); }
float Stage::storedHdrEnableTonemap() const { return st_GetFloat("hdr_enable_tonemap", 0); }
float Stage::storedHdrBrightThreshold() const { return st_GetFloat("hdr_bright_threshold", 0.88914216f); }
float Stage::storedHdrBrightOffset() const { return st_GetFloat("hdr_bright_offset", 0.671223f); }

}  // namespace Zelvan
