#pragma once
// Helpers of the atmosphere and proxy tests: a world over a temporary bundle (or the sample
// content), configuration text read into the global store, and peeks at the shared generator.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "engine/random.h"
#include "writer/ContentWriter.h"

class World;

namespace atmotest {

namespace cw = contentwriter;

class TrackWorldTest : public ::testing::Test {
protected:
    // sampleContent: the bundle is the repository's content folder with its whole configuration.
    explicit TrackWorldTest(bool sampleContent = false);
    ~TrackWorldTest() override;

    World* world();
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);
    void loadConfig(const std::string& text);

    testsupport::TempDir _dir;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{800, 600};
    class IGame* _oldGame = nullptr;
    World* _world = nullptr;
    int _configCount = 0;
};

// One box object of the given name, material "plain"; a child "part" placed at (0, 0, 2) when
// withChild is set.
cw::ObjectFileDesc boxObject(const std::string& name, bool withChild = false,
                             const cw::Properties& properties = {});

// The next draw of the shared generator as the game code takes it, without consuming it.
inline float peekRandom(int ahead = 0) {
    MotherRandom copy = motherRandom();
    for (int i = 0; i < ahead; ++i)
        copy.nextDouble();
    return (float)copy.nextDouble();
}

// Empties the resource caches (materials, textures) as at a fresh start.
void releaseResources();

}  // namespace atmotest
