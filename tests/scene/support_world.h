#pragma once
// Helpers of the world tests: a world over a temporary bundle, fixture writers for object files
// and scenes, a host screen size, and small lookups.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/IGame.h"
#include "engine/math.h"
#include "engine_game/Object.h"
#include "writer/ContentWriter.h"

class Scene;
class World;

namespace worldtest {

namespace cw = contentwriter;

// The host's logical screen for camera aspects.
using FixedScreen = testsupport::FixedSizeGame;

// Empties the resource caches, freeing the fonts too (the worlds using them must be gone).
void releaseResources();

// A fresh bundle in a temporary folder; the world is made on demand and freed before the
// resource caches are emptied.
class WorldFixture : public ::testing::Test {
protected:
    WorldFixture();
    ~WorldFixture() override;

    World* world(int physics = 1);
    void resetWorld();

    // Writes bytes below the bundle's "data/" folder.
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);
    void writeObject(const std::string& path, const cw::ObjectFileDesc& file);
    // World::createObject with identity rotation and no scene properties or keys.
    Object* place(Scene* scene, const std::string& path, const std::string& name,
                  const Vector3& position = Vector3(), const Vector3& scale = Vector3(1, 1, 1), int physics = 1);

    testsupport::TempDir _dir;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    FixedScreen _screen{800, 600};
    IGame* _oldGame = nullptr;
    World* _world = nullptr;
};

// An object file with one box of the given size, centred on the origin (material "plain").
cw::ObjectFileDesc boxObject(const std::string& name, const cw::Vec3& size = cw::Vec3(1, 1, 1),
                             const cw::Properties& properties = {}, int version = 3);

// The first node of the tree (top included) with that name.
Object* findNode(Object* top, const std::string& name);

// A node that counts the calls the world and pools make on it.
class CountingObject : public Object {
public:
    explicit CountingObject(Object* parent, const char* tag = "counting") : Object(parent), tag(tag) {}
    void init() override { ++inits; }
    void update() override {
        ++updates;
        Object::update();
    }
    void detach() override { ++detaches; }
    void addProperty(const char* key, const char* value) override {
        properties.push_back(std::string(key) + "=" + value);
    }
    void onActiveChanged() override { ++activeChanges; }

    std::string tag;
    int inits = 0, updates = 0, detaches = 0, activeChanges = 0;
    std::vector<std::string> properties;
};

Object* countingFactory(World* world, Scene* scene, Object* parent);

extern const Vector3 kIdentityRows[3];

}  // namespace worldtest
