// Atmospheres: configuration clamps, texture swaps put back slot by slot, HDR values sent on
// activation, sky objects following a camera, light entries colouring scene lights, and the
// sample content's two atmospheres.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

#include "engine/ConfigStore.h"
#include "engine/render/Material.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/Texture.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/track/ZelvanAtmosphere.h"
#include "support_atmo.h"
#include "writer/PngWriter.h"

namespace {

using atmotest::TrackWorldTest;
using Zelvan::Atmosphere;

const float kPi = 3.14159265f;

// Stands in for the stage in front of the post chain: records every value it is sent.
struct PostChainValues : Zelvan::HdrSettings {
    void setHdrExposure(float v, bool persist) override { record("hdrExposure", v, persist); }
    void setHdrEnableTonemap(float v, bool persist) override { record("hdrEnableTonemap", v, persist); }
    void setHdrBrightThreshold(float v, bool persist) override { record("hdrBrightThres", v, persist); }
    void setHdrBrightOffset(float v, bool persist) override { record("hdrBrightOffset", v, persist); }
    void record(const std::string& name, float v, bool persist) {
        uniforms[name] = v;
        ++calls;
        persisted = persisted || persist;
    }
    std::map<std::string, float> uniforms;
    int calls = 0;
    bool persisted = false;
};

class AtmosphereTest : public TrackWorldTest {
protected:
    void writeTexture(const std::string& name, uint8_t grey) {
        std::vector<uint8_t> pixels(4 * 4 * 3, grey);
        std::filesystem::create_directories(_dir.path() + "/data/textures");
        contentwriter::writePng(_dir.path() + "/data/textures/" + name, 4, 4, false, pixels);
    }
    Texture* texture(const std::string& name) { return ResourceManager::instance().getTexture("textures/" + name); }
    Material* material(const std::string& name, const std::string& text) {
        writeData("materials/" + name + ".txt", text);
        return ResourceManager::instance().getMaterial("materials/" + name + ".txt");
    }
    std::unique_ptr<Atmosphere> make(const std::string& name) {
        return std::unique_ptr<Atmosphere>(Atmosphere::create(world(), name));
    }
};

TEST_F(AtmosphereTest, KeysAreClampedAndConverted) {
    loadConfig(
        "[clamped]\nchance = -1\nhdrExposure = -2\nhdrEnableTonemap = true\nhdrBrightThres = 1.7\n"
        "hdrBrightOffset = -0.5\nskybox2RotationSpeed = 90\nlights = { clampedSun clampedNoName clampedFill }\n"
        "[clampedSun]\nlightName = Sun\ncolor = 1,0.5,0.25\nenergy = 1.4\n"
        "[clampedNoName]\ncolor = 0,1,0\nenergy = 3\n"
        "[clampedFill]\nlightName = Fill\n"
        "[low]\nhdrBrightThres = -0.3\nchance = 3\n");
    std::unique_ptr<Atmosphere> a = make("clamped");
    EXPECT_EQ(a->_chance, 0.0f);
    EXPECT_EQ(a->_hdrExposure, 0.0f);
    EXPECT_TRUE(a->_hdrEnableTonemap);
    EXPECT_EQ(a->_hdrBrightThres, 1.0f);
    EXPECT_EQ(a->_hdrBrightOffset, 0.0f);
    EXPECT_NEAR(a->_skybox2RotationSpeed, kPi / 2, 1e-6);
    EXPECT_FALSE(a->_active);
    // The entry without a light name is left out even though it has a colour.
    ASSERT_EQ(a->_lights.size(), 2u);
    EXPECT_EQ(a->_lights[0].name, "Sun");
    EXPECT_EQ(a->_lights[0].color, Vector3(1, 0.5f, 0.25f));
    EXPECT_NEAR(a->_lights[0].energy, 1.0f, 1e-6);
    EXPECT_EQ(a->_lights[1].color, Vector3(1, 1, 1));
    EXPECT_EQ(a->_lights[1].energy, 0.0f);

    std::unique_ptr<Atmosphere> low = make("low");
    EXPECT_EQ(low->_hdrBrightThres, 0.0f);
    EXPECT_EQ(low->_chance, 3.0f);
    // An unknown section gives the post chain's own start values.
    std::unique_ptr<Atmosphere> none = make("unknown");
    EXPECT_FLOAT_EQ(none->_hdrExposure, 6.193871f);
    EXPECT_FLOAT_EQ(none->_hdrBrightThres, 0.88914216f);
    EXPECT_FLOAT_EQ(none->_hdrBrightOffset, 0.671223f);
    EXPECT_EQ(none->_chance, 1.0f);
    EXPECT_EQ(Atmosphere::create(nullptr, "clamped"), nullptr);
}

TEST_F(AtmosphereTest, ActivationSendsHdrValuesOnceWithoutPersisting) {
    loadConfig("[dusk]\nhdrExposure = 4.5\nhdrEnableTonemap = true\nhdrBrightThres = 0.75\nhdrBrightOffset = 0.5\n");
    std::unique_ptr<Atmosphere> a = make("dusk");
    PostChainValues post;
    a->activate(&post);
    a->activate(&post);
    EXPECT_EQ(post.calls, 4);
    EXPECT_FALSE(post.persisted);
    EXPECT_EQ(post.uniforms["hdrExposure"], 4.5f);
    EXPECT_EQ(post.uniforms["hdrEnableTonemap"], 1.0f);
    EXPECT_EQ(post.uniforms["hdrBrightThres"], 0.75f);
    EXPECT_EQ(post.uniforms["hdrBrightOffset"], 0.5f);
    // Deactivating leaves the values where they are.
    a->deactivate();
    EXPECT_EQ(post.calls, 4);
}

TEST_F(AtmosphereTest, SwapsAndRestoresExactlyTheSlotsItChanged) {
    writeTexture("day.png", 200);
    writeTexture("night.png", 40);
    writeTexture("other.png", 120);
    writeTexture("stone.png", 90);
    writeTexture("stone_night.png", 30);
    // Twice the target; once the target among others; never the target; the replacement on its own.
    Material* twice = material("twice", "texture0 = textures/day.png\ntexture1 = textures/day.png\n");
    Material* mixed = material("mixed", "texture0 = textures/other.png\ntexture1 = textures/day.png\n"
                                        "texture2 = textures/stone.png\n");
    Material* without = material("without", "texture0 = textures/other.png\n");
    Material* own = material("own", "texture0 = textures/night.png\n");
    ASSERT_TRUE(twice && mixed && without && own);
    texture("day.png")->_filter = FilterNearest;
    texture("day.png")->_addressMode = AddressClamp;
    texture("day.png")->_maxAniso = 4;

    loadConfig("[night]\ntextures = { nightDay nightStone nightMissing nightEmpty }\n"
               "[nightDay]\ntextureTarget = textures/day.png\ntextureNew = textures/night.png\n"
               "[nightStone]\ntextureTarget = textures/stone.png\ntextureNew = textures/stone_night.png\n"
               "[nightMissing]\ntextureTarget = textures/nothing.png\ntextureNew = textures/night.png\n"
               "[nightEmpty]\ntextureTarget = textures/day.png\n");
    std::unique_ptr<Atmosphere> a = make("night");
    ASSERT_EQ(a->_textures.size(), 2u);
    Texture* day = texture("day.png");
    Texture* night = texture("night.png");
    Texture* other = texture("other.png");
    EXPECT_EQ(night->_filter, FilterNearest);
    EXPECT_EQ(night->_addressMode, AddressClamp);
    EXPECT_EQ(night->_maxAniso, 4.0f);

    const std::vector<Texture*> twiceBefore = twice->_textures, mixedBefore = mixed->_textures;
    for (int round = 0; round < 2; ++round) {
        a->activate(nullptr);
        a->activate(nullptr);  // applied once
        EXPECT_EQ(twice->_textures, std::vector<Texture*>({night, night}));
        EXPECT_EQ(mixed->_textures, std::vector<Texture*>({other, night, texture("stone_night.png")}));
        EXPECT_EQ(without->_textures, std::vector<Texture*>({other}));
        EXPECT_EQ(own->_textures, std::vector<Texture*>({night}));

        // A material loaded while the atmosphere is on keeps what it loaded, also afterwards.
        Material* late = material("late" + std::to_string(round), "texture0 = textures/day.png\n");
        a->deactivate();
        a->deactivate();
        EXPECT_EQ(twice->_textures, twiceBefore);
        EXPECT_EQ(mixed->_textures, mixedBefore);
        EXPECT_EQ(without->_textures, std::vector<Texture*>({other}));
        // The material that used the replacement by itself keeps it.
        EXPECT_EQ(own->_textures, std::vector<Texture*>({night}));
        EXPECT_EQ(late->_textures, std::vector<Texture*>({day}));
    }
}

TEST_F(AtmosphereTest, UploadedReplacementIsAFatalContentError) {
    writeTexture("day.png", 200);
    writeTexture("night.png", 40);
    loadConfig("[night]\ntextures = { nightDay }\n"
               "[nightDay]\ntextureTarget = textures/day.png\ntextureNew = textures/night.png\n");
    EXPECT_DEATH(
        {
            testsupport::logToStderr();
            texture("night.png")->_deviceTexture = new BackEndData();
            make("night");
        },
        "texture2->getRenderData\\(\\) == nullptr \\(textures/night.png\\)");
}

// A later stage in the same process finds the replacement its first stage's atmosphere uploaded:
// loading again is fine while the device copy has the sampling the atmosphere would give it, and
// still fatal once another target asks for different sampling.
TEST_F(AtmosphereTest, ReplacementUploadedByAnEarlierAtmosphereLoadsAgain) {
    writeTexture("day.png", 200);
    writeTexture("gate.png", 90);
    writeTexture("night.png", 40);
    loadConfig("[night]\ntextures = { nightDay }\n"
               "[nightDay]\ntextureTarget = textures/day.png\ntextureNew = textures/night.png\n"
               "[gloom]\ntextures = { gloomGate }\n"
               "[gloomGate]\ntextureTarget = textures/gate.png\ntextureNew = textures/night.png\n");
    texture("day.png")->_addressMode = AddressClamp;
    texture("gate.png")->_filter = FilterNearest;
    make("night");
    Texture* night = texture("night.png");
    night->_deviceTexture = new BackEndData();
    {
        auto again = make("night");
        EXPECT_EQ(night->_addressMode, AddressClamp);
    }
    EXPECT_DEATH(
        {
            testsupport::logToStderr();
            make("gloom");
        },
        "texture2->getRenderData\\(\\) == nullptr \\(textures/night.png\\)");
}

class SkyTest : public AtmosphereTest {
protected:
    void SetUp() override {
        writeData("objects/sky.object", contentwriter::writeObjectFile(atmotest::boxObject("sky")));
        writeData("objects/clouds.object", contentwriter::writeObjectFile(atmotest::boxObject("clouds")));
        _camera = new Camera(nullptr);
        _camera->setPosition(Vector3(3, -4, 5));
        _camera->updateTransform();
    }
    void TearDown() override { delete _camera; }

    // The heading of skybox 2's X axis about Z.
    static float heading(Object* sky) {
        const Vector3 x = sky->_transform->_world.row3(0);
        return std::atan2(x.y, x.x);
    }
    Camera* _camera = nullptr;
};

TEST_F(SkyTest, SkyFollowsTheCameraAndTheSecondObjectTurns) {
    loadConfig("[turning]\nskybox1 = objects/sky.object\nskybox2 = objects/clouds.object\nskybox2RotationSpeed = 90\n"
               "[back]\nskybox1 = objects/sky.object\nskybox2 = objects/clouds.object\nskybox2RotationSpeed = -90\n");
    std::unique_ptr<Atmosphere> a = make("turning");
    ASSERT_TRUE(a->_skybox1 && a->_skybox2);
    EXPECT_EQ(a->_skybox1->_name, "Skybox");
    // Inactive at first: hidden.
    EXPECT_TRUE(a->_skybox1->_hidden && a->_skybox2->_hidden);
    a->activate(nullptr);
    EXPECT_FALSE(a->_skybox1->_hidden || a->_skybox2->_hidden);

    a->update(_camera, 1.0f);
    EXPECT_EQ(a->_skybox1->getWorldPosition(), Vector3(3, -4, 5));
    EXPECT_EQ(a->_skybox2->getWorldPosition(), Vector3(3, -4, 5));
    EXPECT_NEAR(heading(a->_skybox2), kPi / 2, 1e-5);
    // Delta 0 only places the sky.
    _camera->setPosition(Vector3(10, 0, 0));
    _camera->updateTransform();
    a->update(_camera, 0.0f);
    EXPECT_EQ(a->_skybox1->getWorldPosition(), Vector3(10, 0, 0));
    EXPECT_NEAR(a->_skybox2Angle, kPi / 2, 1e-5);
    // Six more quarter turns: the angle wraps below a full turn.
    for (int i = 0; i < 6; ++i)
        a->update(_camera, 1.0f);
    EXPECT_NEAR(a->_skybox2Angle, 3 * kPi / 2, 1e-4);
    EXPECT_LT(a->_skybox2Angle, 2 * kPi);
    a->deactivate();
    EXPECT_TRUE(a->_skybox1->_hidden && a->_skybox2->_hidden);

    std::unique_ptr<Atmosphere> back = make("back");
    for (int i = 0; i < 5; ++i)
        back->update(_camera, 1.0f);
    EXPECT_NEAR(back->_skybox2Angle, -kPi / 2, 1e-4);
    EXPECT_GT(back->_skybox2Angle, -2 * kPi);
    EXPECT_NEAR(heading(back->_skybox2), -kPi / 2, 1e-4);
}

TEST_F(SkyTest, WithoutTheFirstSkyObjectNothingMoves) {
    loadConfig("[half]\nskybox2 = objects/clouds.object\nskybox2RotationSpeed = 90\n"
               "[broken]\nskybox1 = objects/missing.object\nskybox2 = objects/clouds.object\n");
    std::unique_ptr<Atmosphere> a = make("half");
    ASSERT_EQ(a->_skybox1, nullptr);
    ASSERT_NE(a->_skybox2, nullptr);
    a->activate(nullptr);
    a->update(_camera, 1.0f);
    EXPECT_EQ(a->_skybox2->getWorldPosition(), Vector3(0, 0, 0));
    EXPECT_EQ(a->_skybox2Angle, 0.0f);
    // A sky file that cannot be made is skipped.
    std::unique_ptr<Atmosphere> broken = make("broken");
    EXPECT_EQ(broken->_skybox1, nullptr);
    EXPECT_NE(broken->_skybox2, nullptr);

    // Destroying takes the sky objects out of the world.
    Object* sky = a->_skybox2;
    ASSERT_NE(std::find(world()->_objects.begin(), world()->_objects.end(), sky), world()->_objects.end());
    a->destroy();
    EXPECT_EQ(a->_skybox2, nullptr);
    EXPECT_EQ(std::find(world()->_objects.begin(), world()->_objects.end(), sky), world()->_objects.end());
}

TEST_F(AtmosphereTest, LightEntriesColourTheFirstSceneLightOfTheirName) {
    loadConfig("[evening]\nlights = { eveningSunA eveningFill eveningSunB eveningMoon }\n"
               "[eveningSunA]\nlightName = Sun\ncolor = 1,0,0\nenergy = 1.4\n"
               "[eveningFill]\nlightName = Fill\ncolor = 0,0,1\nenergy = 0.7\n"
               "[eveningSunB]\nlightName = Sun\ncolor = 0,1,0\nenergy = 2.8\n"
               "[eveningMoon]\nlightName = Moon\ncolor = 1,1,1\nenergy = 1\n");
    std::unique_ptr<Atmosphere> a = make("evening");
    Scene* scene = world()->createScene("lit", 0, 0);
    auto addLight = [&](const std::string& name) {
        Light* light = new Light(scene->_root);
        light->_name = name;
        light->_lightColor = Vector3(0.5f, 0.5f, 0.5f);
        light->_energy = 9;
        scene->_lights.push_back(light);
        return light;
    };
    Light* sun = addLight("Sun");
    Light* secondSun = addLight("Sun");
    Light* fill = addLight("Fill");
    Light* lamp = addLight("Lamp");
    a->applyLights(scene);
    // Two entries of one name: the first scene light of that name ends with the second entry.
    EXPECT_EQ(sun->_lightColor, Vector3(0, 1, 0));
    EXPECT_NEAR(sun->_energy, 2.0f, 1e-6);
    EXPECT_EQ(secondSun->_lightColor, Vector3(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(fill->_lightColor, Vector3(0, 0, 1));
    EXPECT_NEAR(fill->_energy, 0.5f, 1e-6);
    EXPECT_EQ(lamp->_energy, 9.0f);
    a->applyLights(nullptr);
}

class SampleAtmospheres : public TrackWorldTest {
protected:
    SampleAtmospheres() : TrackWorldTest(true) {}
};

TEST_F(SampleAtmospheres, DuskRepaintsTheCheckerAndLightsTheDemoScene) {
    Material* model = ResourceManager::instance().getMaterial("materials/model.txt");
    Material* glass = ResourceManager::instance().getMaterial("materials/glass.txt");
    ASSERT_TRUE(model && glass);
    Texture* checker = ResourceManager::instance().getTexture("textures/checker.png");

    std::vector<std::unique_ptr<Atmosphere>> atmospheres;
    for (const std::string& name : ConfigStore::instance().getList("atmosphere.atmospheres"))
        atmospheres.emplace_back(Atmosphere::create(world(), name));
    ASSERT_EQ(atmospheres.size(), 2u);
    Atmosphere& day = *atmospheres[0];
    Atmosphere& dusk = *atmospheres[1];
    EXPECT_EQ(day._chance, 2.0f);
    ASSERT_EQ(dusk._textures.size(), 1u);
    Texture* duskChecker = ResourceManager::instance().getTexture("textures/checker_dusk.png");
    EXPECT_EQ(dusk._textures[0].replacement, duskChecker);
    EXPECT_TRUE(day._skybox1 && day._skybox2 && dusk._skybox1 && dusk._skybox2);

    PostChainValues post;
    day.activate(&post);
    EXPECT_EQ(model->_textures[0], checker);
    day.deactivate();
    dusk.activate(&post);
    EXPECT_EQ(post.uniforms["hdrEnableTonemap"], 1.0f);
    EXPECT_EQ(post.uniforms["hdrExposure"], 4.5f);
    EXPECT_EQ(model->_textures[0], duskChecker);
    EXPECT_EQ(glass->_textures[0], duskChecker);
    dusk.deactivate();
    EXPECT_EQ(model->_textures[0], checker);
    EXPECT_EQ(glass->_textures[0], checker);

    Scene* demo = world()->loadScene("scenes/demo.bin", 0, 0);
    ASSERT_NE(demo, nullptr);
    dusk.applyLights(demo);
    int suns = 0;
    for (Light* light : demo->_lights) {
        if (light->_name == "Sun") {
            EXPECT_EQ(light->_lightColor, Vector3(1, 0.6f, 0.4f));
            ++suns;
        }
    }
    EXPECT_EQ(suns, 1);
}

}  // namespace
