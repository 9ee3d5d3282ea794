#include "support_world.h"

#include "engine/ConfigStore.h"
#include "engine/font/TextFont.h"
#include "engine/render/ResourceManager.h"
#include "engine_game/Object.h"
#include "engine_game/World.h"

namespace worldtest {

WorldFixture::WorldFixture() {
    _stores.reset(new testsupport::ScopedStores(_dir.path(), _dir.file("documents")));
    _oldGame = IGame::instance();
    IGame::setInstance(&_screen);
    // A material without a shader: enough for meshes to join render lists.
    writeData("materials/plain.txt", std::string("emit = 0.5\n"));
}

void releaseResources() {
    // The cache forgets fonts without freeing them; the tests free them.
    ResourceManager& rm = ResourceManager::instance();
    for (auto& entry : rm._fonts)
        delete entry.second;
    rm._fonts.clear();
    rm.resetForTests();
}

WorldFixture::~WorldFixture() {
    resetWorld();
    releaseResources();
    ConfigStore::instance().resetForTests();
    IGame::setInstance(_oldGame);
}

World* WorldFixture::world(int physics) {
    if (!_world)
        _world = new World(physics);
    return _world;
}

void WorldFixture::resetWorld() {
    delete _world;
    _world = nullptr;
}

void WorldFixture::writeData(const std::string& path, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_dir.path() + "/data/" + path, bytes);
}

void WorldFixture::writeData(const std::string& path, const std::string& text) {
    testsupport::writeFile(_dir.path() + "/data/" + path, text);
}

void WorldFixture::writeObject(const std::string& path, const cw::ObjectFileDesc& file) {
    writeData(path, cw::writeObjectFile(file));
}

cw::ObjectFileDesc boxObject(const std::string& name, const cw::Vec3& size, const cw::Properties& properties,
                             int version) {
    std::vector<cw::Vertex> v;
    std::vector<uint16_t> i;
    cw::appendBox(v, i, cw::Vec3(0, 0, 0), size);
    cw::ObjectFileDesc f;
    f.version = version;
    f.top.name = name;
    f.top.ranges.push_back(cw::wholeRange("plain", (uint32_t)v.size(), (uint32_t)i.size()));
    f.trailingProperties = properties;
    f.mesh = cw::makeMesh(v, i);
    return f;
}

Object* WorldFixture::place(Scene* scene, const std::string& path, const std::string& name,
                           const Vector3& position, const Vector3& scale, int physics) {
    return world()->createObject(scene, path, name, PropertyList(), physics, kIdentityRows, position, scale,
                                 nullptr);
}

const Vector3 kIdentityRows[3] = {Vector3(1, 0, 0), Vector3(0, 1, 0), Vector3(0, 0, 1)};

Object* countingFactory(World*, Scene*, Object* parent) { return new CountingObject(parent); }

Object* findNode(Object* top, const std::string& name) {
    if (!top)
        return nullptr;
    if (top->_name == name)
        return top;
    for (Object* child : top->_children)
        if (Object* found = findNode(child, name))
            return found;
    return nullptr;
}

}  // namespace worldtest
