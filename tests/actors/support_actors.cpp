#include "support_actors.h"

#include "engine/ConfigStore.h"
#include "engine/IGame.h"
#include "engine/clock.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/World.h"

namespace actortest {

const Vector3 kIdentityRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};

void releaseResources() {
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

ActorWorldTest::ActorWorldTest() {
    _stores.reset(new testsupport::ScopedStores(_dir.path(), _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    frameTime().dt = 1.0f / 60.0f;
    ConfigStore::instance().resetForTests();
    // A material without a shader: enough for meshes to join render lists.
    writeData("materials/plain.txt", std::string("emit = 0.5\n"));
}

ActorWorldTest::~ActorWorldTest() {
    resetWorld();
    releaseResources();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

World* ActorWorldTest::world(int physics) {
    if (!_world)
        _world = new World(physics);
    return _world;
}

void ActorWorldTest::resetWorld() {
    delete _world;
    _world = nullptr;
}

void ActorWorldTest::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_dir.path() + "/data/" + path, bytes);
}

void ActorWorldTest::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_dir.path() + "/data/" + path, text);
}

void ActorWorldTest::writeObject(const std::string& path, const cw::ObjectFileDesc& file) {
    writeData(path, cw::writeObjectFile(file));
}

void ActorWorldTest::loadConfig(const std::string& text) {
    const std::string name = "configs/test" + std::to_string(_configCount++) + ".txt";
    writeData(name, text);
    ConfigStore::instance().loadFile(name.c_str(), "");
}

Object* ActorWorldTest::place(Scene* scene, const std::string& path, const std::string& name,
                              const Vector3& position, int physics) {
    return world()->createObject(scene, path, name, PropertyList(), physics, kIdentityRows, position,
                                 Vector3(1, 1, 1), nullptr);
}

cw::ObjectFileDesc boxObject(const std::string& name, const cw::Vec3& size, const cw::Properties& properties) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), size);
    cw::ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(cw::wholeRange("plain", (uint32_t)v.size(), (uint32_t)i.size()));
    f.top.properties = properties;
    f.mesh = cw::makeMesh(v, i);
    return f;
}

cw::ObjectNodeDesc boxNode(std::vector<cw::Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                           const cw::Vec3& centre, const cw::Vec3& size, const cw::Properties& properties) {
    const uint32_t firstVertex = (uint32_t)v.size();
    const uint16_t firstIndex = (uint16_t)i.size();
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), size);
    cw::ObjectNodeDesc node;
    node.name = name;
    node.position = centre;
    cw::MaterialRangeDesc range;
    range.material = "plain";
    range.firstFloat = firstVertex * 11;
    range.floatCount = ((uint32_t)v.size() - firstVertex) * 11;
    range.firstIndex = firstIndex;
    range.indexCount = (uint16_t)(i.size() - firstIndex);
    node.ranges.push_back(range);
    node.properties = properties;
    return node;
}

}  // namespace actortest
