#pragma once
// Boosts: effects the player's train receives from gifts and completed words. The container makes
// them by name from the "boost.boosts" definitions, keeps the idle ones for reuse, and owns every
// instance; the train keeps the active ones in a BoostList ordered by priority and updates them
// every frame until they report they are done.

#include <cstdint>
#include <string>
#include <vector>

struct PlayerGoods;

namespace Zelvan {

class ActorPlayer;
class BoostContainer;

// Float configuration values stored as integers, clamped into range first (a truncating cast of
// an out-of-range float is undefined).
int32_t floatToInt32(float v);
uint32_t floatToUint32(float v);

class Boost {
public:
    // Type flags, one bit per kind; the configuration names them by the keys of the type table.
    enum Type {
        TypeGoods = 1,
        TypeGoodsMultiplier = 2,
        TypeMagnet = 4,
        TypeShield = 8,
        TypeHit = 16,
        TypeSpeed = 32,
        TypeEnergy = 64,
        TypeBrake = 128,
        TypeLetter = 256,
        TypeCamera = 512,
        TypeRandom = 1024,
    };

    explicit Boost(int32_t type = 0) : _type(type) {}
    virtual ~Boost() {}
    Boost(const Boost&) = delete;
    Boost& operator=(const Boost&) = delete;

    // The drawn boost's name of a random boost; empty otherwise.
    virtual std::string getInnerName() const { return std::string(); }
    // Share of the effect's time that has passed, 0 to 100; an instant boost is done (100).
    virtual float getProgress() const { return 100.0f; }
    // Reads the keys under the prefix; a missing key keeps the field's current value.
    virtual void load(const std::string& prefix);
    virtual void activate() { _firstUpdate = true; }
    // Cuts a timed boost short; it ends at its next update.
    virtual void deactivate() {}
    // Runs once a frame while the boost is in the train's list; false when the boost is done.
    // The base counts the analytics counter on the first update and is done at once.
    virtual bool update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt);

    int32_t _type;
    std::string _name;
    std::string _textMessage;
    int32_t _priority = 0;
    bool _onlyOne = false;
    bool _character = false;
    bool _firstUpdate = true;
    std::string _analytics;
    BoostContainer* _container = nullptr;  // not owned
};

// A row of the type table: the configuration key, the type flag and the maker of that kind.
struct BoostType {
    const char* key;
    int32_t flag;
    Boost* (*create)(int32_t flag);
};
// The eleven kinds, in flag order.
const std::vector<BoostType>& boostTypeTable();
const BoostType* findBoostType(const std::string& key);
const BoostType* findBoostType(int32_t flag);

struct BoostDefinition {
    std::string name;
    std::string prefix;  // the list entry under which its keys live
    int32_t flag = 0;
};

class BoostContainer {
public:
    static BoostContainer* create() { return new BoostContainer; }

    BoostContainer() {}
    virtual ~BoostContainer() { clear(); }
    BoostContainer(const BoostContainer&) = delete;
    BoostContainer& operator=(const BoostContainer&) = delete;

    // Forgets everything, then reads the definitions listed under "boost.boosts". An entry whose
    // ".type" names no kind is skipped.
    void load();
    // A boost of that name, activated: an idle one when there is one (it keeps the values it was
    // loaded with), else a new one made and loaded from the first definition of that name.
    // Null when neither exists.
    Boost* acquire(const std::string& name);
    // Takes back a boost handed out by acquire; false for any other pointer.
    bool release(Boost* boost);
    // Deletes every boost, idle or handed out, and every definition.
    void clear();

    const std::vector<BoostDefinition>& definitions() const { return _definitions; }
    const std::vector<Boost*>& idle() const { return _idle; }
    const std::vector<Boost*>& active() const { return _active; }

protected:
    // Makes a boost of the definition's kind through the type table.
    virtual Boost* createBoost(const BoostDefinition& definition);

private:
    std::vector<BoostDefinition> _definitions;
    std::vector<Boost*> _idle;    // in the order they were given back
    std::vector<Boost*> _active;  // in hand-out order
};

// The train's active boosts, lowest priority first, so a boost of higher priority is updated later
// and its writes to the goods record prevail. It owns none of them.
class BoostList {
public:
    // A new onlyOne boost first cuts every onlyOne boost in the list short. The boost goes before
    // the first boost of higher priority (after those of equal priority). Null is ignored.
    void add(Boost* boost);
    // Every boost's update in list order; a boost that is done leaves the list and goes back to
    // its container.
    void update(PlayerGoods& record, ActorPlayer* actorPlayer, float dt);
    // Cuts every boost short (they leave at their next update).
    void deactivateAll();
    // Cuts every boost of a kind short.
    void deactivateType(int32_t flag);
    // Every boost back to its container, the list emptied.
    void releaseAll();

    size_t size() const { return _boosts.size(); }
    bool empty() const { return _boosts.empty(); }
    Boost* operator[](size_t i) const { return _boosts[i]; }
    std::vector<Boost*>::const_iterator begin() const { return _boosts.begin(); }
    std::vector<Boost*>::const_iterator end() const { return _boosts.end(); }

private:
    std::vector<Boost*> _boosts;
};

}  // namespace Zelvan
