#pragma once
// The named sounds of one actor: fired once through the game's sound front-end, or held as a
// voice (SoundHandle) that can loop, be stopped and follow a node of the actor in 3D.

#include <cstdint>
#include <string>
#include <vector>

class Object;
class ObjectNode;
class SoundHandle;
class World;

struct SoundEntry {
    std::string name;
    bool loop = false;
    bool autoPlay = false;
    bool controlled = false;  // held as a handle (stoppable); else fired once
    int32_t channel = 1;
    Object* node = nullptr;   // followed in 3D; none: 2D
    std::string sound;        // name in the sound table
    SoundHandle* handle = nullptr;  // made on first play, owned
};

class ActorSoundList {
public:
    ActorSoundList() = default;
    // Every handle stopped and released.
    ~ActorSoundList();
    ActorSoundList(const ActorSoundList&) = delete;
    ActorSoundList& operator=(const ActorSoundList&) = delete;

    // "music" 0, "menu" 2, "game" 3, anything else 1.
    static int32_t channelOfGroup(const char* group);

    // Entries from the "sound" and "sound2d" properties of the actor's object-file description.
    void bind(Object* actor, World* world);
    void bind(Object* actor, const ObjectNode* description);
    // Entries from the configuration list under the prefix (".sounds"), appended.
    void load(const std::string& prefix, Object* actor);

    bool play(const std::string& name);
    // Stops the held voices of that name; true when an entry has the name.
    bool stop(const std::string& name);
    void playAll();
    void stopAll();
    // Held voices that play follow their nodes.
    void update();

    std::vector<SoundEntry*> _entries;
    bool _enabled = true;

private:
    void playEntry(SoundEntry& entry);
};
