#pragma once
// The behaviour of one menu screen, attached to its panel: the panel tells it when it is shown
// and hidden, offers it the touches no view took (or every touch, when it accepts touches over
// views) and updates it every frame while the panel is visible. Extensions are owned by whoever
// made them (the menu controller); panels keep plain pointers.

#include <cstdint>
#include <string>

#include "engine/math.h"

namespace Zelvan {

class PanelExtension {
public:
    PanelExtension() = default;
    // name: the configuration prefix the extension reads its settings under.
    explicit PanelExtension(const std::string& name) : _name(name) {}
    virtual ~PanelExtension() {}
    PanelExtension(const PanelExtension&) = delete;
    PanelExtension& operator=(const PanelExtension&) = delete;

    // back: the player returned to the panel (keep state, skip one-time actions).
    virtual void onShow(bool back) { (void)back; }
    // forward: the incoming panel comes by a forward move.
    virtual void onHide(bool forward) { (void)forward; }
    // True: the extension is offered touches that also hit a view.
    virtual bool acceptsTouchOverView() { return false; }
    // The point is the finger position normalised to the screen, y down (0 at the top edge).
    // True from touchBegan makes the extension the panel's touched extension, which alone
    // receives the following moves and the end.
    virtual bool touchBegan(int32_t finger, const Vector3& point) {
        (void)finger;
        (void)point;
        return false;
    }
    virtual bool touchMoved(int32_t finger, const Vector3& point) {
        (void)finger;
        (void)point;
        return false;
    }
    virtual bool touchEnded(int32_t finger, const Vector3& point) {
        (void)finger;
        (void)point;
        return false;
    }
    virtual void update(float dt) { (void)dt; }
    // Every automatic item of the panel finished leaving and the page was taken off screen.
    virtual void onHidden() {}

    const std::string& getName() const { return _name; }

    std::string _name;
};

}  // namespace Zelvan
