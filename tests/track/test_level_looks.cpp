// Level cameras (defaults, the shared section, each camera's own, the read rules) and level
// skins (material replacement on a level's tree, restoring, empty skins).

#include <gtest/gtest.h>

#include <memory>

#include "engine/ConfigStore.h"
#include "engine/render/Mesh.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/track/ZelvanLevelCamera.h"
#include "game/track/ZelvanLevelSkin.h"
#include "game/track/ZelvanRail.h"
#include "support_track.h"

namespace {

using namespace tracktest;
using Zelvan::LevelCamera;
using Zelvan::LevelSkin;

// ---------------------------------------------------------------------------------------------
// Level cameras

class LevelCameras : public TrackWorldTest {};

TEST_F(LevelCameras, NoKeysGiveTheDefaultsAndTheKeyAsName) {
    std::unique_ptr<LevelCamera> c(LevelCamera::create("camera_plain"));
    EXPECT_EQ(c->_name, "camera_plain");
    EXPECT_EQ(c->_mode, 2);
    EXPECT_EQ(c->_roll, 0.0f);
    EXPECT_EQ(c->_fov, 90.0f);
    EXPECT_EQ(c->_speedFov, 0.0f);
    expectVec(c->_follow, Vector3(0, 1, 1));
    expectVec(c->_target, Vector3(0, 0, 0));
    EXPECT_EQ(c->_targetDamp, 5.0f);
    expectVec(c->_offset, Vector3(0, -5, 3));
    EXPECT_EQ(c->_offsetDamp, 3.0f);
}

TEST_F(LevelCameras, SharedSectionIsEveryCamerasDefault) {
    loadConfig("[camera]\nname = shared\ncameraFov = 70\ncameraOffset = 1,-8,4\ncameraFollow = 2,2,2\n"
               "[cam_a]\ncameraFov = 50\nname = a\n"
               "[cam_b]\ncameraTarget = 0,3,1\n");
    std::unique_ptr<LevelCamera> a(LevelCamera::create("cam_a"));
    std::unique_ptr<LevelCamera> b(LevelCamera::create("cam_b"));
    std::unique_ptr<LevelCamera> c(LevelCamera::create("cam_c"));
    EXPECT_EQ(a->_name, "a");
    EXPECT_EQ(a->_fov, 50.0f);
    EXPECT_EQ(b->_name, "shared");
    EXPECT_EQ(c->_name, "shared");
    EXPECT_EQ(b->_fov, 70.0f);
    expectVec(b->_offset, Vector3(1, -8, 4));
    expectVec(b->_target, Vector3(0, 3, 1));
    expectVec(c->_target, Vector3(0, 0, 0));
    expectVec(a->_follow, Vector3(1, 1, 1));  // clamped, also as the default of the own section
}

TEST_F(LevelCameras, ReadRules) {
    const struct {
        const char* key;
        const char* text;
        int mode;
        float fov, speedFov, targetDamp, offsetDamp;
        Vector3 follow;
    } cases[] = {
        {"r1", "cameraMode = 0.4\n", 0, 90, 0, 5, 3, Vector3(0, 1, 1)},
        {"r2", "cameraMode = 2.5\n", 3, 90, 0, 5, 3, Vector3(0, 1, 1)},
        {"r3", "cameraMode = 1.6\n", 2, 90, 0, 5, 3, Vector3(0, 1, 1)},
        {"r4", "cameraMode = -0.7\n", 0, 90, 0, 5, 3, Vector3(0, 1, 1)},
        {"r5", "cameraFov = -10\ncameraSpeedFov = -1\ncameraTargetDamp = -2\ncameraOffsetDamp = -3\n", 2, 0, 0, 0, 0,
         Vector3(0, 1, 1)},
        {"r6", "cameraFollow = 2,-1,0.5\n", 2, 90, 0, 5, 3, Vector3(1, 0, 0.5f)},
        {"r7", "cameraFollow = 0.25\n", 2, 90, 0, 5, 3, Vector3(0, 1, 1)},      // a number, not a vector text
        {"r8", "cameraFollow = 0.5,0.5\n", 2, 90, 0, 5, 3, Vector3(0.5f, 0.5f, 1)},  // missing parts stay
    };
    std::string text;
    for (const auto& c : cases)
        text += std::string("[") + c.key + "]\n" + c.text;
    loadConfig(text);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        std::unique_ptr<LevelCamera> cam(LevelCamera::create(c.key));
        EXPECT_EQ(cam->_mode, c.mode);
        EXPECT_EQ(cam->_fov, c.fov);
        EXPECT_EQ(cam->_speedFov, c.speedFov);
        EXPECT_EQ(cam->_targetDamp, c.targetDamp);
        EXPECT_EQ(cam->_offsetDamp, c.offsetDamp);
        expectVec(cam->_follow, c.follow);
    }
}

class SampleLevelCameras : public TrackWorldTest {
protected:
    SampleLevelCameras() : TrackWorldTest(true) {}
};

TEST_F(SampleLevelCameras, SampleConfigurationListsItsCameras) {
    loadSampleConfig();
    const ConfigStore::WordList& keys = ConfigStore::instance().getList("camera.cameras");
    ASSERT_EQ(keys.size(), 7u);  // three for the levels, four the train and its boosts push
    std::vector<std::unique_ptr<LevelCamera>> cams;
    for (const std::string& k : keys)
        cams.emplace_back(LevelCamera::create(k));
    EXPECT_EQ(cams[0]->_name, "run");
    EXPECT_EQ(cams[0]->_targetDamp, 6.0f);  // shared
    expectVec(cams[0]->_offset, Vector3(0, -6, 3.5f));
    EXPECT_EQ(cams[1]->_name, "start");
    EXPECT_EQ(cams[1]->_fov, 70.0f);
    expectVec(cams[1]->_offset, Vector3(0, -4, 2));
    EXPECT_EQ(cams[2]->_name, "tunnel");
    EXPECT_EQ(cams[2]->_mode, 1);
    expectVec(cams[2]->_follow, Vector3(1, 1, 0.5f));
    expectVec(cams[2]->_target, Vector3(0, 4, 0.5f));
    EXPECT_EQ(cams[2]->_speedFov, 12.0f);
}

// ---------------------------------------------------------------------------------------------
// Level skins over the sample level

class LevelSkins : public SampleLevelTest {
protected:
    Material* material(const char* name) {
        return ResourceManager::instance().getMaterial(std::string("materials/") + name + ".txt");
    }
    // How many meshes of the level use the material.
    int count(Material* m) const {
        int n = 0;
        countIn(_scene->_root, m, n);
        return n;
    }
    static void countIn(Object* node, Material* m, int& n) {
        for (Mesh* mesh : node->_meshes)
            n += mesh->_material == m;
        for (Object* child : node->_children)
            countIn(child, m, n);
    }
};

TEST_F(LevelSkins, SampleSkinsReplaceAndRestoreTheRails) {
    loadSampleConfig();
    Material* rail = material("rail");
    Material* gold = material("rail_gold");
    Material* model = material("model");
    ASSERT_NE(rail, nullptr);
    ASSERT_NE(gold, nullptr);
    const int rails = count(rail);
    const int models = count(model);
    EXPECT_EQ(rails, 7);  // one bar a piece
    EXPECT_EQ(count(gold), 0);

    std::vector<std::unique_ptr<LevelSkin>> skins;
    for (const std::string& key : ConfigStore::instance().getList("skin.skins"))
        skins.emplace_back(LevelSkin::create(key));
    ASSERT_EQ(skins.size(), 2u);
    LevelSkin& classic = *skins[0];
    LevelSkin& goldSkin = *skins[1];
    EXPECT_EQ(classic._key, "skin_classic");
    EXPECT_EQ(classic._name, "skin_classic");
    EXPECT_FALSE(goldSkin.isEmpty());
    EXPECT_EQ(goldSkin._newMaterial, gold);

    goldSkin.apply(_scene->_root);
    EXPECT_EQ(count(gold), rails);
    EXPECT_EQ(count(rail), 0);
    EXPECT_EQ(count(model), models);  // sleepers and markers keep theirs

    classic.apply(_scene->_root);
    EXPECT_EQ(count(rail), rails);
    EXPECT_EQ(count(gold), 0);
    EXPECT_EQ(count(model), models);
}

TEST_F(LevelSkins, EmptyDuplicateAndMissingMaterials) {
    loadConfig("[skin]\nmaterialTargetFiles = { rail missing_one }\n"
               "[s_none]\nmaterialTargetFiles = { rail }\n"
               "[s_lost]\nmaterialNewFile = no_such_material\n"
               "[s_twice]\nmaterialNewFile = rail_gold\nmaterialTargetFiles = { rail model }\nname = Twice\n"
               "[s_model]\nmaterialNewFile = model\nmaterialTargetFiles = { rail_gold }\n");
    Material* rail = material("rail");
    Material* gold = material("rail_gold");
    Material* model = material("model");
    const int rails = count(rail);

    std::unique_ptr<LevelSkin> none(LevelSkin::create("s_none"));
    EXPECT_TRUE(none->isEmpty());
    EXPECT_TRUE(none->_targets.empty());
    EXPECT_EQ(none->_name, "s_none");
    none->apply(_scene->_root);
    EXPECT_EQ(count(rail), rails);

    std::unique_ptr<LevelSkin> lost(LevelSkin::create("s_lost"));
    EXPECT_TRUE(lost->isEmpty());

    std::unique_ptr<LevelSkin> twice(LevelSkin::create("s_twice"));
    ASSERT_EQ(twice->_targets.size(), 3u);  // the shared rail, then its own rail and model
    EXPECT_EQ(twice->_targets[0], rail);
    EXPECT_EQ(twice->_targets[1], rail);
    EXPECT_EQ(twice->_targets[2], model);
    EXPECT_EQ(twice->_name, "Twice");
    const int models = count(model);
    twice->apply(_scene->_root);
    EXPECT_EQ(count(gold), rails + models);
    twice->apply(nullptr);

    // A skin replaces its own targets only: the rails it switched stay switched unless their
    // new material is among this skin's targets.
    std::unique_ptr<LevelSkin> back(LevelSkin::create("s_model"));
    back->apply(_scene->_root);
    EXPECT_EQ(count(gold), 0);
    EXPECT_EQ(count(model), rails + models);
}

}  // namespace
