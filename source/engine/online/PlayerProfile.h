#pragma once
// The base of every person the social services know of, the player included: the identity values
// the social network, the game centre and the identity server give that person, and the names of
// their picture files. As a chunk owner it keeps nothing of its own in the profile file; the
// player's own profile overrides both chunk operations.

#include <map>
#include <string>

#include "engine/online/ProfileChunk.h"

class PlayerProfile : public IProfileChunk {
public:
    typedef std::map<std::string, std::string> Values;

    ~PlayerProfile() override {}
    void onSave(const std::string& name, FileBuffer& buffer) override {
        (void)name;
        (void)buffer;
    }
    void onLoad(const std::string& name, FileBuffer& buffer) override {
        (void)name;
        (void)buffer;
    }
    // Right after a factory has made the profile.
    virtual void onCreated() {}
    // Right before the social platform saves the profile because the application pauses.
    virtual void onSuspend() {}
    // The identity values as the identity server takes them ("gen_id", "ud_id", "name", and "fb_id" /
    // "gc_id" for the services the person is known from).
    virtual void writeValues(Values& values) const;
    // Takes them back. A key that is present replaces the value (an empty one empties it); a key
    // that is missing keeps it, so a record that does not mention a service leaves what is known
    // of the person there. A non-empty "fb_id" / "gc_id" sets that service's flag; reading never
    // clears a flag.
    virtual void readValues(const Values& values);

    // The social network's name when known from there, else the game-centre alias.
    const std::string& displayName() const { return facebook ? facebookName : gameCenterAlias; }

    std::string globalId;  // "gen_id", from the identity server
    std::string deviceId;  // "ud_id"
    bool facebook = false;
    bool facebookPictureReady = false;
    std::string facebookId;
    std::string facebookName;
    std::string facebookPicture;     // "pic." + id + ".jpg" in the documents folder
    std::string facebookPictureUrl;  // where it is fetched from
    bool gameCenter = false;
    bool gameCenterPictureReady = false;
    std::string gameCenterId;
    std::string gameCenterAlias;
    std::string gameCenterPicture;  // "pic." + id + ".jpg", "pic.gcme.jpg" for the player
};

inline void PlayerProfile::writeValues(Values& values) const {
    values["gen_id"] = globalId;
    values["ud_id"] = deviceId;
    values["name"] = (facebook || gameCenter) ? displayName() : std::string();
    if (facebook)
        values["fb_id"] = facebookId;
    if (gameCenter)
        values["gc_id"] = gameCenterId;
}

inline void PlayerProfile::readValues(const Values& values) {
    auto take = [&values](const char* key, std::string& into) {
        auto it = values.find(key);
        if (it != values.end())
            into = it->second;
    };
    take("gen_id", globalId);
    take("ud_id", deviceId);
    take("fb_id", facebookId);
    if (!facebookId.empty() && values.count("fb_id"))
        facebook = true;
    take("gc_id", gameCenterId);
    if (!gameCenterId.empty() && values.count("gc_id"))
        gameCenter = true;
}
