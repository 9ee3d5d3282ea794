#pragma once
// The surprise box after a crash. Each time the panel comes it draws one configured gift by its
// relative chance, credits it to the run's goods and readies its node inside the closed box; the
// box idles until tapped, then a short script opens it, names the gift, waits and steps back to
// the next run-end screen. Stars and a light ray behind the box turn all the time.

#include <cstdint>
#include <string>
#include <vector>

#include "game/ZelvanTimers.h"
#include "game/menu/ZelvanMenuExtension.h"

class Object;
class Panel;
class PanelItem;

namespace Zelvan {

class Menu;

class MenuSurpriseExt : public MenuExtension {
public:
    struct Gift {
        std::string textName;
        Object* node = nullptr;
        Object* targetNode = nullptr;  // kept with the gift, used by nothing yet
        std::string goods;
        float addNum = 1.0f;
        float acChance = 1.0f;
    };

    // One step of the opening script.
    class Job {
    public:
        virtual ~Job() {}
        virtual void begin() {}
        virtual void finish() {}
        // True while the job still runs.
        virtual bool update(float dt) = 0;
    };

    class JobVisible : public Job {
    public:
        JobVisible(PanelItem* item, bool visible) : _item(item), _visible(visible) {}
        bool update(float dt) override;
        PanelItem* _item;
        bool _visible;
    };

    // Starts a conductor of an item. waitForEnd: start it again each time the item's animation
    // ends, until finished. startedInitially: first wait for the animation already playing.
    class JobConductor : public Job {
    public:
        JobConductor(PanelItem* item, const std::string& conductor, bool waitForEnd, bool startedInitially)
            : _item(item), _conductor(conductor), _waitForEnd(waitForEnd), _startedInitially(startedInitially) {}
        void begin() override {
            _started = _startedInitially;
            _stopped = false;
        }
        void finish() override { _stopped = true; }
        bool update(float dt) override;
        PanelItem* _item;
        std::string _conductor;
        bool _waitForEnd;
        bool _startedInitially;
        bool _started = false;
        bool _stopped = false;
    };

    class JobWait : public Job {
    public:
        explicit JobWait(float duration) { _countdown.setDuration(duration); }
        void begin() override {
            _countdown.stop();
            _countdown.start();
        }
        void finish() override { _countdown.stop(); }
        bool update(float dt) override;
        Countdown _countdown;
    };

    class JobSelectPop : public Job {
    public:
        explicit JobSelectPop(Menu* menu) : _menu(menu) {}
        bool update(float dt) override;
        Menu* _menu;
    };

    // The goods counters a gift may name: those the totals or the next run keep.
    static bool isGiftGoods(const std::string& goods);

    MenuSurpriseExt(const std::string& name, Menu* menu, Panel* panel);
    ~MenuSurpriseExt() override;

    void onShow(bool back) override;
    void onHide(bool forward) override;
    bool touchBegan(int32_t, const Vector3&) override { return true; }
    bool touchMoved(int32_t, const Vector3&) override { return true; }
    bool touchEnded(int32_t, const Vector3&) override { return true; }
    void update(float dt) override;
    void onHidden() override;

    // The box was tapped: the idle animation ends and the script goes on to open it.
    void open();

    // The gift of the current showing; -1 when none was drawn.
    int32_t getDrawnGift() const { return _drawn; }
    bool isScriptOver() const { return _jobIndex >= _jobs.size(); }

    Panel* _panel = nullptr;
    Menu* _menu = nullptr;
    Object* _stars = nullptr;
    Object* _ray = nullptr;
    float _starsAngularVelocity;
    float _rayAngularVelocity;
    std::vector<Gift> _gifts;
    float _starsAngle = 0;
    float _rayAngle = 0;
    std::vector<Job*> _jobs;
    size_t _jobIndex = 0;
    int32_t _drawn = -1;

private:
    void loadGifts();
    // Index into gifts, or -1 when there are none.
    int32_t drawGift() const;
};

}  // namespace Zelvan
