#include "support_level_actors.h"

#include <cstdlib>

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/random.h"
#include "engine/render/ResourceManager.h"
#include "engine/sound/sfx.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/World.h"
#include "game/ZelvanSoundInterface.h"
#include "game/actors/ZelvanConductors.h"
#include "game/track/ZelvanRail.h"
#include "game/track/ZelvanRailSet.h"

namespace leveltest {

void SampleActorWorld::SetUp() {
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
    _scene = _world->loadScene("scenes/l01.txt", 1, 0);
    ASSERT_NE(_scene, nullptr);
    Zelvan::ActorEnemy::setLevelReader(&_reader);
}

void SampleActorWorld::TearDown() {
    Zelvan::ActorEnemy::setLevelReader(nullptr);
    _sets.clear();
    _rails.clear();
    delete _world;
    _world = nullptr;
    sfx_Shutdown();
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

Object* SampleActorWorld::place(const std::string& path, const std::string& name, const Vector3& position,
                                float yaw) {
    Vector3 rows[3];
    eulerToRows(Vector3(0, 0, yaw), rows);
    return _world->createObject(_scene, path, name, PropertyList(), 1, rows, position, Vector3(1, 1, 1), nullptr);
}

Zelvan::Rail* SampleActorWorld::laneRail(const std::string& group) {
    Zelvan::Rail* rail = Zelvan::Rail::buildPoints(group, Zelvan::SegmentAll, _world, _scene,
                                                   _scene->_root->_transform, _scene->getGroup(group), 2, 3, 0.1f,
                                                   5.0f);
    if (rail)
        _rails.emplace_back(rail);
    return rail;
}

Zelvan::Rail* SampleActorWorld::straightRail(float length, float x) {
    std::vector<Zelvan::RailPoint> points;
    for (float d = 0; d <= length + 1e-3f; d += 5) {
        Zelvan::RailPoint p;
        p.position = Vector3(x, d, 0);
        p.direction = Vector3(0, 1, 0);
        p.up = Vector3(0, 0, 1);
        points.push_back(p);
    }
    _rails.emplace_back(new Zelvan::Rail("straight", _scene->_root->_transform, points));
    return _rails.back().get();
}

Zelvan::RailSet* SampleActorWorld::railSet(const std::vector<Zelvan::Rail*>& rails) {
    _sets.emplace_back(new Zelvan::RailSet(rails));
    return _sets.back().get();
}

std::vector<std::string> queuedNames(const Zelvan::Actor* actor) {
    std::vector<std::string> names;
    if (!actor->_conductors)
        return names;
    for (const ConductorCommand& c : actor->_conductors->_queue)
        names.push_back(std::string(c.kind == ConductorCommand::Stop ? "stop " : "") +
                        (c.conductor ? c.conductor->name : std::string("all")));
    return names;
}

void flush(Zelvan::Actor* actor) {
    if (actor->_conductors)
        actor->_conductors->flush();
}

void expectVec(const Vector3& got, const Vector3& want, float tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

}  // namespace leveltest
