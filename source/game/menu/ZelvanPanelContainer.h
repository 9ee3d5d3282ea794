#pragma once
// The interface world of the menu: creates every panel a panel set names in configuration, owns
// them, gives them one shared particle system, updates the visible ones each frame and passes
// them the touches of the first finger. Its default render target draws the interface over the
// game (depth cleared, colour kept).
//
// Configuration under the container's name: ".textScale" (object scale, default 0.3) and
// ".scrollMul" (three drag multipliers, default 100,100,100); under a set's name: ".pages".

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/ui/UIObject.h"

class Panel;
class PanelItem;
class UiEventHandler;

namespace Zelvan {

class PanelContainer : public UIObject {
public:
    // The particle system's event handler: hands released emitters to the panels.
    class ParticleEvent : public IPSEventHandler {
    public:
        void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override;
        PanelContainer* _container = nullptr;
    };

    static PanelContainer* create(UiEventHandler* handler, const std::string& name);
    PanelContainer(UiEventHandler* handler, const std::string& name);
    // The particle system goes first (its emitters told to the live panels), then the panels.
    ~PanelContainer() override;

    // Appends the panels of the set's ".pages" list, each bound to the particle system.
    void loadPanels(UiEventHandler* handler, const std::string& setName);
    // loadPanels with the container's handler, then the screen-edge alignment of every page.
    void load(const std::string& setName);
    Panel* findPanel(const std::string& name) const;
    bool setItemText(const std::string& panel, const std::string& item, int32_t line, const std::string& text);
    bool setItemVisible(const std::string& panel, const std::string& item, bool visible);

    // Every active panel gets the touch, in order; the answer is that of the last panel.
    bool touchBegan(int32_t finger, const Vector3& point);
    bool touchMoved(int32_t finger, const Vector3& point);
    bool touchEnded(int32_t finger, const Vector3& point);

    // Set by the menu controller while a panel change is pending: views get no touches and
    // extensions only the ends of touches they already hold (panels loaded later follow too).
    void setChangePending(bool pending);
    bool isChangePending() const { return _changePending; }

    // The visible panels, the interface world, then the particles.
    using UIObject::update;
    void update(float dt);

    const std::string& getName() const { return _name; }
    UiEventHandler* getEventHandler() const { return _eventHandler; }
    const Vector3& getScrollMul() const { return _scrollMul; }
    const std::vector<Panel*>& getPanels() const { return _panels; }
    PSParticleSystem* getParticleSystem() const { return _particleSystem; }

    std::string _name;
    UiEventHandler* _eventHandler = nullptr;
    Vector3 _scrollMul{100, 100, 100};
    std::vector<Panel*> _panels;
    PSParticleSystem* _particleSystem = nullptr;
    ParticleEvent _particleEvent;
    bool _changePending = false;
};

}  // namespace Zelvan
