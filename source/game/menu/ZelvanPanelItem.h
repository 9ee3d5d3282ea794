#pragma once
// One named part of a panel's page: a page node (or a pooled copy of one) with its own animator,
// effects, sounds and conductors, played through the conductors "in", "idle", "out" and
// "click", plus the text nodes and named sub-nodes that screen behaviours fill and switch.
//
// States: 3 hidden -> 0 entering ("in" playing) -> 1 shown ("idle" repeats) -> 2 leaving
// ("out" playing) -> 3. Automatic items follow their panel's show and hide; the others are
// brought in and out by the screens (show, hide, setVisible).
//
// Texts given to setText are formats without arguments: "%%" shows one '%', and every other
// conversion is shown literally. Text from outside the game (names from the network, typed
// text) goes through literalText first so a '%' in it survives.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"

class ActorAnimator;
class ActorSoundList;
class ConductorContainer;
class Object;
class Panel;
class PSEmitter;
class PSParticleSystem;
class Text;
class UIObject;

namespace Zelvan {
class EffectContainer;
}

class PanelItem {
public:
    enum State { StateEntering = 0, StateShown = 1, StateLeaving = 2, StateHidden = 3 };

    // A sub-node an extension switches or colours by name or index.
    struct NamedNode {
        std::string name;
        Object* node = nullptr;
        Object* target = nullptr;  // whose local placement the node took; may be null
    };

    // The item of the key's ".object" node of the panel's page (or the world's EMPTY of that
    // name); null when the name is empty or names no node, or without a world.
    static PanelItem* createFromConfig(UIObject* world, Panel* panel, const std::string& key);
    // Null without a world or node.
    static PanelItem* create(UIObject* world, Object* node, const std::string& key);
    ~PanelItem();
    PanelItem(const PanelItem&) = delete;
    PanelItem& operator=(const PanelItem&) = delete;

    // Name, automatic, size node, texts, named nodes of the key; activates the node only when
    // automatic.
    void load(const std::string& key);

    // Adds the item to (true) or takes it out of (false) its panel's show and hide.
    void setVisible(bool automatic);
    void setColor(const Vector4& colour);
    // line < 0: every text of the item; else the text of that index (out of range or not a
    // text node: nothing).
    void setText(int32_t line, const std::string& text);
    void setText(int32_t line, const char* text);
    void setTextColor(int32_t line, const Vector4& colour);
    // The node of the first named-node entry of that name; null for none or an empty name.
    Object* findNode(const std::string& name) const;
    // False when there is no such entry.
    bool setNodeVisible(int32_t index, bool visible);
    bool setNodeVisible(const std::string& name, bool visible);
    bool setNodeColor(int32_t index, const Vector4& colour);
    // Starts a conductor; false when the item has none of that name.
    bool playAnimation(const std::string& conductor);
    void click();
    void show();
    void hide();
    // 0..3 (see State); a hidden item that is wanted reports 0.
    int32_t state() const;
    // The size node's world box, else the union of the tree's mesh boxes, relative to the item
    // node's world position.
    void getExtent(Vector3& low, Vector3& high) const;
    void setParticleSystem(PSParticleSystem* system);
    bool onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system);
    // Back to rest after the panel left: a non-automatic item that was dropped is put away.
    void reset();
    void update(float dt);
    void updateState();

    // The text with every '%' doubled, for setText with text the game did not write.
    static std::string literalText(const std::string& text);
    // A text given to setText as it is shown: "%%" gives '%', anything else is kept as written.
    static std::string formatText(const char* text);

    const std::string& getKey() const { return _key; }
    const std::string& getName() const { return _name; }
    Object* getNode() const { return _node; }
    Object* getSizeNode() const { return _sizeNode; }
    bool isAutomatic() const { return _automatic; }
    bool isWanted() const { return _wanted; }
    const std::vector<Text*>& getTexts() const { return _texts; }
    const std::vector<NamedNode>& getNamedNodes() const { return _namedNodes; }
    ActorAnimator* getAnimator() const { return _animator; }
    Zelvan::EffectContainer* getEffects() const { return _effects; }
    ActorSoundList* getSounds() const { return _sounds; }
    ConductorContainer* getConductors() const { return _conductors; }

    std::string _key;
    std::string _name;
    Object* _node = nullptr;
    Object* _sizeNode = nullptr;
    bool _automatic = true;
    std::vector<Text*> _texts;
    std::vector<NamedNode> _namedNodes;
    ActorAnimator* _animator = nullptr;
    Zelvan::EffectContainer* _effects = nullptr;
    ActorSoundList* _sounds = nullptr;
    ConductorContainer* _conductors = nullptr;
    bool _wanted = false;
    int32_t _state = StateHidden;

private:
    PanelItem() = default;
    bool isPlaying() const;
    // Lets every looping key-frame animation of the tree end its current cycle.
    void endLoops();
};
