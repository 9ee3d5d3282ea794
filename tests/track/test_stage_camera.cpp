// The stage camera following the sample train: the camera stacks, snap and damping, shake, the
// guards against views that leave no frame, the field-of-view limits and the sound listener.

#include <gtest/gtest.h>

#include <AL/al.h>

#include <cmath>

#include "engine/clock.h"
#include "engine/sound/sfx.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"
#include "game/stage/ZelvanStageCamera.h"
#include "game/track/ZelvanLevelCamera.h"
#include "support_player.h"

using namespace Zelvan;
using namespace playertest;

namespace {

bool finite(const Matrix4& m) {
    for (float v : m.m)
        if (!std::isfinite(v))
            return false;
    return true;
}

class StageCameraTest : public PlayerTrainTest {
protected:
    void SetUp() override {
        PlayerTrainTest::SetUp();
        _camera.reset(new StageCamera(world()));
        _camera->attach();
        _camera->setTrack(_road.get());
        _stacks.bind(_camera.get(), _train);
        // No sway, no wobble: the placed camera is exactly the stored view.
        _camera->_wingAmplitude = Vector3();
        _camera->_railAmpl = 0;
        place(_train);
        frame(_train);
    }
    void TearDown() override {
        _stacks.clear();
        _camera.reset();
        PlayerTrainTest::TearDown();
    }
    LevelCamera* levelCamera(const std::string& name, const Vector3& offset, int mode = 0) {
        LevelCamera* c = new LevelCamera(name);
        c->_name = name;
        c->_mode = mode;
        c->_offset = offset;
        c->_target = Vector3();
        c->_roll = 0;
        c->_fov = 90;
        c->_speedFov = 0;
        _stacks.addCamera(c);
        return c;
    }
    void cameraFrame(float dt = kDt) {
        const Vector3 before = _train->getWorldPosition() - _train->_currentOffset;
        frame(_train, dt);
        const Vector3 movement = _train->getWorldPosition() - _train->_currentOffset - before;
        _camera->update(dt, _road->level(0), _train, movement, _train->_frameDistance);
    }
    Vector3 cameraPosition() const { return _camera->getCamera()->_transform->_world.getTranslation(); }

    std::unique_ptr<StageCamera> _camera;
    CameraStacks _stacks;
};

TEST_F(StageCameraTest, StacksApplyTheTopOfTheHighestPriority) {
    LevelCamera* level = levelCamera("level", Vector3(0, -6, 3));
    LevelCamera* duck = levelCamera("duck", Vector3(0, -4, 1));
    LevelCamera* fly = levelCamera("fly", Vector3(0, -8, 5));
    LevelCamera* death = levelCamera("death", Vector3(0, 6, 2));
    EXPECT_EQ(_stacks.pushCamera(5, level), 0);
    EXPECT_EQ(_stacks.pushCamera(-1, level), 0);
    EXPECT_EQ(_stacks.pushCamera(0, nullptr), 0);
    const int32_t hLevel = _stacks.pushCamera(0, level);
    EXPECT_EQ(hLevel, 1);
    EXPECT_EQ(_camera->_cameraOffset, level->_offset);
    const int32_t hDeath = _stacks.pushCamera(3, death);
    EXPECT_EQ(_camera->_cameraOffset, death->_offset);

    // Under the death camera a duck stretch changes nothing visible.
    const int32_t hDuck = _stacks.pushCamera(1, duck);
    EXPECT_EQ(_camera->_cameraOffset, death->_offset);
    EXPECT_EQ(_stacks.top(), death);
    // Equal priority: the later push is on top, the earlier keeps its place below it.
    const int32_t hFly = _stacks.pushCamera(1, fly);
    EXPECT_EQ(_camera->_cameraOffset, death->_offset);
    ASSERT_EQ(_stacks._stacks[1].size(), 2u);
    EXPECT_EQ(_stacks._stacks[1][0].handle, hDuck);
    EXPECT_EQ(_stacks._stacks[1][1].handle, hFly);

    EXPECT_TRUE(_stacks.popCamera(hDeath));
    EXPECT_EQ(_camera->_cameraOffset, fly->_offset) << "the newest of the priority-1 entries";
    // Popping an entry below the top applies nothing.
    EXPECT_TRUE(_stacks.popCamera(hDuck));
    EXPECT_EQ(_camera->_cameraOffset, fly->_offset);
    EXPECT_FALSE(_stacks.popCamera(hDuck)) << "already gone";
    EXPECT_FALSE(_stacks.popCamera(0));
    EXPECT_FALSE(_stacks.popCamera(99));
    EXPECT_TRUE(_stacks.popCamera(hFly));
    EXPECT_EQ(_camera->_cameraOffset, level->_offset);
    EXPECT_EQ(_stacks.pushCamera(1, duck), hFly + 1) << "handles are never reused";
}

TEST_F(StageCameraTest, FollowsTheTrainWithTheCameraInForce) {
    LevelCamera* level = levelCamera("level", Vector3(0, -6, 3));
    LevelCamera* death = levelCamera("death", Vector3(0, 6, 2));
    level->_offsetDamp = level->_targetDamp = 1000;  // reached every frame
    death->_offsetDamp = death->_targetDamp = 1000;
    _stacks.pushCamera(0, level);
    _camera->reset();
    for (int i = 0; i < 120; ++i) {
        cameraFrame();
        const Vector3 want = _train->getWorldPosition() + Vector3(0, -6, 3);
        ASSERT_LT((cameraPosition() - want).length(), 1e-3f) << "frame " << i;
    }
    const int32_t h = _stacks.pushCamera(3, death);
    cameraFrame();
    tracktest::expectVec(cameraPosition(), _train->getWorldPosition() + Vector3(0, 6, 2), 1e-3f);
    // Looking back at the train: the camera's backward axis points away from it.
    const Vector3 back = _camera->getCamera()->_transform->_world.row3(2).normalized();
    EXPECT_GT(back.y, 0.9f);
    _stacks.popCamera(h);
    cameraFrame();
    tracktest::expectVec(cameraPosition(), _train->getWorldPosition() + Vector3(0, -6, 3), 1e-3f);
}

TEST_F(StageCameraTest, SnapTakesTheWantedViewAndDampingBlendsTowardsIt) {
    LevelCamera* near = levelCamera("near", Vector3(0, -4, 2));
    LevelCamera* far = levelCamera("far", Vector3(0, -8, 2));
    near->_offsetDamp = far->_offsetDamp = 3;
    _stacks.pushCamera(0, near);
    _camera->reset();
    _camera->update(0, _road->level(0), _train, Vector3(), 0);
    tracktest::expectVec(_camera->_eye, Vector3(0, -4, 2), 1e-4f);
    EXPECT_FALSE(_camera->_snap);

    _stacks.pushCamera(0, far);
    _camera->update(0, _road->level(0), _train, Vector3(), 0);
    tracktest::expectVec(_camera->_eye, Vector3(0, -4, 2), 1e-4f);  // dt 0 without snap: nothing moves
    _camera->update(0.1f, _road->level(0), _train, Vector3(), 0);  // a = 0.3
    tracktest::expectVec(_camera->_eye, Vector3(0, -4 - 4 * 0.3f, 2), 1e-4f);
    _camera->update(0.5f, _road->level(0), _train, Vector3(), 0);  // a = min(1, 1.5)
    tracktest::expectVec(_camera->_eye, Vector3(0, -8, 2), 1e-4f);
    _camera->reset();
    _stacks.pushCamera(0, near);
    _camera->update(0.01f, _road->level(0), _train, Vector3(), 0);
    tracktest::expectVec(_camera->_eye, Vector3(0, -4, 2), 1e-4f);  // a reset snaps
}

TEST_F(StageCameraTest, ShakeDecaysAndNeedsSpeed) {
    StageCamera still(world());
    still.setTrack(_road.get());
    still._wingAmplitude = Vector3();
    still._railAmpl = 0;
    Matrix4 calm, shaken;
    auto run = [&](float speed, bool doShake) {
        for (StageCamera* c : {_camera.get(), &still})
            c->reset();
        _train->_goods._speed = speed;
        if (doShake)
            _camera->shake(1.0f);
        for (StageCamera* c : {_camera.get(), &still})
            c->update(0.1f, _road->level(0), _train, Vector3(), 0);
        calm = still.getCamera()->_transform->_world;
        shaken = _camera->getCamera()->_transform->_world;
    };
    run(0, true);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(shaken.m[i], calm.m[i], 1e-5f) << "a standing train does not shake";
    run(_train->_speedMax, true);
    float differs = 0;
    for (int r = 0; r < 3; ++r)
        differs = std::max(differs, (shaken.row3(r) - calm.row3(r)).length());
    EXPECT_GT(differs, 1e-3f);
    EXPECT_NEAR(_camera->_shakeTimeLeft, 0.4f, 1e-5f);
    for (int i = 0; i < 4; ++i)
        _camera->update(0.1f, _road->level(0), _train, Vector3(), 0);
    EXPECT_LE(_camera->_shakeTimeLeft, 1e-6f) << "shake (1.0) lasts shakeTime, 0.5 s";
}

TEST_F(StageCameraTest, ViewsWithoutAFrameKeepTheLastRotation) {
    // Nothing pushed: the level cameras' own defaults, behind and above the train.
    _camera->reset();
    cameraFrame();
    ASSERT_TRUE(finite(_camera->getCamera()->_transform->_world));
    tracktest::expectVec(cameraPosition(), _train->getWorldPosition() + Vector3(0, -5, 3), 1e-3f);
    Vector3 good[3];
    _camera->getCamera()->getRotation(good);

    // Straight above the train the view runs along the up axis; on the train it has no direction.
    for (const Vector3& offset : {Vector3(0, 0, 5), Vector3(0, 0, 0)}) {
        SCOPED_TRACE(offset.z);
        LevelCamera* c = levelCamera("bad", offset);
        const int32_t h = _stacks.pushCamera(4, c);
        _camera->reset();
        cameraFrame();
        const Matrix4& w = _camera->getCamera()->_transform->_world;
        EXPECT_TRUE(finite(w));
        EXPECT_TRUE(finite(_camera->getCamera()->_view));
        Vector3 rows[3];
        _camera->getCamera()->getRotation(rows);
        for (int i = 0; i < 3; ++i)
            tracktest::expectVec(rows[i], good[i], 1e-5f);
        _stacks.popCamera(h);
    }
    // A level without an up axis falls back to world up.
    _camera->_up = Vector3();
    _camera->reset();
    cameraFrame();
    EXPECT_TRUE(finite(_camera->getCamera()->_transform->_world));
    tracktest::expectVec(_camera->_up, Vector3(0, 0, 1), 1e-6f);
}

TEST_F(StageCameraTest, FieldOfViewStaysWithinOneTo170Degrees) {
    struct Case {
        float fov, speedFov, speed;
        bool fovSY;
        float want;
    } cases[] = {
        {90, 0, 8, true, 90},
        {90, 0, 8, false, 120},  // screen 800 x 600
        {90, 400, 60, true, 170},
        {90, 400, 60, false, 170},
        {90, -400, 60, true, 1},
        {200, 0, 8, true, 170},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.want);
        LevelCamera* c = levelCamera("fov", Vector3(0, -5, 3));
        c->_fov = k.fov;
        c->_speedFov = k.speedFov;
        const int32_t h = _stacks.pushCamera(0, c);
        _camera->_fovSY = k.fovSY;
        _train->_goods._speed = k.speed;
        _camera->reset();
        _camera->update(0, _road->level(0), _train, Vector3(), 0);
        EXPECT_NEAR(radToDeg(_camera->getCamera()->_fov), k.want, 1e-3f);
        EXPECT_TRUE(finite(_camera->getCamera()->_projection));
        _stacks.popCamera(h);
    }
}

TEST_F(StageCameraTest, SpeedBoostsWidenTheViewUpToTheLimit) {
    LevelCamera* c = levelCamera("speedy", Vector3(0, -5, 3));
    c->_speedFov = 60;
    _stacks.pushCamera(0, c);
    _camera->reset();
    for (const char* name : {"turbo", "turbo", "turbo"}) {
        BoostSpeed* b = dynamic_cast<BoostSpeed*>(_boosts.acquire(name));
        ASSERT_NE(b, nullptr);
        b->_speedUp = 200;  // far beyond the maximum
        b->_onlyOne = false;
        _train->addBoost(b);
    }
    float widest = 0;
    for (int i = 0; i < 120; ++i) {
        cameraFrame();
        widest = std::max(widest, radToDeg(_camera->getCamera()->_fov));
        ASSERT_TRUE(finite(_camera->getCamera()->_projection));
    }
    EXPECT_GT(_train->totalSpeed(), 100.0f);
    EXPECT_FLOAT_EQ(widest, 170.0f);
}

class StageCameraListenerTest : public StageCameraTest {
protected:
    void SetUp() override {
        StageCameraTest::SetUp();
        ASSERT_EQ(sfx_Init(SfxInitParams()), 1) << "ALSOFT_DRIVERS=null gives a device";
    }
    void TearDown() override {
        sfx_Shutdown();
        StageCameraTest::TearDown();
    }
};

TEST_F(StageCameraListenerTest, ListenerLooksWhereTheCameraLooks) {
    LevelCamera* side = levelCamera("side", Vector3(-4, -3, 2));
    side->_roll = 25;
    _stacks.pushCamera(0, side);
    _camera->reset();
    cameraFrame();
    frameTime().msSinceStart += sfx_Params().voiceIntervalMs + 1;
    sfx_Update();

    ALfloat position[3] = {0, 0, 0}, o[6] = {0, 0, 0, 0, 0, 0};
    alGetListenerfv(AL_POSITION, position);
    alGetListenerfv(AL_ORIENTATION, o);
    const Vector3 listener(position[0], position[1], position[2]);
    const Vector3 at(o[0], o[1], o[2]), up(o[3], o[4], o[5]);
    tracktest::expectVec(listener, cameraPosition(), 1e-4f);
    Vector3 rows[3];
    _camera->getCamera()->getRotation(rows);
    tracktest::expectVec(at, -rows[2], 1e-5f);
    tracktest::expectVec(up, rows[1], 1e-5f);

    // OpenAL's right-hand side of the listener is at x up.
    const Vector3 right = at.cross(up);
    const Vector3 toRight = rows[0] * 5.0f;             // a source to the right of the view
    const Vector3 ahead = _train->getWorldPosition() - listener;  // the train, in front
    EXPECT_GT(toRight.dot(right), 4.9f);
    EXPECT_GT(ahead.normalized().dot(at), 0.5f);
    EXPECT_NEAR(ahead.dot(right), 0.0f, 2.0f);
}

}  // namespace
