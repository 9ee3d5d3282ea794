#pragma once
// The game modes: what turns the player's input into actions of the train while a run goes.
// "rush" reads swipes, the direction keys and tilt, latches them into four gestures that stay
// active for a short while, acts on them, and steers the train alone while its autopilot,
// hit or damage effects run. "robbery" has no controls of its own.
//
// The stage owns one instance of every mode, calls init once, reset at the start of each run,
// update every running frame in which the train has not crashed, and release before deleting it.

#include <cstdint>
#include <string>

#include "engine/math.h"

class Camera;
class World;

namespace Zelvan {

class ActorPlayer;
class Control;
class Level;
class Rail;
class Road;
struct NearRail;

// What a mode receives each frame; it lives only for the call.
struct GameEnv {
    World* world = nullptr;
    Camera* camera = nullptr;  // the stage camera's camera
    Control* control = nullptr;
    ActorPlayer* player = nullptr;
    Road* road = nullptr;
    float distance = 0;  // the player's distance along the current level
    float dt = 0;
};

class Game {
public:
    explicit Game(const std::string& name) : _name(name) {}
    virtual ~Game() {}
    virtual void init() {}
    virtual void release() {}
    virtual void reset() {}
    virtual void update(const GameEnv& env) { (void)env; }

    const std::string& getName() const { return _name; }

    std::string _name;
};

// The rail questions the rush mode asks the road. The road answers them (RoadRailQueries below);
// tests may answer in its place.
class RailQueries {
public:
    virtual ~RailQueries() {}
    // The rails a rail change to either side reaches within the window of distances ahead of
    // the player; the records come in cleared and a side without a rail leaves without one.
    virtual void findSwitchRails(NearRail& left, NearRail& right, ActorPlayer* player, const Vector2& window,
                                 int kinds, int modes) = 0;
    virtual void initNearRail(NearRail& near, ActorPlayer* player) = 0;
    // 1 while the move ends on a rail.
    virtual int advanceNearRail(NearRail& near, float* moved, float distance, bool commit) = 0;
    // Clears the record when it answers true.
    virtual bool isNearRailBlocked(NearRail& near, float from, float to, int kinds, int modes) = 0;
};

// The road's own answers.
class RoadRailQueries : public RailQueries {
public:
    explicit RoadRailQueries(Road* road = nullptr) : _road(road) {}
    void findSwitchRails(NearRail& left, NearRail& right, ActorPlayer* player, const Vector2& window, int kinds,
                         int modes) override;
    void initNearRail(NearRail& near, ActorPlayer* player) override;
    int advanceNearRail(NearRail& near, float* moved, float distance, bool commit) override;
    bool isNearRailBlocked(NearRail& near, float from, float to, int kinds, int modes) override;

    Road* _road;
};

class GameRush : public Game {
public:
    enum Gesture { GestureLeft, GestureRight, GestureUp, GestureDown, GestureCount };

    struct GestureLatch {
        float _time = 0;  // seconds the gesture stays active
        uint8_t _active = 0;
    };

    static GameRush* create() { return new GameRush; }
    GameRush() : Game("rush") {}

    void reset() override;
    void update(const GameEnv& env) override;

    // Turns this frame's keys and swipes into the four latches.
    void updateGestures(float dt, Control* control);
    // Rail change, leap or dash, brake or cry, and the waggle from tilt.
    void applyGestures(const GameEnv& env);
    // Steers the train alone: changes rail before the rail ends or (avoid) before something in
    // the way, leaps over shield obstacles (avoid and leap), and with itemMasks only onto rails
    // that are clear themselves.
    void autopilot(const GameEnv& env, bool avoid, bool itemMasks, bool leap);

    // Answers the rail questions in place of the road (not owned; null: the road of the frame).
    void setRailQueries(RailQueries* queries) { _queries = queries; }

    bool isActive(Gesture g) const { return _latches[g]._active != 0; }

    uint8_t _fingerUsed[10] = {};
    GestureLatch _latches[GestureCount];
    uint8_t _leftRefused = 0, _rightRefused = 0;

private:
    RailQueries& queries(const GameEnv& env);

    RailQueries* _queries = nullptr;
    RoadRailQueries _roadQueries;
};

class GameRobbery : public Game {
public:
    static GameRobbery* create() { return new GameRobbery; }
    GameRobbery() : Game("robbery") {}
    void update(const GameEnv& env) override;
};

}  // namespace Zelvan
