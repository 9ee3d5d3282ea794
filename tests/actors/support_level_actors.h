#pragma once
// Helpers of the level-actor tests: a world of the sample content with the sample level scene
// (its rails) and every actor class registered, and a stand-in level for the enemy trains.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "game/actors/ZelvanActorEnemy.h"

class IGame;
class Object;
class Scene;
class World;

namespace leveltest {

// What a level shows an enemy train: road flags and occupied ranges, given by the test.
struct FakeLevel {
    bool onRoad = true;
    int32_t roadIndex = 0;
    bool running = true;
    std::vector<Zelvan::EnemyRange> ranges;
    Zelvan::Level* handle() { return reinterpret_cast<Zelvan::Level*>(this); }
};

class FakeLevelReader : public Zelvan::EnemyLevelReader {
public:
    bool isOnRoad(const Zelvan::Level* level) const override { return get(level)->onRoad; }
    int32_t getRoadIndex(const Zelvan::Level* level) const override { return get(level)->roadIndex; }
    bool isRunning(const Zelvan::Level* level) const override { return get(level)->running; }
    size_t getRangeCount(const Zelvan::Level* level) const override { return get(level)->ranges.size(); }
    bool getRange(const Zelvan::Level* level, size_t index, Zelvan::EnemyRange& out) const override {
        const FakeLevel* l = get(level);
        if (index >= l->ranges.size())
            return false;
        out = l->ranges[index];
        return true;
    }

private:
    static const FakeLevel* get(const Zelvan::Level* level) { return reinterpret_cast<const FakeLevel*>(level); }
};

class SampleActorWorld : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // An object of the sample content in the level scene, turned about Z by yaw.
    template <class T>
    T* make(const std::string& path, const std::string& name, const Vector3& position = Vector3(), float yaw = 0) {
        return dynamic_cast<T*>(place(path, name, position, yaw));
    }
    Object* place(const std::string& path, const std::string& name, const Vector3& position, float yaw);
    // One rail from a whole scene group of the level, as level loading builds lanes.
    Zelvan::Rail* laneRail(const std::string& group);
    // A straight rail along +Y at x through points every 5 from 0 to length.
    Zelvan::Rail* straightRail(float length, float x);
    Zelvan::RailSet* railSet(const std::vector<Zelvan::Rail*>& rails);

    testsupport::TempDir _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    IGame* _oldGame = nullptr;
    World* _world = nullptr;
    Scene* _scene = nullptr;
    FakeLevelReader _reader;
    std::vector<std::unique_ptr<Zelvan::Rail>> _rails;
    std::vector<std::unique_ptr<Zelvan::RailSet>> _sets;
};

// The name of the conductor of every queued command ("" for a command on all).
std::vector<std::string> queuedNames(const Zelvan::Actor* actor);
// Queued starts and stops, and then the queue run.
void flush(Zelvan::Actor* actor);

void expectVec(const Vector3& got, const Vector3& want, float tolerance = 1e-4f);

}  // namespace leveltest
