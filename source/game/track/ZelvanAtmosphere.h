#pragma once
// The look of a stretch of track: the post chain's HDR values, texture swaps that repaint every
// material using a given texture, two sky objects that follow the camera (the second turning
// slowly) and colours and energies for named scene lights. Read once from the atmosphere's own
// configuration section; inactive until activated.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class Material;
class Object;
class Scene;
class Texture;
class World;

namespace Zelvan {

// Where an activated atmosphere sends its post-processing values. The stage implements it and
// hands them to the post chain; "persist" false asks it not to store them.
class HdrSettings {
public:
    virtual ~HdrSettings() {}
    virtual void setHdrExposure(float value, bool persist) = 0;
    virtual void setHdrEnableTonemap(float value, bool persist) = 0;
    virtual void setHdrBrightThreshold(float value, bool persist) = 0;
    virtual void setHdrBrightOffset(float value, bool persist) = 0;
};

class Atmosphere {
public:
    struct TextureSwap {
        Texture* target = nullptr;
        Texture* replacement = nullptr;
    };

    struct Light {
        std::string name;
        Vector3 color{1, 1, 1};
        float energy = 0;  // already scaled by 1 / 1.4
    };

    // None without a world.
    static Atmosphere* create(World* world, const std::string& name);

    // Reads the section, then starts inactive with the sky objects hidden. The world must outlive
    // the atmosphere.
    Atmosphere(World* world, const std::string& name);
    ~Atmosphere();
    Atmosphere(const Atmosphere&) = delete;
    Atmosphere& operator=(const Atmosphere&) = delete;

    // Idempotent. Pushes the HDR values to hdr (none: they are not sent), swaps the textures and
    // shows the sky objects.
    void activate(HdrSettings* hdr);
    // Idempotent. Puts back exactly the texture slots the activation changed and hides the sky;
    // the HDR values stay until another atmosphere is activated.
    void deactivate();
    // Keeps the sky at the camera and turns the second sky object; delta 0 only places it.
    void update(Object* camera, float delta);
    // Takes the sky objects out of the world and frees them; the lists are emptied.
    void destroy();

    // Every light entry in order colours the first light of the scene bearing its name; scene
    // lights without an entry keep their values.
    void applyLights(Scene* scene) const;

    void loadConfig();
    Object* loadSkybox(const std::string& file);

    World* _world = nullptr;
    std::string _name;
    float _chance = 1.0f;
    float _hdrExposure = 6.193871f;
    bool _hdrEnableTonemap = false;
    float _hdrBrightThres = 0.88914216f;
    float _hdrBrightOffset = 0.671223f;
    std::vector<TextureSwap> _textures;
    std::vector<Light> _lights;
    Object* _skybox1 = nullptr;
    Object* _skybox2 = nullptr;
    float _skybox2Angle = 0;
    float _skybox2RotationSpeed = 0;  // radians a second
    bool _active = true;

private:
    // One texture slot the activation rewrote, to be put back on deactivation.
    struct SlotChange {
        Material* material;
        uint32_t slot;
        Texture* before;
        Texture* after;
    };

    void swapTextures();
    void restoreTextures();
    void removeSkyboxes();

    std::vector<SlotChange> _changedSlots;
};

}  // namespace Zelvan
