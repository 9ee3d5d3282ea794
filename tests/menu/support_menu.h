#pragma once
// Helpers of the menu tests: a panel container over a temporary bundle holding two small page
// sets ("title" and "menu") made with the content writers, a handler whose events count their
// runs, an extension that records what its panel tells it, and finger-0 touches aimed at the
// projected centre of a page node.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"
#include "engine/ui/UiEvent.h"
#include "game/menu/ZelvanPanelExtension.h"

class Object;
class Panel;
class PanelItem;

namespace Zelvan {
class PanelContainer;
}

namespace menutest {

// An event that counts how often it ran.
class CountingEvent : public UiEvent {
public:
    explicit CountingEvent(const char* name) : UiEvent(name) {}
    void execute(View*) override {
        ++runs;
        if (action)
            action();
    }
    int runs = 0;
    std::function<void()> action;  // run after counting, when set
};

// The events the fixture pages bind: every button's "onTouchUpInside" and the start button's
// "onTouch".
class RecordingHandler : public UiEventHandler {
public:
    RecordingHandler();
    int runs(const std::string& name) const;
    CountingEvent* event(const std::string& name) const;
    void clear();
    std::vector<std::unique_ptr<CountingEvent>> owned;
};

// Every call its panel makes, as text ("show 0", "hide 1", "hidden", "began", "moved",
// "ended"); updates are counted apart.
class RecordingExtension : public Zelvan::PanelExtension {
public:
    RecordingExtension() : Zelvan::PanelExtension("test_extension") {}
    void onShow(bool back) override { calls.push_back(std::string("show ") + (back ? "1" : "0")); }
    void onHide(bool forward) override { calls.push_back(std::string("hide ") + (forward ? "1" : "0")); }
    bool acceptsTouchOverView() override { return overViews; }
    bool touchBegan(int32_t, const Vector3&) override {
        calls.push_back("began");
        return takeTouches;
    }
    bool touchMoved(int32_t, const Vector3&) override {
        calls.push_back("moved");
        return true;
    }
    bool touchEnded(int32_t, const Vector3&) override {
        calls.push_back("ended");
        return true;
    }
    void update(float) override { ++updates; }
    void onHidden() override { calls.push_back("hidden"); }
    int count(const std::string& call) const;

    std::vector<std::string> calls;
    int updates = 0;
    bool takeTouches = false;
    bool overViews = false;
};

// Writes the fixture bundle, points the stores at it and loads its configuration; the
// container is made on demand.
class PanelFixture : public ::testing::Test {
protected:
    PanelFixture();
    ~PanelFixture() override;

    Zelvan::PanelContainer* container();
    // Both sets, "title" first.
    Zelvan::PanelContainer* loadBoth();
    void destroyContainer();

    // One frame of 1/60 s.
    void frame(int count = 1);
    // Frames until the test holds (at most limit); whether it held.
    template <class Test>
    bool runUntil(Test test, int limit = 600) {
        for (int i = 0; i < limit; ++i) {
            if (test())
                return true;
            frame();
        }
        return test();
    }

    // The finger point (normalised, y down) at the projected centre of the node's bounds.
    Vector3 fingerAt(Object* node) const;
    Vector3 fingerAt(const std::string& panel, const std::string& node) const;
    // Screen position (x right, y up, 0..1) of a world point through the active camera.
    Vector3 screenOf(const Vector3& world) const;
    void tap(const Vector3& finger);
    void press(const Vector3& finger);
    void drag(const Vector3& finger);
    void lift(const Vector3& finger);

    Panel* panel(const std::string& name) const;
    PanelItem* item(const std::string& panel, const std::string& item) const;
    Object* node(const std::string& panel, const std::string& name) const;

    // Configuration text read into the global store (emptied at the end).
    void loadConfig(const std::string& text);
    void writeData(const std::string& path, const std::vector<uint8_t>& bytes);
    void writeData(const std::string& path, const std::string& text);

    testsupport::TempDir _dir;
    std::unique_ptr<testsupport::ScopedStores> _stores;
    testsupport::FixedSizeGame _screen{540, 960};
    class IGame* _oldGame = nullptr;
    RecordingHandler _handler;
    Zelvan::PanelContainer* _container = nullptr;
    int _configCount = 0;
};

// Empties the resource caches, fonts included (the worlds using them must be gone).
void releaseResources();

}  // namespace menutest
