#include "support_atmo.h"

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/World.h"

namespace atmotest {

void releaseResources() {
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

TrackWorldTest::TrackWorldTest(bool sampleContent) {
    const std::string bundle = sampleContent ? testsupport::contentDir() : _dir.path();
    _stores.reset(new testsupport::ScopedStores(bundle, _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    frameTime().dt = 1.0f / 60.0f;
    ConfigStore& config = ConfigStore::instance();
    config.resetForTests();
    motherRandom().seed(4321);
    if (sampleContent) {
        config.loadMainFile("configs/config.txt");
    } else {
        writeData("materials/plain.txt", std::string("emit = 0.5\n"));
    }
}

TrackWorldTest::~TrackWorldTest() {
    delete _world;
    releaseResources();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

World* TrackWorldTest::world() {
    if (!_world)
        _world = new World(1);
    return _world;
}

void TrackWorldTest::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_dir.path() + "/data/" + path, bytes);
}

void TrackWorldTest::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_dir.path() + "/data/" + path, text);
}

void TrackWorldTest::loadConfig(const std::string& text) {
    const std::string name = "configs/test" + std::to_string(_configCount++) + ".txt";
    writeData(name, text);
    ConfigStore::instance().loadFile(name.c_str(), "");
}

cw::ObjectFileDesc boxObject(const std::string& name, bool withChild, const cw::Properties& properties) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0.5f), cw::Vec3(1, 1, 1));
    const uint32_t topVertices = (uint32_t)v.size();
    const uint32_t topIndices = (uint32_t)i.size();
    cw::ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(cw::wholeRange("plain", topVertices, topIndices));
    f.top.properties = properties;
    if (withChild) {
        cw::appendBox(v, i, cw::Vec3(0, 0, 0), cw::Vec3(0.5f, 0.5f, 0.5f));
        cw::ObjectNodeDesc part;
        part.name = "part";
        part.position = cw::Vec3(0, 0, 2);
        part.properties = {{"nophysics", "1"}};
        cw::MaterialRangeDesc range;
        range.material = "plain";
        range.firstFloat = topVertices * 11;
        range.floatCount = ((uint32_t)v.size() - topVertices) * 11;
        range.firstIndex = (uint16_t)topIndices;
        range.indexCount = (uint16_t)(i.size() - topIndices);
        part.ranges.push_back(range);
        f.top.children.push_back(part);
    }
    f.mesh = cw::makeModelMesh(v, i);
    return f;
}

}  // namespace atmotest
