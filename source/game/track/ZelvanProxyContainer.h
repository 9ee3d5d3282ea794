#pragma once
// The decorations of the track. Levels are built with empty placeholder nodes whose names say
// what may stand there; for each kind of placeholder (a proxy) the container holds weighted lists
// of object files, with rules that let a kind show more often as the run goes on, only after a
// delay, a limited number of times per level and with a fixed mix of types per level.
//
// A level's visit: hasProxy for each placeholder (which group may show there), prepareLevel,
// spawn for each visible placeholder, updateDelays; release gives the objects back.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class Object;
class ObjectPool;
class World;

namespace Zelvan {

struct ProxyObject {
    bool enabled = true;
    float weight = 0;
    ObjectPool* pool = nullptr;  // the world's pool for the object file
};

struct ProxyGroup {
    std::string name;
    float difficultyVisiblePercentMin = 100;
    float difficultyVisiblePercentMax = 100;
    float difficultyVisiblePercentTime = 0;
    float visibleDelayMin = 0;
    float visibleDelayMax = 0;
    int32_t typePerLevel = 0;
    std::vector<ProxyObject> objects;
    std::vector<int32_t> levelTypes;  // object indices drawn for the current level
    float nextVisible = 0;            // container time from which the group may show again
};

struct Proxy {
    Proxy() = default;
    ~Proxy();
    Proxy(const Proxy&) = delete;
    Proxy& operator=(const Proxy&) = delete;

    std::string name;          // placeholders whose names begin with it; empty matches every node
    int32_t numPerLevel = 0;   // 0: no limit
    std::vector<ProxyGroup*> groups;  // owned
    int32_t count = 0;         // objects handed out for the current level
};

class ProxyContainer {
public:
    static ProxyContainer* create();

    ProxyContainer() = default;
    ~ProxyContainer();
    ProxyContainer(const ProxyContainer&) = delete;
    ProxyContainer& operator=(const ProxyContainer&) = delete;

    // Reads section + ".proxies". An object file that cannot be loaded is an authoring error and
    // stops the program.
    void load(World* world, const std::string& section);
    // Deletes every proxy; the time stays.
    void clear();
    // A run starts: time 0 and a fresh delay for every group.
    void reset();
    void addTime(float seconds);
    // A level is about to be decorated: per-level counts and level types drawn again.
    void prepareLevel();
    // Whether a decoration may show on the placeholder now. The group that passed is kept for
    // that placeholder until spawn takes it (or the level's decoration ends with updateDelays).
    bool hasProxy(const std::string& nodeName, float percentage);
    // An object from a pool for the placeholder, placed at the origin; none when nothing may
    // stand there.
    Object* spawn(const std::string& nodeName, bool buildPhysics);
    // Renews the delay of every group whose time has come; ends a level's decoration.
    void updateDelays();
    void release(Object* object);
    ProxyObject* findObject(const std::string& name, const std::string& objectFile);
    bool setObjectEnabled(const std::string& name, const std::string& objectFile, bool enabled);
    // Weighted draw over the enabled entries: an index, or -1.
    int32_t pickType(const ProxyGroup& group);

    World* _world = nullptr;
    std::vector<Proxy*> _proxies;  // owned, configuration order
    float _time = 0;

private:
    Proxy* findProxy(const std::string& nodeName) const;
    float nextVisibleFrom(const ProxyGroup& group) const;

    // Placeholder name -> group index that passed its visibility test (-1: none). Entries are
    // kept once made so the steady state of a run allocates nothing here.
    std::unordered_map<std::string, int32_t> _chosenGroups;
};

}  // namespace Zelvan
