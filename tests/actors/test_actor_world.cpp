// The sample handcar in a headless world on the sample content: made through the actor classes,
// driven by its conductors frame by frame, moved, sent through a pool and back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "TestSupport.h"
#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/sound/sfx.h"
#include <btBulletDynamicsCommon.h>

#include "engine_game/KeyFramePlayer.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanActor.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "support_actors.h"
#include "writer/ContentWriter.h"

namespace {

using Zelvan::Actor;

const char* const kHandcar = "objects/actors/handcar.object";

void expectNear(const Vector3& want, const Vector3& have, float tolerance = 1e-4f) {
    EXPECT_NEAR(want.x, have.x, tolerance);
    EXPECT_NEAR(want.y, have.y, tolerance);
    EXPECT_NEAR(want.z, have.z, tolerance);
}

// The particle system's owner: released emitters go to every actor of the scene, as the stage
// forwards them.
class ForwardToActors : public IPSEventHandler {
public:
    void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override {
        ++released;
        for (Object* node : scene->_nodes)
            if (Zelvan::isActorTypeId(node->_typeId))
                static_cast<Actor*>(node)->forgetParticleInstance(emitter, system);
    }
    Scene* scene = nullptr;
    int released = 0;
};

class HandcarWorld : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("ALSOFT_DRIVERS", "null", 0);
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        _oldGame = IGame::instance();
        IGame::setInstance(&_screen);
        frameTime().dt = 1.0f / 60.0f;

        ConfigStore& config = ConfigStore::instance();
        config.resetForTests();
        config.loadMainFile("configs/config.txt");

        SfxInitParams p;
        p.maxVoices = 16;
        ASSERT_EQ(sfx_Init(p), 1);
        SoundInterface::get().loadData("configs/sound.txt");
        motherRandom().seed(1234);

        _world = new World(1);
        Zelvan::registerActorClasses(_world);
        _scene = _world->loadScene("scenes/actors.txt", 1, 0);
        ASSERT_NE(_scene, nullptr);
        _particles = _world->createParticleSystem("particles");
        ASSERT_NE(_particles, nullptr);
        _forward.scene = _scene;
        _particles->_eventHandler = &_forward;
        _handcar = dynamic_cast<Actor*>(_scene->findObject("Handcar"));
        ASSERT_NE(_handcar, nullptr);
        _handcar->setParticleSystem(_particles);
    }

    void TearDown() override {
        // Actors let go of the system before it goes; then the world with its actors.
        for (Object* node : _scene ? _scene->_nodes : std::vector<Object*>())
            if (Zelvan::isActorTypeId(node->_typeId))
                static_cast<Actor*>(node)->setParticleSystem(nullptr);
        if (_world) {
            _world->destroyParticleSystem(_particles);
            delete _world;
        }
        sfx_Shutdown();
        actortest::releaseResources();
        ConfigStore::instance().resetForTests();
        IGame::setInstance(_oldGame);
    }

    void frame() {
        _world->update();
        _particles->update(frameTime().dt, _world->getCamera());
    }

    Object* part(const char* name) { return findObjectByName(_handcar, name); }

    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    IGame* _oldGame = nullptr;
    World* _world = nullptr;
    Scene* _scene = nullptr;
    PSParticleSystem* _particles = nullptr;
    ForwardToActors _forward;
    Actor* _handcar = nullptr;
};

TEST_F(HandcarWorld, ComponentsComeFromTheObjectFileAndTheConfiguration) {
    EXPECT_EQ(_handcar->_typeId, Zelvan::TypeActor);
    EXPECT_EQ(_scene->findObject("Ground")->_typeId, 100);  // an Actor too, still ground
    EXPECT_EQ(_handcar->getSourceName(), kHandcar);
    ASSERT_NE(_handcar->description(), nullptr);
    EXPECT_EQ(_handcar->description()->_name, "handcar");

    NodeContainer& nodes = *_handcar->_nodes;
    ASSERT_EQ(nodes._nodes.size(), 2u);  // "lamp" from the file, "bell" from the configuration
    EXPECT_EQ(nodes._nodes[0].name, "lamp");
    EXPECT_EQ(nodes._nodes[0].node->_active, 0);
    EXPECT_EQ(nodes._nodes[1].name, "bell");
    EXPECT_EQ(nodes._nodes[1].node->_active, 1);
    ASSERT_EQ(nodes._wheels.size(), 2u);
    EXPECT_EQ(nodes._wheels[0].node, part("wheel_front"));
    EXPECT_EQ(nodes._wheels[1].size, 0.6f);
    ASSERT_EQ(nodes._shadows.size(), 1u);
    EXPECT_EQ(nodes._shadows[0].caster, part("caster"));
    EXPECT_TRUE(nodes._shadows[0].oriented);
    EXPECT_FLOAT_EQ(nodes._shadowOffset, 0.02f);

    EXPECT_NE(_handcar->_animator->findAnimation("drive"), nullptr);
    ASSERT_NE(_handcar->_animator->findGroup("show"), nullptr);
    EXPECT_EQ(_handcar->_animator->findGroup("show")->entries.size(), 2u);
    Zelvan::EffectContainer::Effect* puff = _handcar->_effects->find("puff");
    ASSERT_NE(puff, nullptr);
    EXPECT_EQ(puff->_node, part("chimney"));
    EXPECT_EQ(_handcar->_effects->find("sparks")->_node, part("wheel_front"));
    EXPECT_EQ(_handcar->_sounds->_entries.size(), 3u);  // honk (file), engine, click
    EXPECT_EQ(_handcar->_conductors->getIndexNum("brake"), 2u);
    EXPECT_EQ(_handcar->_conductors->find("show")->animNames, std::vector<std::string>{"show"});

    // The body node got its body when the scene was loaded; nothing else did.
    ASSERT_NE(part("coll")->_physicsBody, nullptr);
    EXPECT_EQ(part("wheel_front")->_physicsBody, nullptr);
}

TEST_F(HandcarWorld, RunSwitchesNodesAnimatesAndCarriesItsEffectAndSound) {
    ASSERT_TRUE(_handcar->_conductors->start("run", 0, -1));
    frame();

    EXPECT_EQ(part("lamp")->_active, 1);
    EXPECT_EQ(part("lamp")->_hidden, 0);

    // The body's key frames play the "drive" range at a speed drawn from 1..1.5.
    KeyFramePlayer* player = _handcar->_children.front()->_animation;
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->_firstFrame, 24);
    EXPECT_EQ(player->_lastFrame, 47);
    EXPECT_EQ(player->_loop, 1);
    EXPECT_GE(player->_speed, 1.0f);
    EXPECT_LE(player->_speed, 1.5f);
    EXPECT_TRUE(_handcar->_animator->isPlaying());

    Zelvan::EffectContainer::Effect* sparks = _handcar->_effects->find("sparks");
    ASSERT_NE(sparks->_psEmitterInstance, nullptr);
    expectNear(part("wheel_front")->getWorldPosition(), sparks->_psEmitterInstance->_position);

    SoundEntry* engine = _handcar->_sounds->_entries[1];
    ASSERT_EQ(engine->name, "engine");
    ASSERT_NE(engine->handle, nullptr);
    ASSERT_TRUE(engine->handle->isPlaying());

    // The handcar turns a quarter and moves on; its wheels roll 1.5 units.
    const Matrix4 move = Matrix4::rotationZ(kPi / 2) * Matrix4::translation(Vector3(3, 4, 0));
    _handcar->applyTransform(move);
    _handcar->_nodes->_distance += 1.5f;
    frame();

    // (The body's key frames rock the parts a little.)
    expectNear(Vector3(3 - 0.6f, 4 + 0.6f, 0.3f), part("wheel_front")->getWorldPosition(), 0.1f);
    expectNear(part("wheel_front")->getWorldPosition(), sparks->_psEmitterInstance->_position);
    expectNear(part("chimney")->getWorldPosition(), Vector3(engine->handle->_voice->position[0],
                                                            engine->handle->_voice->position[1],
                                                            engine->handle->_voice->position[2]));
    // The body follows the node with the handcar (bodies are synced while it is placed).
    const Vector3 bodyAt = part("coll")->_physicsBody->getRigidBody()->getWorldTransform().getOrigin().x() *
                               Vector3(1, 0, 0) +
                           part("coll")->_physicsBody->getRigidBody()->getWorldTransform().getOrigin().y() *
                               Vector3(0, 1, 0);
    expectNear(Vector3(3, 4, 0), bodyAt, 0.05f);

    // -distance / (0.5 x diameter x scale): the front wheel's size comes from its box (0.6 along Y).
    for (const char* name : {"wheel_front", "wheel_back"}) {
        SCOPED_TRACE(name);
        Vector3 rows[3];
        part(name)->getRotation(rows);
        const float angle = -1.5f / 0.3f;
        expectNear(Vector3(1, 0, 0), rows[0]);
        expectNear(Vector3(0, std::cos(angle), std::sin(angle)), rows[1]);
    }
    EXPECT_EQ(_handcar->_nodes->_distance, 0.0f);

    // Restarted while it still plays: the looping animation keeps the engine's voice.
    SoundHandle* handle = engine->handle;
    _handcar->_conductors->start("run", 0, -1);
    frame();
    EXPECT_EQ(engine->handle, handle);
    EXPECT_TRUE(handle->isPlaying());
}

TEST_F(HandcarWorld, ShadowLiesOnTheGroundBelowItsCaster) {
    _handcar->applyTransform(Matrix4::translation(Vector3(2, -1, 3)));
    _handcar->refreshNodes();
    Object* shadow = part("shadow");
    const Vector3 caster = part("caster")->getWorldPosition();
    expectNear(Vector3(caster.x, caster.y, 0.02f), shadow->getWorldPosition(), 1e-3f);
    expectNear(Vector3(0, 0, 1), shadow->_transform->_world.row3(2).normalized(), 1e-3f);

    // Placed every frame only while shadows are on; otherwise carried along with the caster.
    _handcar->applyTransform(Matrix4::translation(Vector3(1, 0, 1)));
    frame();
    EXPECT_NEAR(shadow->getWorldPosition().x, caster.x + 1, 1e-3f);
    EXPECT_NEAR(shadow->getWorldPosition().z, 1.02f, 0.06f);
    _handcar->_nodes->_shadowsEnabled = true;
    frame();
    EXPECT_NEAR(shadow->getWorldPosition().z, 0.02f, 1e-3f);
}

TEST_F(HandcarWorld, BrakeVariantsAndRepeatDelay) {
    Conductor* brake = _handcar->_conductors->find("brake");
    ASSERT_NE(brake, nullptr);
    EXPECT_EQ(brake->repeatDelay, 1.0f);
    _handcar->_conductors->start("brake", 5, 2.0f);  // index 5 of 2 variants: the second, "click"
    frame();
    KeyFramePlayer* player = _handcar->_children.front()->_animation;
    EXPECT_EQ(player->_firstFrame, 0);
    EXPECT_NEAR(player->_speed, 23.0f / 24.0f / 2.0f, 1e-6f);
    EXPECT_EQ(_handcar->_sounds->_entries[0]->handle, nullptr);  // "honk" not played
    EXPECT_NE(_handcar->_effects->find("puff")->_psEmitterInstance, nullptr);

    _handcar->_conductors->start("brake", 0, -1);  // inside the repeat delay: dropped
    frame();
    EXPECT_EQ(_handcar->_sounds->_entries[0]->handle, nullptr);
    for (int i = 0; i < 60; ++i)
        frame();
    _handcar->_conductors->start("brake", 0, -1);
    frame();
    ASSERT_NE(_handcar->_sounds->_entries[0]->handle, nullptr);  // "honk" now
}

TEST_F(HandcarWorld, PoolRoundTripResetsEveryComponent) {
    ObjectPool* pool = _scene->getObjectPool(kHandcar);
    ASSERT_NE(pool, nullptr);
    Actor* actor = dynamic_cast<Actor*>(pool->acquire(1));
    ASSERT_NE(actor, nullptr);
    actor->setParticleSystem(_particles);
    NodeContainer* nodes = actor->_nodes;

    actor->_conductors->start("run", 0, -1);
    actor->_conductors->start("brake", 0, -1);
    frame();
    actor->_conductors->start("brake", 1, -1);  // queued, in its delay
    Zelvan::EffectContainer::Effect* sparks = actor->_effects->find("sparks");
    ASSERT_NE(sparks->_psEmitterInstance, nullptr);
    SoundHandle* engine = actor->_sounds->_entries[1]->handle;
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(engine->isPlaying());

    pool->release(actor);
    pool->flush();
    EXPECT_TRUE(actor->_conductors->_queue.empty());
    EXPECT_EQ(actor->_conductors->find("brake")->countdown, 0.0f);
    for (Zelvan::EffectContainer::Effect* e : actor->_effects->_effects) {
        EXPECT_EQ(e->_psEmitterInstance, nullptr);
        EXPECT_TRUE(e->_instances.empty());
    }
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_FALSE(actor->_animator->isPlaying());

    // The stopped emitters die out in the system while the actor waits in the pool.
    for (int i = 0; i < 120; ++i)
        frame();
    EXPECT_GT(_forward.released, 0);

    EXPECT_EQ(pool->acquire(1), actor);
    EXPECT_EQ(actor->_nodes, nodes);  // made once
    actor->_conductors->start("run", 0, -1);
    frame();
    ASSERT_NE(sparks->_psEmitterInstance, nullptr);
    EXPECT_EQ(sparks->_instances.size(), 1u);
    EXPECT_TRUE(engine->isPlaying());

    actor->releaseComponents();
    EXPECT_EQ(actor->_effects, nullptr);
    EXPECT_FALSE(actor->_created);
    actor->init();
    EXPECT_NE(actor->_conductors, nullptr);
}

TEST_F(HandcarWorld, PausedClockUpdatesWithZeroTime) {
    _handcar->_conductors->start("brake", 0, -1);
    frame();
    Conductor* brake = _handcar->_conductors->find("brake");
    const float left = brake->countdown;
    Clock::setPaused(true);
    _handcar->update();
    Clock::setPaused(false);
    EXPECT_EQ(brake->countdown, left);
}

TEST(ActorContent, CommittedFilesMatchTheWriters) {
    for (const contentwriter::ContentFile& f : contentwriter::demoContent()) {
        if (f.path.rfind("objects/actors/", 0) != 0)
            continue;
        std::string have = testsupport::readFile(testsupport::contentDir() + "/data/" + f.path);
        EXPECT_EQ(have, std::string(f.bytes.begin(), f.bytes.end()))
            << f.path << " is out of date: run zelvan_content write content/data";
    }
}

}  // namespace
