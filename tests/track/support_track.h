#pragma once
// Helpers of the track tests: a world over either a temporary bundle (fixtures made with the
// content writers) or the sample content, configuration text loaded into the global store,
// straight rails from a list of distances, and vector comparisons.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "writer/ContentWriter.h"

class Object;
class Scene;
class Transform;
class World;

namespace Zelvan {
class Rail;
}

namespace tracktest {

namespace cw = contentwriter;

class TrackWorldTest : public ::testing::Test {
protected:
    // sample: the bundle is the sample content; otherwise a fresh temporary bundle.
    explicit TrackWorldTest(bool sample = false);
    ~TrackWorldTest() override;

    World* world();
    // Bytes below the bundle's "data/" folder (temporary bundles only).
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);
    // Configuration text read into the global store (emptied at the end of the test).
    void loadConfig(const std::string& text);
    // The sample's main configuration and every file it lists.
    void loadSampleConfig();
    // A node of an object file, under the scene's root when a scene is given.
    Object* place(Scene* scene, const std::string& path, const std::string& name, const Vector3& position = Vector3(),
                  const Vector3& eulerRadians = Vector3());

    testsupport::TempDir _dir;
    std::string _bundle;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{800, 600};
    class IGame* _oldGame = nullptr;
    World* _world = nullptr;
    int _configCount = 0;
};

// The sample level scene loaded into a world of the sample content.
class SampleLevelTest : public TrackWorldTest {
protected:
    SampleLevelTest() : TrackWorldTest(true) {}
    void SetUp() override;
    // One rail from the whole scene group, as level loading builds lanes (owner: the root).
    Zelvan::Rail* laneRail(const std::string& group);
    // One rail per node of the group, in group order.
    std::vector<Zelvan::Rail*> pieceRails(const std::string& group);

    Scene* _scene = nullptr;
    std::vector<std::unique_ptr<Zelvan::Rail>> _rails;  // every rail the test built
};

// A rail along +Y (up +Z) through points at the given distances, every flag set.
Zelvan::Rail* straightRail(Transform* owner, const std::vector<float>& distances, float x = 0);

void expectVec(const Vector3& got, const Vector3& want, float tolerance = 1e-4f);

}  // namespace tracktest
