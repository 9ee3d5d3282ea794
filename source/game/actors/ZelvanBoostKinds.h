#pragma once
// The eleven boost kinds behind the type keys of "boost.boosts". Each reads its own keys after the
// base keys and acts on the train through the goods record its update receives (rewritten every
// frame, since the train clears the effect fields before the boosts run), through the named
// counters, and through a few train and camera-stack operations.

#include <cstdint>
#include <string>
#include <vector>

#include "game/ZelvanTimers.h"
#include "game/actors/ZelvanBoost.h"

namespace Zelvan {

class CameraStacks;

// A boost that runs for a fixed time on a countdown.
class BoostTimed : public Boost {
public:
    explicit BoostTimed(int32_t type) : Boost(type) { _timer.setDuration(5.0f); }
    float getProgress() const override { return (1.0f - _timer.ratio()) * 100.0f; }
    void load(const std::string& prefix) override;
    void activate() override;
    void deactivate() override { _timer.stop(); }
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;

    Countdown _timer;

protected:
    // The record's flag and percentage of the kind.
    virtual void mark(PlayerGoods& record, float percent) = 0;
    virtual void running(PlayerGoods& record, ActorPlayer* actorPlayer) {
        (void)record;
        (void)actorPlayer;
    }
    virtual void closing(PlayerGoods& record, ActorPlayer* actorPlayer) {
        (void)record;
        (void)actorPlayer;
    }
};

class BoostGoods : public Boost {
public:
    BoostGoods() : Boost(TypeGoods) {}
    void load(const std::string& prefix) override;
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;

    std::string _goods;
    float _num = 1.0f;
};

class BoostGoodsMultiplier : public BoostTimed {
public:
    BoostGoodsMultiplier() : BoostTimed(TypeGoodsMultiplier) {}
    void load(const std::string& prefix) override;
    void activate() override;

    std::string _goods;
    uint32_t _mul = 2;
    bool _raiseDue = false;
    bool _raised = false;

protected:
    void mark(PlayerGoods& record, float percent) override;
    void running(PlayerGoods& record, ActorPlayer* actorPlayer) override;
    void closing(PlayerGoods& record, ActorPlayer* actorPlayer) override;
};

class BoostMagnet : public BoostTimed {
public:
    BoostMagnet() : BoostTimed(TypeMagnet) {}
    void load(const std::string& prefix) override;
    float _itemSphere = 20.0f;

protected:
    void mark(PlayerGoods& record, float percent) override;
    void running(PlayerGoods& record, ActorPlayer* actorPlayer) override;
    void closing(PlayerGoods& record, ActorPlayer* actorPlayer) override;
};

class BoostShield : public BoostTimed {
public:
    BoostShield() : BoostTimed(TypeShield) {}

protected:
    void mark(PlayerGoods& record, float percent) override;
};

class BoostHit : public BoostTimed {
public:
    BoostHit() : BoostTimed(TypeHit) {}
    void load(const std::string& prefix) override;
    bool _damage = false;  // grace period at the end

protected:
    void mark(PlayerGoods& record, float percent) override;
    void closing(PlayerGoods& record, ActorPlayer* actorPlayer) override;
};

// Holds one entry on the stage's camera stacks while it runs.
struct BoostCameraHold {
    CameraStacks* stacks = nullptr;  // where the handle lives
    int32_t handle = 0;
    // Pushes the named level camera at priority 2 when none is held; tried every frame.
    void push(ActorPlayer* actorPlayer, const std::string& name);
    void pop();
};

class BoostSpeed : public Boost {
public:
    BoostSpeed();
    ~BoostSpeed() override { _camera.pop(); }
    float getProgress() const override;
    void load(const std::string& prefix) override;
    void activate() override;
    void deactivate() override;
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;

    EnvelopeTimer _timer;
    float _speedUp = 5.0f;
    bool _shield = false, _hit = false, _autopilot = false, _damage = false;
    std::string _cameraName;
    BoostCameraHold _camera;
    bool _cut = false;
};

class BoostEnergy : public Boost {
public:
    BoostEnergy() : Boost(TypeEnergy) {}
    void load(const std::string& prefix) override;
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;
    float _addEnergy = 0;
    float _addEnergyPercent = 0;
};

class BoostBrake : public Boost {
public:
    BoostBrake() : Boost(TypeBrake) {}
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;
};

class BoostLetter : public Boost {
public:
    BoostLetter() : Boost(TypeLetter) {}
    void load(const std::string& prefix) override;
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;
    std::string _letters;
};

class BoostCamera : public BoostTimed {
public:
    BoostCamera() : BoostTimed(TypeCamera) {}
    ~BoostCamera() override { _camera.pop(); }
    void load(const std::string& prefix) override;
    void activate() override;
    bool _shield = false, _hit = false, _autopilot = false, _damage = false;
    std::string _cameraName;
    BoostCameraHold _camera;

protected:
    void mark(PlayerGoods& record, float percent) override;
    void running(PlayerGoods& record, ActorPlayer* actorPlayer) override;
    void closing(PlayerGoods& record, ActorPlayer* actorPlayer) override;
};

class BoostRandom : public Boost {
public:
    BoostRandom() : Boost(TypeRandom) {}
    ~BoostRandom() override;
    std::string getInnerName() const override { return _inner ? _inner->_name : std::string(); }
    float getProgress() const override { return _inner ? _inner->getProgress() : 100.0f; }
    void load(const std::string& prefix) override;
    void activate() override;
    void deactivate() override {
        if (_inner)
            _inner->deactivate();
    }
    bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt) override;

    std::vector<std::string> _boosts;
    Boost* _inner = nullptr;

private:
    void releaseInner();
};

// The makers of the type table.
Boost* createBoostKind(int32_t flag);

}  // namespace Zelvan
