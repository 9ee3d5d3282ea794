#include "support_track.h"

#include "engine/ConfigStore.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Object.h"
#include "engine_game/Scene.h"
#include "engine_game/Transform.h"
#include "engine_game/World.h"
#include "game/track/ZelvanRail.h"

namespace tracktest {

TrackWorldTest::TrackWorldTest(bool sample) {
    _bundle = sample ? testsupport::contentDir() : _dir.path();
    _stores.reset(new testsupport::ScopedStores(_bundle, _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    ConfigStore::instance().resetForTests();
}

TrackWorldTest::~TrackWorldTest() {
    delete _world;
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

World* TrackWorldTest::world() {
    if (!_world)
        _world = new World(0);
    return _world;
}

void TrackWorldTest::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_bundle + "/data/" + path, bytes);
}

void TrackWorldTest::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_bundle + "/data/" + path, text);
}

void TrackWorldTest::loadConfig(const std::string& text) {
    // Written to the documents folder's data overlay, so the sample bundle stays untouched.
    const std::string name = "configs/test" + std::to_string(_configCount++) + ".txt";
    testsupport::writeFile(_dir.file("documents") + "/data/" + name, text);
    ConfigStore::instance().loadFile(name.c_str(), "");
}

void TrackWorldTest::loadSampleConfig() {
    ConfigStore::instance().loadMainFile("configs/config.txt");
}

Object* TrackWorldTest::place(Scene* scene, const std::string& path, const std::string& name,
                              const Vector3& position, const Vector3& eulerRadians) {
    Vector3 rows[3];
    eulerToRows(eulerRadians, rows);
    return world()->createObject(scene, path, name, PropertyList(), 0, rows, position, Vector3(1, 1, 1), nullptr);
}

void SampleLevelTest::SetUp() {
    _scene = world()->loadScene("scenes/l01.txt", 0, 0);
    ASSERT_NE(_scene, nullptr);
    ASSERT_NE(_scene->_root, nullptr);
}

Zelvan::Rail* SampleLevelTest::laneRail(const std::string& group) {
    Zelvan::Rail* rail = Zelvan::Rail::buildPoints(group, Zelvan::SegmentAll, _world, _scene,
                                                   _scene->_root->_transform, _scene->getGroup(group), 2, 3, 0.1f,
                                                   5.0f);
    if (rail)
        _rails.emplace_back(rail);
    return rail;
}

std::vector<Zelvan::Rail*> SampleLevelTest::pieceRails(const std::string& group) {
    std::vector<Zelvan::Rail*> rails;
    for (Object* node : _scene->getGroup(group)) {
        Zelvan::Rail* rail = Zelvan::Rail::buildPoints(node->_name, Zelvan::SegmentAll, _world, _scene,
                                                       _scene->_root->_transform, {node}, 2, 3, 0.1f, 5.0f);
        if (rail) {
            _rails.emplace_back(rail);
            rails.push_back(rail);
        }
    }
    return rails;
}

Zelvan::Rail* straightRail(Transform* owner, const std::vector<float>& distances, float x) {
    std::vector<Zelvan::RailPoint> points;
    for (float d : distances) {
        Zelvan::RailPoint p;
        p.position = Vector3(x, d, 0);
        p.direction = Vector3(0, 1, 0);
        p.up = Vector3(0, 0, 1);
        points.push_back(p);
    }
    return new Zelvan::Rail("straight", owner, points);
}

void expectVec(const Vector3& got, const Vector3& want, float tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

}  // namespace tracktest
