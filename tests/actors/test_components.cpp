// The actor's components on small fixtures: conductors, the animator's ranges and groups, wheels
// and configuration entries of the node container, shared emitters of the effect container and
// configuration of the sound list.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine/random.h"
#include "engine/render/PSParticleSystem.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "support_actors.h"

namespace {

using actortest::ActorWorldTest;

void expectNear(const Vector3& want, const Vector3& have, float tolerance = 1e-4f) {
    EXPECT_NEAR(want.x, have.x, tolerance);
    EXPECT_NEAR(want.y, have.y, tolerance);
    EXPECT_NEAR(want.z, have.z, tolerance);
}

// ---- Conductors over a node container and an animator of a small tree ----

class Conductors : public ActorWorldTest {
protected:
    void build(const std::string& config) {
        loadConfig(config);
        keys.resize(49);
        root._name = "root";
        for (const char* n : {"a", "b", "c"}) {
            Object* node = new Object(&root);
            node->_name = n;
        }
        new KeyFramePlayer(&root, &keys);
        for (const char* n : {"a", "b", "c"}) {
            NodeEntry e;
            e.name = n;
            e.node = findObjectByName(&root, n);
            nodes._nodes.push_back(e);
        }
        animator.setActor(&root);
        animator.load("thing");
        conductors.reset(new ConductorContainer(&nodes, &animator, nullptr, &sounds));
        conductors->load("thing");
    }
    bool active(const char* n) { return findObjectByName(&root, n)->_active != 0; }

    Object root{nullptr};
    std::vector<KeyFrame> keys;
    NodeContainer nodes;
    ActorAnimator animator;
    ActorSoundList sounds;
    std::unique_ptr<ConductorContainer> conductors;
};

const char* const kConductorConfig = R"(
[thing]
anims = { thingWalk }
conductors = { thingShow thingHide thingOdd thingDelay thingEmpty thingNeg thingHuge }
[thingWalk]
name = walk
frameEnd = 48
[thingShow]
name = show
indexNum = 3.7
nodeNames = { a b }
animName = walk
[thingHide]
name = hide
nodeName = c
nodeVisible = false
[thingOdd]
name = odd
animName = nothing
[thingDelay]
name = delay
repeatDelay = 0.5
nodeName = a
[thingEmpty]
name = empty
indexNum = 0
[thingNeg]
name = neg
indexNum = -4
repeatDelay = -2
soundChance = 250
[thingHuge]
name = huge
indexNum = 1e30
)";

TEST_F(Conductors, IndexCountsVariantsAndUnknownNames) {
    build(kConductorConfig);
    EXPECT_EQ(conductors->getIndexNum("show"), 3u);   // 3.7 truncated
    EXPECT_EQ(conductors->getIndexNum("empty"), 1u);  // 0 gives 1
    EXPECT_EQ(conductors->getIndexNum("neg"), 1u);
    EXPECT_EQ(conductors->getIndexNum("huge"), 1048576u);  // kept in range before the cast
    EXPECT_EQ(conductors->getIndexNum("none"), 0u);
    EXPECT_EQ(conductors->find("neg")->repeatDelay, 0.0f);
    EXPECT_EQ(conductors->find("neg")->soundChance, 100.0f);
    EXPECT_FALSE(conductors->start("none", 0, -1));
    EXPECT_FALSE(conductors->start("", 0, -1));
    EXPECT_TRUE(conductors->_queue.empty());

    for (const char* n : {"a", "b", "c"})
        setObjectActive(findObjectByName(&root, n), false);
    // Index 5 of indexNum 3 is 2; of the two node names the second.
    conductors->start("show", 5, -1);
    conductors->flush();
    EXPECT_FALSE(active("a"));
    EXPECT_TRUE(active("b"));
    conductors->start("show", 0, 2.0f);  // 48 frames in 2 seconds
    conductors->flush();
    EXPECT_TRUE(active("a"));
    EXPECT_FLOAT_EQ(root._animation->_speed, 1.0f);
    EXPECT_TRUE(animator.isPlaying());

    // An animation name that is neither an animation nor a group stops the animations.
    conductors->start("odd", 0, -1);
    conductors->flush();
    EXPECT_FALSE(animator.isPlaying());

    // Stop undoes the visibility: hides what a start shows, shows what a start hides.
    conductors->stop("show");
    conductors->stop("hide");
    conductors->flush();
    EXPECT_FALSE(active("a"));
    EXPECT_FALSE(active("b"));
    EXPECT_TRUE(active("c"));
}

TEST_F(Conductors, RepeatDelayDropsStartsAndResetDropsTheQueue) {
    build(kConductorConfig);
    NodeEntry& a = nodes._nodes[0];
    setObjectActive(a.node, false);
    conductors->start("delay", 0, -1);
    conductors->update(0.1f);
    EXPECT_TRUE(active("a"));
    EXPECT_FLOAT_EQ(conductors->find("delay")->countdown, 0.5f);

    setObjectActive(a.node, false);
    conductors->start("delay", 0, -1);
    conductors->update(0.3f);  // countdown 0.2 when the start runs: dropped, not deferred
    EXPECT_FALSE(active("a"));
    conductors->update(0.3f);
    EXPECT_FALSE(active("a"));
    conductors->start("delay", 0, -1);
    conductors->update(0.0f);
    EXPECT_TRUE(active("a"));

    // reset: the queued start never runs and the delay is re-armed.
    setObjectActive(a.node, false);
    conductors->start("delay", 0, -1);
    conductors->reset();
    EXPECT_TRUE(conductors->_queue.empty());
    EXPECT_EQ(conductors->find("delay")->countdown, 0.0f);
    conductors->flush();
    EXPECT_FALSE(active("a"));
    conductors->start("delay", 0, -1);
    conductors->flush();
    EXPECT_TRUE(active("a"));
}

TEST_F(Conductors, StopAllQueuesEveryConductorStartAllOneCommand) {
    build(kConductorConfig);
    conductors->stopAll();
    ASSERT_EQ(conductors->_queue.size(), conductors->_conductors.size());
    for (size_t i = 0; i < conductors->_queue.size(); ++i) {
        EXPECT_EQ(conductors->_queue[i].kind, ConductorCommand::Stop);
        EXPECT_EQ(conductors->_queue[i].conductor, conductors->_conductors[i]);
    }
    conductors->flush();
    EXPECT_TRUE(conductors->_queue.empty());
    conductors->startAll();
    ASSERT_EQ(conductors->_queue.size(), 1u);
    EXPECT_EQ(conductors->_queue[0].kind, ConductorCommand::Start);
    EXPECT_EQ(conductors->_queue[0].conductor, nullptr);
    conductors->flush();  // no effects bound: the sounds' autoplay only
}

// The sound chance against the seeded generator: one draw per start that has sounds.
TEST_F(Conductors, SoundChanceDrawsFromTheSharedGenerator) {
    loadConfig(R"(
[noisy]
sounds = { noisyClick }
conductors = { noisyHalf noisyNever noisyAlways noisySilent }
[noisyClick]
name = click
sound = nosuchsound
controlled = true
[noisyHalf]
name = half
soundName = click
soundChance = 50
[noisyNever]
name = never
soundName = click
soundChance = 0
[noisyAlways]
name = always
soundName = click
[noisySilent]
name = silent
nodeName = x
)");
    Object root(nullptr);
    sounds.load("noisy", &root);
    ConductorContainer c(nullptr, nullptr, nullptr, &sounds);
    c.load("noisy");
    SoundEntry* click = sounds._entries[0];
    ASSERT_TRUE(click->controlled);

    for (const char* name : {"half", "never", "always", "silent"}) {
        SCOPED_TRACE(name);
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            motherRandom().seed(seed);
            MotherRandom copy(seed);
            click->handle = nullptr;  // an unknown sound gives the front-end's dummy handle
            c.start(name, 0, -1);
            c.flush();
            const std::string n = name;
            if (n == "silent") {
                EXPECT_EQ(motherRandom().next(), copy.next());  // no draw without sounds
                continue;
            }
            const float r = (float)copy.nextDouble();
            const float chance = n == "half" ? 50.0f : (n == "never" ? 0.0f : 100.0f);
            EXPECT_EQ(click->handle != nullptr, !(chance < r * 100.0f)) << seed;
            EXPECT_EQ(motherRandom().next(), copy.next());
        }
    }
    click->handle = nullptr;
}

// ---- Animator ----

class Animator : public ActorWorldTest {
protected:
    void SetUp() override {
        keys.resize(97);
        new KeyFramePlayer(&root, &keys);
        animator.setActor(&root);
    }
    KeyFramePlayer& player() { return *root._animation; }
    // Ends the current range, as the world's advance does.
    void finish() { player()._playing = 0; }

    Object root{nullptr};
    std::vector<KeyFrame> keys;
    ActorAnimator animator;
};

TEST_F(Animator, RangesSpeedsAndDurations) {
    loadConfig(R"(
[a]
anims = { aHalf aLow aFull aBack aStill aHuge }
[aHalf]
name = half
frameBegin = 12.5
frameEnd = 48
[aLow]
name = low
frameBegin = 12.4
frameEnd = 96
[aFull]
name = full
frameEnd = 96
speed = 2,3
time = 0.5,0.5
loop = true
[aBack]
name = back
frameEnd = 96
speed = -1,-1
[aStill]
name = still
frameEnd = 48
speed = 0,0
[aHuge]
name = huge
frameBegin = -1e20
frameEnd = 1e20
)");
    animator.load("a");
    EXPECT_EQ(animator.findAnimation("half")->frameBegin, 13);
    EXPECT_EQ(animator.findAnimation("low")->frameBegin, 12);
    EXPECT_EQ(animator.findAnimation("huge")->frameBegin, -16777216);
    EXPECT_EQ(animator.findAnimation("huge")->frameEnd, 16777216);

    struct Case {
        const char* name;
        float duration;
        float speed;
    } cases[] = {{"full", 2, 2}, {"back", 2, -2}, {"still", 2, 0}, {"back", -1, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(animator.play(c.name, c.duration));
        EXPECT_FLOAT_EQ(player()._speed, c.speed);
    }
    animator.play("full", -1);
    EXPECT_GE(player()._speed, 2.0f);
    EXPECT_LE(player()._speed, 3.0f);
    EXPECT_FLOAT_EQ(player()._time, 48.0f);  // half way into 0..96
    EXPECT_EQ(player()._loop, 1);
    animator.play("huge", -1);
    EXPECT_EQ(player()._firstFrame, 0);
    EXPECT_EQ(player()._lastFrame, 96);
}

TEST_F(Animator, OrderedAndRandomGroups) {
    loadConfig(R"(
[g]
anims = { gOne gTwo gThree }
animGroups = { gLoop gOnce gZero gNegative gOdd gEmpty }
[gOne]
name = one
frameBegin = 0
frameEnd = 10
[gTwo]
name = two
frameBegin = 20
frameEnd = 30
[gThree]
name = three
frameBegin = 40
frameEnd = 50
[gLoop]
name = loop
type = ordered
loop = true
animNames = { 1 one 1 two 1 three }
[gOnce]
name = once
type = ordered
animNames = { 1 one 1 two 1 three }
[gZero]
name = zero
animNames = { 0 two 0 three }
[gNegative]
name = negative
loop = true
animNames = { -5 two 3 three }
[gOdd]
name = odd
animNames = { 0.5 two 0.5 }
[gEmpty]
name = empty
animNames = { 1 nowhere }
)");
    animator.load("g");
    EXPECT_EQ(animator.findGroup("odd")->entries.size(), 1u);
    EXPECT_TRUE(animator.findGroup("empty")->entries.empty());

    std::vector<int> seen;
    ASSERT_TRUE(animator.play("loop", -1));
    seen.push_back(player()._firstFrame);
    for (int i = 0; i < 5; ++i) {
        animator.update();  // still playing: nothing happens
        finish();
        animator.update();
        seen.push_back(player()._firstFrame);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 20, 40, 0, 20, 40}));

    animator.play("once", -1);
    finish();
    animator.update();
    finish();
    animator.update();
    EXPECT_EQ(player()._firstFrame, 40);
    EXPECT_EQ(animator._current, nullptr);  // the third plays to its end, then nothing

    // All weights 0: the first entry. A negative weight can leave the walk without a choice:
    // the last entry with a positive weight plays.
    for (uint32_t seed = 1; seed < 30; ++seed) {
        motherRandom().seed(seed);
        animator.play("zero", -1);
        EXPECT_EQ(player()._firstFrame, 20);
        animator.play("negative", -1);
        EXPECT_EQ(player()._firstFrame, 40);
        EXPECT_EQ(animator._current, animator.findGroup("negative"));  // looping random group
    }

    EXPECT_TRUE(animator.play("empty", -1));
    EXPECT_EQ(animator._current, nullptr);
    animator.play("loop", -1);
    EXPECT_FALSE(animator.play("nothing", -1));
    EXPECT_EQ(animator._current, nullptr);
}

// ---- Node container ----

class Nodes : public ActorWorldTest {};

TEST_F(Nodes, ConfigurationEntriesAndWheelAxes) {
    loadConfig(R"(
[cart]
nodes = { cartDoor cartUnnamed cartMissing cartRootTarget }
wheels = { cartW1 cartW2 cartW3 cartBad }
shadows = { cartShadow cartBadShadow }
[cartDoor]
node = door
nodeTarget = frame
name = door
visible = true
[cartUnnamed]
node = frame
[cartMissing]
node = nowhere
[cartRootTarget]
node = ROOT
nodeTarget = ROOT
[cartW1]
node = ROOT
axis = -7
[cartW2]
node = door
axis = 0.4
[cartW3]
node = frame
axis = 2.9
size = 0.5
[cartBad]
node = nowhere
[cartShadow]
nodeShadow = frame
nodeCaster = nowhere
type = surfaceworld
positions = { 0,0,0 1,2,-3 }
distanceMin = 0.25
oriented = true
[cartBadShadow]
nodeShadow = nowhere
)");
    Object root(nullptr);
    root._name = "cart";
    Object* door = new Object(&root);
    door->_name = "door";
    Object* frame = new Object(&root);
    frame->_name = "frame";
    NodeContainer nodes;
    testsupport::LogCapture log;
    nodes.load("cart", &root);

    ASSERT_EQ(nodes._nodes.size(), 3u);
    EXPECT_EQ(nodes._nodes[0].target, frame);
    EXPECT_EQ(door->_active, 1);
    EXPECT_EQ(nodes._nodes[1].name, "cart");  // no ".name": the prefix
    EXPECT_EQ(frame->_active, 0);
    EXPECT_EQ(nodes._nodes[2].name, "cart");
    EXPECT_EQ(nodes._nodes[2].node, &root);
    EXPECT_EQ(nodes._nodes[2].target, &root);

    ASSERT_EQ(nodes._wheels.size(), 3u);
    EXPECT_EQ(nodes._wheels[0].axis, -3);
    EXPECT_EQ(nodes._wheels[1].axis, 1);
    EXPECT_EQ(nodes._wheels[2].axis, 2);
    EXPECT_EQ(nodes._wheels[2].size, 0.5f);

    ASSERT_EQ(nodes._shadows.size(), 1u);
    const ShadowEntry& s = nodes._shadows[0];
    EXPECT_EQ(s.caster, &root);
    EXPECT_EQ(s.shadow, frame);
    EXPECT_EQ(s.mode, NodeContainer::ShadowSurfaceWorldDown);
    EXPECT_EQ(s.name, "cartShadow");
    ASSERT_EQ(s.probes.size(), 2u);
    expectNear(Vector3(1, 2, -3), s.probes[1].position);
    expectNear(Vector3(0, 0, 1), s.probes[1].normal);

    EXPECT_EQ(log.errors(), (std::vector<std::string>{"Unknown wheel node(nowhere) in object(cart)!",
                                                      "Not found nodeShadow(nowhere) in object(cart)!"}));

    // Two entries share the prefix name and are switched together; an empty name matches none.
    EXPECT_TRUE(nodes.setVisible("cart", true));
    EXPECT_EQ(frame->_active, 1);
    EXPECT_FALSE(nodes.setVisible("", false));
    EXPECT_EQ(frame->_active, 1);
    EXPECT_EQ(nodes.findShadow("cartShadow"), &nodes._shadows[0]);
    nodes.hideAll();
    EXPECT_EQ(door->_active, 0);
}

TEST_F(Nodes, WheelsTurnByDistanceAndSkipFlatOnes) {
    Object root(nullptr);
    Object* wheel = new Object(&root);
    NodeContainer nodes;
    WheelEntry w;
    w.node = wheel;
    w.axis = 1;
    w.size = 0;  // no box: diameter 1
    nodes._wheels.push_back(w);

    nodes._distance = 3.14159265f / 2;  // a quarter of the circumference backwards
    nodes.update();
    Vector3 rows[3];
    wheel->getRotation(rows);
    expectNear(Vector3(0, -1, 0), rows[1]);  // turned by -pi about X
    expectNear(Vector3(0, 0, -1), rows[2]);
    EXPECT_EQ(nodes._distance, 0.0f);

    // A turn the other way round (axis -1) undoes it.
    nodes._wheels[0].axis = -1;
    nodes._distance = 3.14159265f / 2;
    nodes.update();
    wheel->getRotation(rows);
    expectNear(Vector3(0, 1, 0), rows[1]);

    // A world scale of 0 along the diameter would divide by zero: the turn is skipped.
    wheel->setScale(Vector3(1, 0, 1));
    nodes._distance = 1;
    nodes.update();
    wheel->setScale(Vector3(1, 1, 1));
    wheel->getRotation(rows);
    expectNear(Vector3(0, 1, 0), rows[1]);
    for (int i = 0; i < 3; ++i)
        for (float v : {rows[i].x, rows[i].y, rows[i].z})
            EXPECT_TRUE(std::isfinite(v));
}

// ---- Effect container on a real particle system ----

class Effects : public ::testing::Test {
protected:
    void SetUp() override {
        _stores.reset(new testsupport::ScopedStores(testsupport::contentDir(), _documents.path()));
        _world = new World(0);
        _system = _world->createParticleSystem("particles");
        ASSERT_NE(_system, nullptr);
    }
    void TearDown() override {
        _effects.setParticleSystem(nullptr);
        _effects.clear();
        _world->destroyParticleSystem(_system);
        delete _world;
        actortest::releaseResources();
    }
    Zelvan::EffectContainer::Effect* add(const char* name, Object* node, const char* particle = "smoke") {
        auto* e = new Zelvan::EffectContainer::Effect();
        e->_name = name;
        e->_node = node;
        e->_particleName = particle;
        _effects._effects.push_back(e);
        return e;
    }

    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    World* _world = nullptr;
    PSParticleSystem* _system = nullptr;
    Zelvan::EffectContainer _effects;
};

TEST_F(Effects, SharedEmittersStayInPlaceWhenTheCarrierTurns) {
    Object carrier(nullptr), other(nullptr);
    carrier.setPosition(Vector3(5, 0, 0));
    const Vector3 turned[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
    other.setRotation(turned);
    other.setPosition(Vector3(1, 2, 3));
    auto* mine = add("mine", &carrier);
    auto* theirs = add("theirs", &other);
    _effects.setParticleSystem(_system);
    ASSERT_TRUE(_effects.play("theirs"));
    PSEmitter* emitter = theirs->_psEmitterInstance;
    ASSERT_NE(emitter, nullptr);

    mine->shareInstances(theirs, 1);
    EXPECT_EQ(theirs->_psEmitterInstance, nullptr);
    EXPECT_TRUE(theirs->_instances.empty());
    ASSERT_EQ(mine->_instances.size(), 1u);
    _effects.update(0);
    expectNear(Vector3(1, 2, 3), emitter->_position);
    expectNear(Vector3(-1, 0, 0), emitter->_rotation[1]);

    // The carrier turns a quarter about its own position: the emitter swings with it.
    const Vector3 quarter[3] = {Vector3(0, 1, 0), Vector3(-1, 0, 0), Vector3(0, 0, 1)};
    carrier.setRotation(quarter);
    _effects.update(0);
    // (1, 2, 3) is (-4, 2, 3) from the carrier; turned: (-2, -4, 3).
    expectNear(Vector3(3, -4, 3), emitter->_position);

    // Mode 0 puts the emitters on the node itself.
    auto* third = add("third", &other);
    third->shareInstances(mine, 0);
    _effects.update(0);
    expectNear(Vector3(1, 2, 3), emitter->_position);
}

TEST_F(Effects, PlayStopRestartAndReleasedEmitters) {
    Object node(nullptr);
    node.setPosition(Vector3(0, 0, 2));
    add("twin", &node);
    add("twin", &node, "sparks");
    EXPECT_FALSE(_effects.play("twin"));  // no system yet
    _effects.setParticleSystem(_system);
    _effects.enabled = false;
    EXPECT_FALSE(_effects.play("twin"));
    _effects.enabled = true;
    EXPECT_TRUE(_effects.play("twin"));
    EXPECT_EQ(_effects.find(""), nullptr);
    auto* first = _effects._effects[1];
    PSEmitter* old = first->_psEmitterInstance;
    ASSERT_NE(old, nullptr);

    _effects.setEmitterFlag(false);
    EXPECT_FALSE(old->_visible);
    EXPECT_TRUE(_effects.play("twin"));  // restarted: the old emitter stays listed
    EXPECT_FALSE(first->_psEmitterInstance->_visible);
    EXPECT_EQ(first->_instances.size(), 2u);
    EXPECT_NE(first->_psEmitterInstance, old);
    EXPECT_TRUE(_effects.forgetParticleInstance(old, _system));
    EXPECT_EQ(first->_instances.size(), 1u);
    EXPECT_FALSE(_effects.forgetParticleInstance(old, _system));
    EXPECT_FALSE(_effects.forgetParticleInstance(first->_psEmitterInstance, nullptr));

    EXPECT_TRUE(_effects.stop("twin"));
    for (auto* e : _effects._effects) {
        EXPECT_EQ(e->_psEmitterInstance, nullptr);
        EXPECT_TRUE(e->_instances.empty());
    }
}

TEST_F(Effects, ConfigurationAndDescriptionEffects) {
    ConfigStore::instance().resetForTests();
    testsupport::writeFile(_documents.path() + "/data/configs/fx.txt", R"(
[fx]
effects = { fxOne fxNoParticle fxLost }
[fxOne]
particleName = sparks
particleNode = ROOT
autoPlay = true
[fxNoParticle]
particleNode = ROOT
[fxLost]
particleName = sparks
particleNode = nowhere
)");
    ConfigStore::instance().loadFile("configs/fx.txt", "");
    Object root(nullptr);
    testsupport::LogCapture log;
    _effects.load("fx", &root);
    ConfigStore::instance().resetForTests();
    ASSERT_EQ(_effects._effects.size(), 1u);
    EXPECT_EQ(_effects._effects[0]->_name, "fxOne");
    EXPECT_TRUE(_effects._effects[0]->_autoPlay);
    EXPECT_EQ(log.errors(), std::vector<std::string>{"Not found particleNode(nowhere) object!"});

    ObjectNode description;
    description._name = "top";
    ObjectNode* child = new ObjectNode(&description);
    child->_name = "pipe";
    child->_properties["particle"] = "smoke";
    description._children.push_back(child);
    _effects.scanDescription(&root, &description);
    ASSERT_EQ(_effects._effects.size(), 2u);
    EXPECT_EQ(_effects._effects[1]->_name, "default");
    EXPECT_TRUE(_effects._effects[1]->_autoPlay);
    EXPECT_EQ(_effects._effects[1]->_node, &root);

    _effects.setParticleSystem(_system);
    _effects.playAuto();
    EXPECT_NE(_effects._effects[0]->_psEmitterInstance, nullptr);
    EXPECT_NE(_effects._effects[1]->_psEmitterInstance, nullptr);
}

// ---- Sound list configuration ----

class Sounds : public ActorWorldTest {};

TEST_F(Sounds, EntriesFromConfigurationAndDescription) {
    loadConfig(R"(
[s]
sounds = { sNoSound sLost sLoop sPlain sRoot }
[sNoSound]
name = nothing
[sLost]
sound = horn
soundNode = nowhere
[sLoop]
sound = engine
soundNode = nowhere
loop = true
group = music
[sPlain]
sound = coin
controlled = true
group = menu
autoPlay = true
[sRoot]
sound = horn
soundNode = ROOT
group = game
)");
    Object root(nullptr);
    ActorSoundList sounds;
    sounds.load("s", &root);
    ASSERT_EQ(sounds._entries.size(), 4u);
    EXPECT_EQ(sounds._entries[0]->name, "sLost");
    EXPECT_FALSE(sounds._entries[0]->controlled);  // a missing node: 2D, fired once
    EXPECT_EQ(sounds._entries[0]->node, nullptr);
    EXPECT_EQ(sounds._entries[0]->channel, 1);
    EXPECT_TRUE(sounds._entries[1]->controlled);
    EXPECT_EQ(sounds._entries[1]->channel, 0);
    EXPECT_TRUE(sounds._entries[2]->controlled);
    EXPECT_EQ(sounds._entries[2]->channel, 2);
    EXPECT_EQ(sounds._entries[3]->node, &root);
    EXPECT_EQ(sounds._entries[3]->channel, 3);

    EXPECT_TRUE(sounds.stop("sLoop"));  // never played: matched, nothing to stop
    EXPECT_FALSE(sounds.stop("none"));
    EXPECT_FALSE(sounds.play(""));
    sounds._enabled = false;
    EXPECT_FALSE(sounds.play("sLoop"));
    EXPECT_EQ(sounds._entries[1]->handle, nullptr);

    ObjectNode description;
    description._name = "top";
    description._properties["sound"] = "engine";
    ObjectNode* bell = new ObjectNode(&description);
    bell->_name = "bell";
    bell->_properties["sound2d"] = "horn";
    bell->_properties["effect"] = "ring";
    description._children.push_back(bell);
    ActorSoundList described;
    described.bind(&root, &description);
    ASSERT_EQ(described._entries.size(), 2u);
    EXPECT_EQ(described._entries[0]->name, "default");
    EXPECT_TRUE(described._entries[0]->loop && described._entries[0]->autoPlay && described._entries[0]->controlled);
    EXPECT_EQ(described._entries[0]->node, &root);
    EXPECT_EQ(described._entries[1]->name, "ring");
    EXPECT_TRUE(described._entries[1]->controlled);
    EXPECT_FALSE(described._entries[1]->loop);
    EXPECT_EQ(described._entries[1]->node, nullptr);
}

}  // namespace
