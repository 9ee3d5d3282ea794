#pragma once
// The credits screen: the credits text in the item "scroll", rising without end between two
// marker nodes of the page (".objectUp" and ".objectDown"): once the whole text has passed above
// the upper marker it comes back below the lower one, and the other way round. A finger drags the
// text; let go, it keeps the drag's speed (at most ".velocityMax") and eases back to
// ".velocityDefault" (".velocityDamp": the fraction of the difference left after one second).
// Only the lines wholly between the markers are shown, as text is drawn over the page's covers.
// Touches that hit a button are left to the button.

#include <cstdint>
#include <string>

#include "game/menu/ZelvanMenuExtension.h"

class Object;
class Panel;

namespace Zelvan {

class MenuCreditsExt : public MenuExtension {
public:
    // The credits, as a text format (a percent sign written doubled).
    static const char* const kCreditsText;

    // Null without a panel. A marker the page lacks stops the program (a configuration error).
    static MenuCreditsExt* create(const std::string& name, Panel* panel);
    MenuCreditsExt(const std::string& name, Panel* panel);

    void onShow(bool back) override;
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;
    void update(float dt) override;

    // The node of the item "scroll"; null when the panel has none.
    Object* scrollNode() const;
    // The whole text's lower and upper edge (world z), as measured when the screen was shown;
    // false before that or without the item.
    bool textExtent(float& bottom, float& top) const;
    float getVelocity() const { return _velocity; }

    Panel* _panel = nullptr;
    float _velocityDefault = 0.5f;
    float _velocityMax = 10.0f;
    float _velocityDamp = 0.1f;
    Object* _objectUp = nullptr;
    Object* _objectDown = nullptr;
    bool _dragging = false;
    bool _moved = false;
    Vector3 _lastPoint;
    Vector3 _drag;
    float _velocity = 0;
    // The whole text's top and bottom relative to the node, and the lines shown.
    bool _measured = false;
    float _above = 0, _below = 0;
    int _firstShown = -1, _lastShown = -1;

private:
    Vector3 worldPoint(const Vector3& point) const;
    // Shows the lines wholly between the markers, the others as empty lines.
    void showWindow();
    Object* findMarker(const char* key);
};

}  // namespace Zelvan
