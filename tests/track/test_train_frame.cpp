// The sample train on the sample level drawn through the headless OpenGL ES back end: its pixels
// sit where the stage camera projects it.

#include <gtest/gtest.h>

#include "engine/render/ResourceManager.h"
#include "engine/render/gles2/EglHeadless.h"
#include "engine/render/gles2/OpenGLES2Render.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "game/stage/ZelvanStageCamera.h"
#include "support_player.h"

using namespace Zelvan;
using namespace playertest;

namespace {

const int kSize = 256;

class TrainFrameTest : public PlayerTrainTest {
protected:
    void SetUp() override {
        _context = EglHeadless::shared(kSize, kSize);
        ASSERT_NE(_context, nullptr) << "no headless EGL context";
        _screen.width = (float)_context->width();
        _screen.height = (float)_context->height();
        ResourceManager::instance().resetForTests();
        _render = OpenGLES2Render::create();  // before the world, which takes its screen target
        PlayerTrainTest::SetUp();
    }
    void TearDown() override {
        PlayerTrainTest::TearDown();
        _camera.reset();
        delete _world;  // before the renderer and its targets go
        _world = nullptr;
        if (_render) {
            for (auto& entry : ResourceManager::instance()._shaders)
                _render->deleteShader(entry.second);
            ResourceManager::instance().resetForTests();
            _render->targets.clear();
            Render::setCurrent(nullptr);
            delete _render;
            _render = nullptr;
        }
    }
    uint32_t pixelAt(const Vector3& ndc) {
        _render->beginFrame();
        _render->render();
        const int x = (int)((ndc.x * 0.5f + 0.5f) * (float)kSize);
        const int y = (int)((ndc.y * 0.5f + 0.5f) * (float)kSize);
        return EglHeadless::readPixel(x, y);
    }

    EglHeadless* _context = nullptr;
    OpenGLES2Render* _render = nullptr;
    std::unique_ptr<StageCamera> _camera;
};

TEST_F(TrainFrameTest, TrainPixelsSitAtItsProjectedPosition) {
    _camera.reset(new StageCamera(world()));
    _camera->attach();
    _camera->setTrack(_road.get());
    place(_train);
    for (int i = 0; i < 30; ++i) {
        frame(_train);
        _camera->update(kDt, _road->level(0), _train, Vector3(), 0);
    }
    world()->update();
    ResourceManager::instance().uploadAll();

    Vector3 at = _train->getWorldPosition() + Vector3(0, 0, 0.5f);  // the cab, above the rail
    _camera->getCamera()->project(at);
    ASSERT_LT(std::fabs(at.x), 0.9f);
    ASSERT_LT(std::fabs(at.y), 0.9f);
    const uint32_t withTrain = pixelAt(at);
    const uint32_t corner = pixelAt(Vector3(-0.95f, 0.95f, 0));
    _train->setHidden(true);
    const uint32_t without = pixelAt(at);
    EXPECT_NE(withTrain, without) << "the train covers the level where it is projected";
    EXPECT_EQ(pixelAt(Vector3(-0.95f, 0.95f, 0)), corner) << "and nothing far from it";
    _train->setHidden(false);
    EXPECT_EQ(pixelAt(at), withTrain);
}

}  // namespace
