// Items, gifts and obstacles, switches, stargates, decorations, menu actors and riding
// characters, made from the sample content through the registered classes.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/clock.h"
#include "engine/random.h"
#include "engine_game/Body.h"
#include "engine/render/Mesh.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorDecoration.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanActorMenu.h"
#include "game/actors/ZelvanActorStargate.h"
#include "game/actors/ZelvanActorSwitch.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/track/ZelvanLevelSkin.h"
#include "support_level_actors.h"
#include "writer/LevelActorContent.h"

namespace {

using namespace Zelvan;
using leveltest::expectVec;
using leveltest::queuedNames;

const float kPi = 3.14159265f;

std::vector<Body*> bodiesOf(Object* node) {
    std::vector<Body*> out;
    if (Body* b = dynamic_cast<Body*>(node->_physicsBody))
        out.push_back(b);
    for (Object* c : node->_children) {
        std::vector<Body*> more = bodiesOf(c);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

// The nodes that carry bodies, in the same order as bodiesOf.
std::vector<Object*> bodyNodesOf(Object* node) {
    std::vector<Object*> out;
    if (dynamic_cast<Body*>(node->_physicsBody))
        out.push_back(node);
    for (Object* c : node->_children) {
        std::vector<Object*> more = bodyNodesOf(c);
        out.insert(out.end(), more.begin(), more.end());
    }
    return out;
}

class LevelActorTest : public leveltest::SampleActorWorld {};

TEST_F(LevelActorTest, EveryListedObjectFileMakesItsClass) {
    struct Case {
        const char* file;
        int32_t typeId;
    } cases[] = {
        {"objects/items/coin.object", TypeActorItemGift},
        {"objects/items/ticket.object", TypeActorItemGift},
        {"objects/items/letter.object", TypeActorItemGift},
        {"objects/items/surprise.object", TypeActorItemGift},
        {"objects/items/boost_magnet.object", TypeActorItemGift},
        {"objects/items/boost_turbo.object", TypeActorItemGift},
        {"objects/obstacles/obstacle_deathly.object", TypeActorItemObstacle},
        {"objects/obstacles/obstacle_shield.object", TypeActorItemObstacle},
        {"objects/obstacles/obstacle_dash.object", TypeActorItemObstacle},
        {"objects/obstacles/barrier.object", TypeActorObstacle},
        {"objects/enemies/enemy_train.object", TypeActorEnemyTrain},
        {"objects/enemies/enemy_waggon.object", TypeActorEnemyWaggon},
        {"objects/level/stargate.object", TypeActorStargate},
        {"objects/level/switch.object", TypeActorSwitch},
        {"objects/level/tree.object", TypeActorDecoration},
        {"objects/characters/fox.object", TypeActorCharacter},
        {"objects/characters/bear.object", TypeActorCharacter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Object* node = place(c.file, "probe", Vector3(), 0);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->_typeId, c.typeId);
        EXPECT_NE(dynamic_cast<Actor*>(node), nullptr);
        // Gifts are collected by distance: the train must never collide with one.
        if (c.typeId == TypeActorItemGift) {
            EXPECT_TRUE(bodiesOf(node).empty());
        } else if (c.typeId != TypeActorCharacter && c.typeId != TypeActorStargate) {
            EXPECT_FALSE(bodiesOf(node).empty());
        }
    }
}

TEST_F(LevelActorTest, ItemsSpinAboutTheirOwnAxis) {
    ActorItemGift* coin = make<ActorItemGift>("objects/items/coin.object", "Coin", Vector3(1, 2, 0));
    ActorItemGift* ticket = make<ActorItemGift>("objects/items/ticket.object", "Ticket");
    ASSERT_NE(coin, nullptr);
    ASSERT_NE(ticket, nullptr);
    EXPECT_EQ(coin->_rotAxis, 3);
    EXPECT_NEAR(coin->_rotSpeed, 120 * kPi / 180, 1e-5f);  // the shared value
    EXPECT_NEAR(ticket->_rotSpeed, 60 * kPi / 180, 1e-5f);  // its own
    EXPECT_FLOAT_EQ(coin->_density, 1.5f);

    // 120 degrees a second for 0.75 s: X turns to Y about Z.
    coin->reset();
    for (int i = 0; i < 45; ++i)
        coin->update();
    Vector3 rows[3];
    coin->getRotation(rows);
    expectVec(rows[0], Vector3(0, 1, 0), 1e-3f);
    expectVec(rows[2], Vector3(0, 0, 1), 1e-3f);
    expectVec(coin->getWorldPosition(), Vector3(1, 2, 0));
    // Paused: no turn.
    Clock::setPaused(true);
    coin->update();
    Clock::setPaused(false);
    coin->getRotation(rows);
    expectVec(rows[0], Vector3(0, 1, 0), 1e-3f);

    // The sign of the axis is not used: -2 turns Z to X about Y.
    const Vector3 identity[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};
    ticket->setRotation(identity);
    ticket->_rotAxis = -2;
    ticket->rotate(kPi / 2);
    ticket->getRotation(rows);
    expectVec(rows[2], Vector3(1, 0, 0), 1e-5f);
    expectVec(rows[1], Vector3(0, 1, 0), 1e-5f);
}

TEST_F(LevelActorTest, GiftFliesToItsTargetAndIsCollectedOnce) {
    ActorItemGift* coin = make<ActorItemGift>("objects/items/coin.object", "Coin", Vector3(0, 10, 0));
    ASSERT_NE(coin, nullptr);
    EXPECT_FALSE(coin->_snap);
    EXPECT_TRUE(coin->_magnet);
    // The node's box starts at its origin: the coin floats 0.2..0.8 above it.
    EXPECT_NEAR(coin->_itemSphere, 0.8f, 1e-5f);
    expectVec(coin->_flyCameraPos, Vector3(0, 4, 1));
    coin->reset();
    coin->_conductors->_queue.clear();

    coin->startFly(true);
    EXPECT_EQ(coin->_flyProgress, 0);
    expectVec(coin->_flyStart, Vector3(0, 10, 0));
    EXPECT_EQ(queuedNames(coin), (std::vector<std::string>{"fly"}));
    coin->startFly(true);  // already flying
    EXPECT_EQ(queuedNames(coin).size(), 1u);

    // The track moves it towards the train; at the train it is collected.
    const Vector3 target(0, 2, 1);
    for (int i = 1; i <= 10; ++i) {
        coin->_flyProgress = 0.1f * (float)i;
        coin->setPosition(coin->_flyStart + (target - coin->_flyStart) * coin->_flyProgress);
        coin->update();
    }
    expectVec(coin->getWorldPosition(), target);
    coin->collect(false, 0);
    EXPECT_TRUE(coin->_collected);
    EXPECT_EQ(coin->_flyProgress, 0);
    expectVec(coin->_flyStart, target);
    EXPECT_FALSE(coin->_sounds->_enabled);
    EXPECT_EQ(coin->_conductors->_queue.back().conductor->name, "get");
    const size_t queued = coin->_conductors->_queue.size();
    coin->collect(true, 3);
    EXPECT_EQ(coin->_conductors->_queue.size(), queued);
    coin->startFly(true);  // collecting started the flight
    EXPECT_EQ(coin->_conductors->_queue.size(), queued);

    // Variants past the last cycle through the top quarter (4 variants: only the last).
    for (uint32_t index : {0u, 2u, 3u, 4u, 9u}) {
        coin->reset();
        coin->collect(true, index);
        EXPECT_EQ(coin->_conductors->_queue.back().index, std::min(index, 3u)) << index;
    }
    coin->reset();
    EXPECT_FALSE(coin->_collected);
    EXPECT_LT(coin->_flyProgress, 0);
}

TEST_F(LevelActorTest, GiftsNameTheirBoosts) {
    ActorItemGift* magnet = make<ActorItemGift>("objects/items/boost_magnet.object", "Magnet");
    ActorItemGift* turbo = make<ActorItemGift>("objects/items/boost_turbo.object", "Turbo");
    ASSERT_NE(magnet, nullptr);
    ASSERT_NE(turbo, nullptr);
    EXPECT_EQ(magnet->_boosts, (std::vector<std::string>{"magnet", "coinsBig", "shield"}));
    EXPECT_EQ(magnet->_shopUpdateName, "shopMagnet");
    EXPECT_EQ(turbo->_boosts, (std::vector<std::string>{"turbo"}));
    EXPECT_FALSE(turbo->_alone);
    EXPECT_TRUE(magnet->_alone);
}

TEST_F(LevelActorTest, DynamicObstacleIsSmashedAwayAndComesBackOnReset) {
    ActorItemObstacle* dash = make<ActorItemObstacle>("objects/obstacles/obstacle_dash.object", "Dash");
    ActorItemObstacle* wall = make<ActorItemObstacle>("objects/obstacles/obstacle_deathly.object", "Wall");
    ASSERT_NE(dash, nullptr);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(dash->_obstacleType, ActorItemObstacle::Dynamic);
    EXPECT_EQ(dash->_damageType, ActorItemObstacle::Dash);
    EXPECT_FLOAT_EQ(dash->_damage, 0.25f);
    EXPECT_EQ(wall->_obstacleType, ActorItemObstacle::Static);
    EXPECT_EQ(wall->_damageType, ActorItemObstacle::Deathly);
    dash->reset();
    wall->reset();
    const std::vector<Body*> crates = bodiesOf(dash);
    ASSERT_EQ(crates.size(), 3u);
    for (Body* b : crates)
        EXPECT_EQ(b->getType(), Body::Kinematic);

    // A static obstacle ignores the smash.
    wall->_conductors->_queue.clear();
    wall->smash(Vector3(), Vector3(0, 10, 0), 3);
    EXPECT_EQ(wall->_typeId, TypeActorItemObstacle);
    EXPECT_TRUE(queuedNames(wall).empty());
    EXPECT_EQ(bodiesOf(wall).front()->getType(), Body::Kinematic);

    // The middle crate lies on the line of the hit, the outer ones 0.6 to either side.
    const Vector3 push(0, 10, 0);
    const Vector3 origin(0, -5, 0.4f);
    dash->_conductors->_queue.clear();
    dash->smash(origin, push, 3);
    EXPECT_EQ(dash->_typeId, TypeActorItem);
    EXPECT_EQ(queuedNames(dash), (std::vector<std::string>{"dash"}));
    EXPECT_TRUE(dash->_nodes->_shadowsEnabled);
    const float f = 1 - 0.2f * 0.2f;
    const std::vector<Object*> crateNodes = bodyNodesOf(dash);
    for (size_t k = 0; k < crates.size(); ++k) {
        Body* b = crates[k];
        EXPECT_EQ(b->getType(), Body::Dynamic);
        const Object* node = crateNodes[k];
        const float x = node->getWorldPosition().x;
        const Vector3 v = b->getLinearVelocity();
        if (std::fabs(x) < 1e-3f) {
            expectVec(v, push, 1e-3f);
        } else {
            expectVec(v, Vector3(x * 0.5f * f * 10 / 0.6f, 10 * f, 0), 1e-2f);
        }
    }
    dash->reset();
    EXPECT_EQ(dash->_typeId, TypeActorItemObstacle);
    for (Body* b : crates)
        EXPECT_EQ(b->getType(), Body::Kinematic);

    // Reactions by name; without one, every reaction stops.
    wall->_conductors->_queue.clear();
    wall->playDamage();
    wall->playDeath();
    playDelete(wall);
    EXPECT_EQ(queuedNames(wall), (std::vector<std::string>{"damage", "death", "stop death", "stop damage"}));
}

TEST_F(LevelActorTest, MovingObstacleStartsOncePerRun) {
    ActorObstacle* barrier = make<ActorObstacle>("objects/obstacles/barrier.object", "Barrier");
    ASSERT_NE(barrier, nullptr);
    EXPECT_EQ(barrier->_animMove, "barrierMove");
    barrier->reset();
    EXPECT_FALSE(barrier->_animator->isPlaying());
    barrier->startMove();
    EXPECT_TRUE(barrier->_started);
    EXPECT_TRUE(barrier->_animator->isPlaying());
    barrier->_animator->stop();
    barrier->startMove();
    EXPECT_FALSE(barrier->_animator->isPlaying());
    barrier->reset();
    EXPECT_FALSE(barrier->_started);
    barrier->_animMove.clear();
    barrier->startMove();
    EXPECT_FALSE(barrier->_started);
}

TEST_F(LevelActorTest, StargateActivatesOnce) {
    ActorStargate* gate = make<ActorStargate>("objects/level/stargate.object", "Gate");
    ASSERT_NE(gate, nullptr);
    Object* pane = findObjectByName(gate, "pane");
    ASSERT_NE(pane, nullptr);
    gate->reset();
    EXPECT_TRUE(pane->_hidden);
    gate->_conductors->_queue.clear();
    gate->deactivate();  // not active: nothing to stop
    EXPECT_TRUE(queuedNames(gate).empty());
    gate->activate();
    gate->activate();
    EXPECT_TRUE(gate->isActivated());
    EXPECT_EQ(queuedNames(gate), (std::vector<std::string>{"activate"}));
    gate->update();
    EXPECT_FALSE(pane->_hidden);
    EXPECT_TRUE(gate->_animator->isPlaying());
    gate->deactivate();
    gate->deactivate();
    EXPECT_EQ(queuedNames(gate), (std::vector<std::string>{"stop activate"}));
    EXPECT_FALSE(gate->isActivated());
    gate->activate();
    gate->reset();
    EXPECT_FALSE(gate->isActivated());
    EXPECT_TRUE(pane->_hidden);
}

TEST_F(LevelActorTest, SwitchKeepsItsAnimationsAndCountsItsTimerDown) {
    ActorSwitch* lever = make<ActorSwitch>("objects/level/switch.object", "Switch");
    ASSERT_NE(lever, nullptr);
    EXPECT_EQ(lever->_animFront, "switchFront");
    EXPECT_EQ(lever->_animBack, "switchBack");
    EXPECT_FLOAT_EQ(lever->_switchTime, 0.5f);
    const std::vector<Body*> bodies = bodiesOf(lever);
    ASSERT_FALSE(bodies.empty());
    for (Body* b : bodies)
        EXPECT_EQ(b->getType(), Body::Kinematic_Selectable);

    lever->_timer = lever->_switchTime;
    lever->_switched = true;
    for (int i = 0; i < 12; ++i)
        lever->update();
    EXPECT_NEAR(lever->_timer, 0.3f, 1e-4f);
    Clock::setPaused(true);
    lever->update();
    Clock::setPaused(false);
    EXPECT_NEAR(lever->_timer, 0.3f, 1e-4f);
    for (int i = 0; i < 30; ++i)
        lever->update();
    EXPECT_LE(lever->_timer, 0.0f);
    EXPECT_GT(lever->_timer, -1.0f / 60.0f - 1e-4f);  // stops once it ran out
    lever->reset();
    EXPECT_EQ(lever->_timer, 0);
    EXPECT_FALSE(lever->_switched);
}

TEST_F(LevelActorTest, PhysicsDecorationGetsKinematicBodiesBackOnReset) {
    ActorDecoration* tree = make<ActorDecoration>("objects/level/tree.object", "Tree");
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->_decorationType, ActorDecoration::Physics);
    EXPECT_FLOAT_EQ(tree->_distance, 30);
    EXPECT_EQ(tree->_animAction, "treeShake");
    EXPECT_EQ(tree->_effectAction, "leaves");
    const std::vector<Body*> bodies = bodiesOf(tree);
    ASSERT_FALSE(bodies.empty());
    for (Body* b : bodies)
        EXPECT_EQ(b->getType(), Body::Kinematic);
    setObjectBodyType(tree, Body::Dynamic);
    tree->_triggered = true;
    tree->_nodes->_shadowsEnabled = true;
    tree->reset();
    for (Body* b : bodies)
        EXPECT_EQ(b->getType(), Body::Kinematic);
    EXPECT_FALSE(tree->_triggered);
    EXPECT_FALSE(tree->_nodes->_shadowsEnabled);

    // An "anim" decoration builds no bodies of its own and leaves them alone on reset.
    tree->_decorationType = ActorDecoration::Anim;
    setObjectBodyType(tree, Body::Dynamic);
    tree->reset();
    EXPECT_EQ(bodies.front()->getType(), Body::Dynamic);
}

class CharacterTest : public LevelActorTest {
protected:
    void SetUp() override {
        LevelActorTest::SetUp();
        _fox = make<ActorCharacter>("objects/characters/fox.object", "Fox");
        ASSERT_NE(_fox, nullptr);
        _fox->reset();
        _fox->_conductors->_queue.clear();
    }

    // Frames of 1/60 s until the fox says something; the frame count.
    int framesToSay(int limit) {
        for (int frame = 1; frame <= limit; ++frame) {
            _fox->_conductors->_queue.clear();
            _fox->update(1.0f / 60.0f);
            for (const std::string& n : queuedNames(_fox))
                if (n == "say")
                    return frame;
        }
        return -1;
    }

    ActorCharacter* _fox = nullptr;
};

TEST_F(CharacterTest, SaysItsLinesOnTheSeededTimer) {
    EXPECT_EQ(_fox->_name, "fox");
    EXPECT_FLOAT_EQ(_fox->_sayDelayMin, 5);
    EXPECT_FLOAT_EQ(_fox->_sayDelayMax, 10);

    // Standing: nothing; a zero frame: nothing.
    EXPECT_EQ(framesToSay(30), -1);
    _fox->run();
    _fox->update(0);
    EXPECT_TRUE(queuedNames(_fox).empty());

    // The cleared timer has no time left: the first running frame says something, and the
    // next saying comes after the drawn delay.
    MotherRandom copy = motherRandom();
    const float first = 5 + (float)copy.nextDouble() * 5;
    const float second = 5 + (float)copy.nextDouble() * 5;
    EXPECT_EQ(framesToSay(1), 1);
    EXPECT_EQ(queuedNames(_fox), (std::vector<std::string>{"say", "run"}));
    EXPECT_NEAR(_fox->_sayTimer._duration, first, 1e-5f);
    const int frames = framesToSay(700);
    EXPECT_NEAR(frames / 60.0f, first, 1.5f / 60.0f);
    EXPECT_NEAR(_fox->_sayTimer._duration, second, 1e-5f);

    // An action postpones the next saying by a fresh delay.
    for (int i = 0; i < 60; ++i)
        _fox->update(1.0f / 60.0f);
    _fox->leap();
    const float delay = _fox->_sayTimer._duration;
    EXPECT_NEAR(_fox->_sayTimer._remaining, delay, 1e-5f);
    EXPECT_NEAR(framesToSay(700) / 60.0f, delay, 1.5f / 60.0f);

    // The character's own configuration name changes its delays.
    _fox->applyPrefix("charFox");
    EXPECT_FLOAT_EQ(_fox->_sayDelayMin, 4);
    EXPECT_FLOAT_EQ(_fox->_sayDelayMax, 8);
    EXPECT_EQ(_fox->_prefix, "charFox");
}

TEST_F(CharacterTest, ActionsStartTheirReactions) {
    struct Case {
        const char* what;
        void (*act)(ActorCharacter*);
        std::vector<std::string> queued;
        bool rearms;
    } cases[] = {
        {"leap", [](ActorCharacter* c) { c->leap(); }, {"leap"}, true},
        {"jump left", [](ActorCharacter* c) { c->jumpLeft(); }, {"jumpleft"}, true},
        {"jump right", [](ActorCharacter* c) { c->jumpRight(); }, {"jumpright"}, true},
        {"brake", [](ActorCharacter* c) { c->brake(); }, {"brake"}, true},
        {"powerup", [](ActorCharacter* c) { c->powerup("magnet"); }, {"powerup"}, true},
        {"fruit", [](ActorCharacter* c) { c->powerup("fruit"); }, {"powerup_fruit"}, true},
        {"fly on", [](ActorCharacter* c) { c->fly(true); }, {"fly"}, true},
        {"fly off", [](ActorCharacter* c) { c->fly(false); }, {}, false},
        {"damage", [](ActorCharacter* c) { c->damage(); }, {"damage"}, true},
        {"stay", [](ActorCharacter* c) { c->stay(); }, {"stay"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        _fox->reset();
        _fox->_conductors->_queue.clear();
        c.act(_fox);
        EXPECT_EQ(queuedNames(_fox), c.queued);
        EXPECT_EQ(_fox->_sayTimer._remaining > 0, c.rearms);
    }
    Object* cap = findObjectByName(_fox, "cap");
    ASSERT_NE(cap, nullptr);
    _fox->run();
    EXPECT_TRUE(_fox->_running);
    _fox->_conductors->_queue.clear();
    _fox->die();
    EXPECT_FALSE(_fox->_running);
    EXPECT_TRUE(cap->_hidden);
    EXPECT_EQ(queuedNames(_fox), (std::vector<std::string>{"death"}));
    _fox->reset();
    EXPECT_FALSE(cap->_hidden);
}

TEST_F(LevelActorTest, MenuActorsTakeTheMenuLookAndSkins) {
    // The menus' World makes every top-level object a menu actor: here a copy of the fox's
    // object file that no class list names.
    const std::string bytes = testsupport::readFile(testsupport::contentDir() + "/data/objects/characters/fox.object");
    testsupport::writeFile(_documents.path() + "/data/objects/menu/fox.object", bytes);
    _world->_defaultFactory = &ActorMenu::create;
    ActorMenu* fox = make<ActorMenu>("objects/menu/fox.object", "MenuFox");
    ASSERT_NE(fox, nullptr);
    EXPECT_EQ(fox->_typeId, TypeActorMenu);
    EXPECT_EQ(fox->_name, "MenuFox");
    Object* cap = findObjectByName(fox, "cap");
    Object* scarf = findObjectByName(fox, "scarf");
    ASSERT_NE(cap, nullptr);
    ASSERT_NE(scarf, nullptr);
    fox->applyMenuLook("charFox");
    EXPECT_TRUE(cap->_hidden);
    EXPECT_FALSE(scarf->_hidden);

    LevelSkin* classic = LevelSkin::create("skin_classic");
    LevelSkin* gold = LevelSkin::create("skin_gold");
    ASSERT_FALSE(classic->isEmpty());
    ASSERT_FALSE(cap->_meshes.empty());
    Mesh* mesh = cap->_meshes.front();
    Material* capGold = mesh->_material;
    fox->setSkin(classic);
    EXPECT_EQ(mesh->_material, classic->_newMaterial);
    mesh->_material = capGold;
    fox->setSkin(classic);  // the current skin is not applied again
    EXPECT_EQ(mesh->_material, capGold);
    fox->setSkin(nullptr);
    EXPECT_EQ(fox->_skin, nullptr);
    EXPECT_EQ(mesh->_material, capGold);
    fox->setSkin(gold);
    fox->detach();
    EXPECT_EQ(fox->_skin, nullptr);
    EXPECT_TRUE(scarf->_hidden);  // every named part hidden
    delete classic;
    delete gold;
}

TEST(LevelActorContent, CommittedFilesMatchTheWriters) {
    for (const contentwriter::ContentFile& f : contentwriter::levelActorContent()) {
        const std::string have = testsupport::readFile(testsupport::contentDir() + "/data/" + f.path);
        EXPECT_EQ(have, std::string(f.bytes.begin(), f.bytes.end()))
            << f.path << " is out of date: run zelvan_content write content/data";
    }
}

}  // namespace
