// The sample demo scene, in both formats: it loads, simulates, animates and picks.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TestSupport.h"
#include "engine/clock.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Body.h"
#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "support_world.h"
#include "writer/ContentWriter.h"

namespace {

class DemoScene : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _docs.path()));
        _oldGame = IGame::instance();
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;
    }
    void TearDown() override {
        delete _world;
        worldtest::releaseResources();
        IGame::setInstance(_oldGame);
    }

    testsupport::TempDir _docs;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    worldtest::FixedScreen _screen{800, 600};
    IGame* _oldGame = nullptr;
    World* _world = nullptr;
};

TEST_P(DemoScene, LoadsStepsAnimatesAndPicks) {
    _world = new World(1);
    Scene* scene = _world->loadScene(GetParam(), 1, 0);
    ASSERT_NE(scene, nullptr);

    for (const char* name : {"Ground", "Crate", "Ball", "PillarLeft", "PillarRight", "Spinner"})
        ASSERT_NE(scene->findObject(name), nullptr) << name;
    ASSERT_EQ(scene->_lights.size(), 2u);
    ASSERT_EQ(scene->_cameras.size(), 1u);
    EXPECT_EQ(_world->getCamera(), scene->_cameras[0]);
    EXPECT_NE(_world->findEmpty("SpawnPoint"), nullptr);
    EXPECT_EQ(scene->getGroup("props").size(), 3u);
    EXPECT_EQ(scene->findObject("Ground")->_typeId, 100);
    EXPECT_EQ(scene->findObject("Crate")->_lights.size(), 4u);

    // Object files give static bodies; the game turns one dynamic the way a smashed obstacle is.
    Object* crate = scene->findObject("Crate");
    ASSERT_NE(crate->_physicsBody, nullptr);
    static_cast<Body*>(crate->_physicsBody)->setType(Body::Dynamic);

    Object* spinner = scene->findObject("Spinner");
    const Vector3 spinnerStart = spinner->_transform->_world.getTranslation();
    const Vector3 spinnerAxis = spinner->_transform->_world.row3(0);

    for (int frame = 0; frame < 60; ++frame)
        _world->update();

    // Fallen from 2.5 to rest on the ground with its half height of 0.5.
    const Vector3 cratePos = crate->getWorldPosition();
    EXPECT_NEAR(cratePos.z, 0.5f, 0.05f);
    EXPECT_NEAR(cratePos.x, 0.0f, 0.2f);
    EXPECT_NEAR(cratePos.y, 0.0f, 0.2f);
    EXPECT_LT(crate->_physicsBody->getLinearVelocity().length(), 0.05f);

    // The animated node moved (a second of a looping second-long animation brings the
    // position back; the frames between did move it).
    bool moved = false;
    for (int frame = 0; frame < 5; ++frame) {
        _world->update();
        const Vector3 p = spinner->_transform->_world.getTranslation();
        moved = moved || (p - spinnerStart).length() > 0.01f ||
                (spinner->_transform->_world.row3(0) - spinnerAxis).length() > 0.01f;
    }
    EXPECT_TRUE(moved);

    // The crate sits where the camera looks.
    _world->_camera->updateTransform();
    std::vector<RayHit> hits;
    Vector3 direction;
    _world->pick(hits, 0.5f, 0.5f, -1, &direction);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].node->_name, "Crate");
    EXPECT_NEAR(direction.length(), 1.0f, 1e-4f);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, DemoScene, ::testing::Values("scenes/demo.txt", "scenes/demo.bin"));

TEST(DemoContent, CommittedFilesMatchTheWriters) {
    for (const contentwriter::ContentFile& f : contentwriter::demoContent()) {
        std::string have = testsupport::readFile(testsupport::contentDir() + "/data/" + f.path);
        EXPECT_EQ(have, std::string(f.bytes.begin(), f.bytes.end()))
            << f.path << " is out of date: run zelvan_content write content/data";
    }
}

}  // namespace
