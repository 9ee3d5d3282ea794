#include "game/track/ZelvanAtmosphere.h"

#include <algorithm>
#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Texture.h"
#include "engine/utils.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

const char* const kSource = "source/game/track/ZelvanAtmosphere";
const float kTwoPi = 6.2831855f;
const float kDegreesToRadians = 0.017453292f;
const float kEnergyScale = 0.71428573f;  // 1 / 1.4
const Vector3 kIdentityRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};

struct Sampling {
    int32_t filter, addressMode;
    float maxAniso;
    bool operator==(const Sampling& o) const {
        return filter == o.filter && addressMode == o.addressMode && maxAniso == o.maxAniso;
    }
};
Sampling samplingOf(const Texture* texture) {
    return {texture->_filter, texture->_addressMode, texture->_maxAniso};
}

}  // namespace

Atmosphere* Atmosphere::create(World* world, const std::string& name) {
    if (!world)
        return nullptr;
    return new Atmosphere(world, name);
}

Atmosphere::Atmosphere(World* world, const std::string& name) : _world(world), _name(name) {
    XAssert(world ? 1 : 0, "world", kSource, __LINE__);
    loadConfig();
    deactivate();
}

Atmosphere::~Atmosphere() { destroy(); }

void Atmosphere::loadConfig() {
    const ConfigStore& config = ConfigStore::instance();
    const std::string& s = _name;

    _chance = std::max(0.0f, config.getFloat(s + ".chance", _chance));
    _hdrExposure = std::max(0.0f, config.getFloat(s + ".hdrExposure", _hdrExposure));
    _hdrEnableTonemap = config.getBool(s + ".hdrEnableTonemap", _hdrEnableTonemap);
    _hdrBrightThres = std::min(1.0f, std::max(0.0f, config.getFloat(s + ".hdrBrightThres", _hdrBrightThres)));
    _hdrBrightOffset = std::max(0.0f, config.getFloat(s + ".hdrBrightOffset", _hdrBrightOffset));
    const std::string sky1 = config.getString(s + ".skybox1", "");
    const std::string sky2 = config.getString(s + ".skybox2", "");
    _skybox2RotationSpeed = config.getFloat(s + ".skybox2RotationSpeed", 0.0f) * kDegreesToRadians;

    ResourceManager& resources = ResourceManager::instance();
    for (const std::string& entry : config.getList(s + ".textures")) {
        const std::string targetName = config.getString(entry + ".textureTarget", "");
        if (targetName.empty())
            continue;
        Texture* target = resources.getTexture(targetName);
        if (!target)
            continue;
        const std::string newName = config.getString(entry + ".textureNew", "");
        if (newName.empty())
            continue;
        Texture* texture2 = resources.getTexture(newName);
        if (!texture2)
            continue;
        // The replacement takes the target's sampling, which only counts before it is uploaded.
        // The cache outlives a stage, so a later stage finds the replacements an earlier one's
        // atmospheres had uploaded: no fault while they already sample as this target wants.
        const bool sampledAsWanted = texture2->_samplingAdopted && samplingOf(texture2) == samplingOf(target);
        if (texture2->_deviceTexture && !sampledAsWanted) {
            const std::string text = formatString("texture2->getRenderData() == nullptr (%s)", newName.c_str());
            XAssert(0, text.c_str(), kSource, __LINE__);
        }
        texture2->_filter = target->_filter;
        texture2->_addressMode = target->_addressMode;
        texture2->_maxAniso = target->_maxAniso;
        texture2->_samplingAdopted = 1;
        _textures.push_back({target, texture2});
    }

    for (const std::string& entry : config.getList(s + ".lights")) {
        Light light;
        light.name = config.getString(entry + ".lightName", "");
        if (light.name.empty())
            continue;
        std::string color;
        Vector3ToString(color, light.color);
        Vector3FromString(light.color, config.getString(entry + ".color", color.c_str()));
        light.energy = config.getFloat(entry + ".energy", 0.0f) * kEnergyScale;
        _lights.push_back(light);
    }

    removeSkyboxes();
    _skybox1 = loadSkybox(sky1);
    _skybox2 = loadSkybox(sky2);
}

Object* Atmosphere::loadSkybox(const std::string& file) {
    if (file.empty())
        return nullptr;
    Object* sky = _world->createObject(nullptr, file, "Skybox", PropertyList(), 0, kIdentityRows, Vector3(),
                                       Vector3(1, 1, 1), nullptr);
    if (sky)
        setMeshUniformFloat(sky, nullptr, "morphFactor", 0.0f);
    return sky;
}

void Atmosphere::removeSkyboxes() {
    for (Object** sky : {&_skybox1, &_skybox2}) {
        if (!*sky)
            continue;
        _world->detachObject(nullptr, *sky);
        _world->deleteObject(*sky);
        *sky = nullptr;
    }
}

void Atmosphere::activate(HdrSettings* hdr) {
    if (_active)
        return;
    _active = true;
    if (hdr) {
        hdr->setHdrExposure(_hdrExposure, false);
        hdr->setHdrEnableTonemap(_hdrEnableTonemap ? 1.0f : 0.0f, false);
        hdr->setHdrBrightThreshold(_hdrBrightThres, false);
        hdr->setHdrBrightOffset(_hdrBrightOffset, false);
    }
    swapTextures();
    if (_skybox1)
        setObjectActive(_skybox1, true);
    if (_skybox2)
        setObjectActive(_skybox2, true);
}

void Atmosphere::deactivate() {
    if (!_active)
        return;
    _active = false;
    restoreTextures();
    if (_skybox1)
        setObjectActive(_skybox1, false);
    if (_skybox2)
        setObjectActive(_skybox2, false);
}

void Atmosphere::swapTextures() {
    if (_textures.empty())
        return;
    for (auto& entry : ResourceManager::instance()._materials) {
        Material* material = entry.second;
        if (!material)
            continue;
        for (size_t slot = 0; slot < material->_textures.size(); ++slot) {
            Texture* held = material->_textures[slot];
            if (!held)
                continue;
            // One swap a slot: a pair whose target is another pair's replacement does not chain.
            for (const TextureSwap& swap : _textures) {
                if (held != swap.target)
                    continue;
                material->_textures[slot] = swap.replacement;
                _changedSlots.push_back({material, (uint32_t)slot, held, swap.replacement});
                break;
            }
        }
    }
}

void Atmosphere::restoreTextures() {
    // Only slots this activation wrote go back, and only while they still hold what it wrote:
    // a material that used a replacement texture of its own keeps it.
    for (auto it = _changedSlots.rbegin(); it != _changedSlots.rend(); ++it) {
        std::vector<Texture*>& slots = it->material->_textures;
        if (it->slot < slots.size() && slots[it->slot] == it->after)
            slots[it->slot] = it->before;
    }
    _changedSlots.clear();
}

void Atmosphere::update(Object* camera, float delta) {
    if (!_skybox1 || !camera)
        return;
    const Vector3 position = camera->getWorldPosition();
    _skybox1->setPosition(position);
    _skybox2Angle = std::fmod(_skybox2Angle + _skybox2RotationSpeed * delta, kTwoPi);
    if (!_skybox2)
        return;
    const float c = std::cos(_skybox2Angle), s = std::sin(_skybox2Angle);
    const Vector3 rows[3] = {Vector3(c, s, 0), Vector3(-s, c, 0), Vector3(0, 0, 1)};
    _skybox2->_transform->setWorld(rows, position);
    _skybox2->updateTransform();
}

void Atmosphere::destroy() {
    restoreTextures();
    if (_world)
        removeSkyboxes();
    _textures.clear();
    _lights.clear();
}

void Atmosphere::applyLights(Scene* scene) const {
    if (!scene)
        return;
    for (const Light& entry : _lights) {
        for (::Light* light : scene->_lights) {
            if (light && light->_name == entry.name) {
                light->_lightColor = entry.color;
                light->_energy = entry.energy;
                break;
            }
        }
    }
}

}  // namespace Zelvan
