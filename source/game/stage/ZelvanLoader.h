#pragma once
// The loader: the queue of load steps the stage runs one per frame while the loading panel shows
// the weighted progress. Null entries stand for frames in which nothing is loaded. The steps of
// the game's own data are here; a level group set queues its steps itself
// (track/ZelvanLevelLoadSteps.h).

#include <deque>
#include <string>

#include "game/stage/ZelvanLoad.h"
#include "game/track/ZelvanLevelSet.h"

namespace Zelvan {

class BoostContainer;
class ProxyContainer;
class WordContainer;

class Loader : public LoadQueue {
public:
    static Loader* create() { return new Loader; }
    Loader() {}
    ~Loader() override;
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    // Takes ownership; a null entry is a frame without loading.
    void push(Load* step) override;
    // The first entry; null when the queue is empty or the first entry is null.
    Load* front() const;
    // Runs and removes the first entry (its result is not used).
    void popAndRun();
    // Percent done by weight; 100 when nothing weighs.
    float progress() const;
    bool empty() const { return _steps.empty(); }
    size_t size() const { return _steps.size(); }
    float totalWeight() const { return _totalWeight; }

    std::deque<Load*> _steps;
    float _totalWeight = 0;
};

// Shows the title and the loading panel.
class LoadBegin : public Load {
public:
    LoadBegin() : Load(0.0f) {}
    bool load() override;
};

class LoadMenu : public Load {
public:
    bool load() override;
};

class LoadSound : public Load {
public:
    bool load() override;
};

class LoadWords : public Load {
public:
    explicit LoadWords(WordContainer* words) : container(words) {}
    bool load() override;
    WordContainer* container;
};

class LoadBoosts : public Load {
public:
    explicit LoadBoosts(BoostContainer* boosts) : container(boosts) {}
    bool load() override;
    BoostContainer* container;
};

class LoadProxy : public Load {
public:
    explicit LoadProxy(ProxyContainer* proxies) : container(proxies) {}
    bool load() override;
    ProxyContainer* container;
    std::string name;
};

class LoadAtmosphere : public Load {
public:
    explicit LoadAtmosphere(const std::string& name_) : name(name_) {}
    bool load() override;
    std::string name;
};

class LoadLevelSkin : public Load {
public:
    explicit LoadLevelSkin(const std::string& name_) : name(name_) {}
    bool load() override;
    std::string name;
};

class LoadLevelCameras : public Load {
public:
    bool load() override;
};

class LoadLevelItem : public Load {
public:
    explicit LoadLevelItem(const std::string& name_) : name(name_) {}
    bool load() override;
    std::string name;
};

class LoadActorCharacter : public Load {
public:
    explicit LoadActorCharacter(const std::string& name_) : name(name_) {}
    bool load() override;
    std::string name;
};

class LoadActorPlayer : public Load {
public:
    explicit LoadActorPlayer(const std::string& name_) : name(name_) {}
    bool load() override;
    std::string name;
};

// The last step: start selections, the shop's start values, the services, then the main menu or,
// without a menu, a run.
class LoadEnd : public Load {
public:
    LoadEnd() : Load(1.0f, "#text_menu_loading_init") {}
    bool load() override;

private:
    void startSocialPlatform();
};

}  // namespace Zelvan
