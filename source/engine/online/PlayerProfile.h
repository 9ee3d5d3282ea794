#pragma once
// The base of every person the social services know of, the player included. As a chunk owner it
// keeps nothing of its own in the profile file; the player's own profile overrides both operations.

#include "engine/online/ProfileChunk.h"

class PlayerProfile : public IProfileChunk {
public:
    ~PlayerProfile() override {}
    void onSave(const std::string& name, FileBuffer& buffer) override {
        (void)name;
        (void)buffer;
    }
    void onLoad(const std::string& name, FileBuffer& buffer) override {
        (void)name;
        (void)buffer;
    }
};
