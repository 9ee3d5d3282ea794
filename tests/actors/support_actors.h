#pragma once
// Helpers of the actor tests: a world over a temporary bundle (physics on, fixed frame time),
// object-file fixtures made with the content writers, and configuration text loaded into the
// global store.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "writer/ContentWriter.h"

class Object;
class Scene;
class World;

namespace actortest {

namespace cw = contentwriter;

// Empties the resource caches, freeing the fonts too (the worlds using them must be gone).
void releaseResources();

class ActorWorldTest : public ::testing::Test {
protected:
    ActorWorldTest();
    ~ActorWorldTest() override;

    World* world(int physics = 1);
    void resetWorld();

    // Bytes below the bundle's "data/" folder.
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);
    void writeObject(const std::string& path, const cw::ObjectFileDesc& file);
    // Configuration text read into the global store (which the fixture empties at the end).
    void loadConfig(const std::string& text);
    // World::createObject with identity rotation and no scene properties.
    Object* place(Scene* scene, const std::string& path, const std::string& name,
                  const Vector3& position = Vector3(), int physics = 1);

    testsupport::TempDir _dir;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{800, 600};
    class IGame* _oldGame = nullptr;
    World* _world = nullptr;
    int _configCount = 0;
};

// One box of the given size centred at the origin, material "plain", top properties given.
cw::ObjectFileDesc boxObject(const std::string& name, const cw::Vec3& size = cw::Vec3(1, 1, 1),
                             const cw::Properties& properties = {});

// A node description with a box of its own inside a shared mesh (appends to v / i).
cw::ObjectNodeDesc boxNode(std::vector<cw::Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                           const cw::Vec3& centre, const cw::Vec3& size, const cw::Properties& properties = {});

extern const Vector3 kIdentityRows[3];

}  // namespace actortest
