#include "game/menu/ZelvanPanelItem.h"

#include "engine/ConfigStore.h"
#include "engine/bounds.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Object.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "engine/ui/UIObject.h"
#include "engine/ui/UiText.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanObjectTree.h"
#include "game/menu/ZelvanPanel.h"

namespace {

template <class Visit>
void visitTree(Object* node, Visit&& visit) {
    visit(node);
    for (size_t i = 0; i < node->_children.size(); ++i)
        visitTree(node->_children[i], visit);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Creation

PanelItem* PanelItem::createFromConfig(UIObject* world, Panel* panel, const std::string& key) {
    if (!world || !panel)
        return nullptr;
    const std::string objectName = ConfigStore::instance().getString(key + ".object", "");
    if (objectName.empty())
        return nullptr;
    Object* node = panel->findNode(objectName);
    if (!node)
        return nullptr;
    return create(world, node, key);
}

PanelItem* PanelItem::create(UIObject* world, Object* node, const std::string& key) {
    if (!world || !node)
        return nullptr;
    PanelItem* item = new PanelItem();
    item->_key = key;
    item->_name = key;
    item->_node = node;
    // The components read the object file's settings first, then the item's own.
    const std::string source = node->getSourceName();

    item->_animator = new ActorAnimator();
    item->_animator->setActor(node);
    item->_animator->load(source);
    item->_animator->load(key);
    item->_animator->stop();

    item->_effects = Zelvan::EffectContainer::create();
    item->_effects->scanObject(node, world);
    item->_effects->load(source, node);

    item->_sounds = new ActorSoundList();
    item->_sounds->bind(node, world);
    item->_sounds->load(source, node);
    item->_sounds->load(key, node);

    item->_conductors = new ConductorContainer(nullptr, item->_animator, item->_effects, item->_sounds);
    item->_conductors->load(source);
    item->_conductors->load(key);

    item->load(key);
    item->_wanted = false;
    item->_state = StateHidden;
    return item;
}

PanelItem::~PanelItem() {
    delete _conductors;
    delete _effects;
    delete _animator;
    delete _sounds;
}

void PanelItem::load(const std::string& key) {
    const ConfigStore& config = ConfigStore::instance();
    _name = config.getString(key + ".name", key.c_str());
    _automatic = config.getBool(key + ".auto", true);

    const std::string sizeName = config.getString(key + ".nodeSize", "");
    _sizeNode = sizeName.empty() ? nullptr : findObjectByName(_node, sizeName);

    _texts.clear();
    for (const std::string& name : config.getList(key + ".texts")) {
        // A name that is no text keeps its line, so the other lines keep their numbers.
        Text* text = dynamic_cast<Text*>(findObjectByName(_node, name));
        _texts.push_back(text);
    }

    _namedNodes.clear();
    for (const std::string& word : config.getList(key + ".nodes")) {
        const std::string nodeName = config.getString(word + ".node", "");
        Object* node = nodeName.empty() ? nullptr : findObjectByName(_node, nodeName);
        if (!node)
            continue;
        setObjectActive(node, config.getBool(word + ".visible", false));
        const std::string targetName = config.getString(word + ".nodeTarget", "");
        Object* target = targetName.empty() ? nullptr : findObjectByName(_node, targetName);
        if (target) {
            node->setMatrix(target->_transform->_local);
            node->updateTransform();
        }
        NamedNode entry;
        entry.name = config.getString(word + ".name", word.c_str());
        entry.node = node;
        entry.target = target;
        _namedNodes.push_back(entry);
    }
    setObjectActive(_node, _automatic);
}

// ---------------------------------------------------------------------------------------------
// Looks and texts

void PanelItem::setVisible(bool automatic) {
    if (automatic == _automatic)
        return;
    _automatic = automatic;
    setObjectActive(_node, automatic);
}

void PanelItem::setColor(const Vector4& colour) { setObjectColor(_node, colour); }

std::string PanelItem::formatText(const char* text) { return formatWithoutArguments(text); }

std::string PanelItem::literalText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out.push_back(c);
        if (c == '%')
            out.push_back('%');
    }
    return out;
}

void PanelItem::setText(int32_t line, const std::string& text) { setText(line, text.c_str()); }

void PanelItem::setText(int32_t line, const char* text) {
    const std::string shown = formatText(text);
    if (line < 0) {
        for (Text* t : _texts)
            if (t)
                t->setString(shown.c_str());
        return;
    }
    if ((size_t)line < _texts.size() && _texts[line])
        _texts[line]->setString(shown.c_str());
}

void PanelItem::setTextColor(int32_t line, const Vector4& colour) {
    if (line < 0) {
        for (Text* t : _texts)
            if (t)
                setObjectColor(t, colour);
        return;
    }
    if ((size_t)line < _texts.size() && _texts[line])
        setObjectColor(_texts[line], colour);
}

Object* PanelItem::findNode(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (const NamedNode& n : _namedNodes)
        if (n.name == name)
            return n.node;
    return nullptr;
}

bool PanelItem::setNodeVisible(int32_t index, bool visible) {
    if (index < 0 || (size_t)index >= _namedNodes.size())
        return false;
    Object* node = _namedNodes[index].node;
    if ((node->_active != 0) != visible)
        setObjectActive(node, visible);
    return true;
}

bool PanelItem::setNodeVisible(const std::string& name, bool visible) {
    if (name.empty())
        return false;
    for (size_t i = 0; i < _namedNodes.size(); ++i)
        if (_namedNodes[i].name == name)
            return setNodeVisible((int32_t)i, visible);
    return false;
}

bool PanelItem::setNodeColor(int32_t index, const Vector4& colour) {
    if (index < 0 || (size_t)index >= _namedNodes.size())
        return false;
    setObjectColor(_namedNodes[index].node, colour);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Playing

bool PanelItem::playAnimation(const std::string& conductor) { return _conductors->start(conductor, 0, -1.0f); }

void PanelItem::click() { _conductors->start("click", 0, -1.0f); }

void PanelItem::show() {
    _wanted = true;
    _effects->playAuto();
}

void PanelItem::hide() {
    if (_wanted)
        endLoops();
    _wanted = false;
}

void PanelItem::endLoops() {
    // A looping animation (an "idle", or the object file's own keys) would keep the item in
    // state 1 for ever: let the current cycle end, and start no further group entry.
    _animator->_current = nullptr;
    visitTree(_node, [](Object* n) {
        if (n->_animation)
            n->_animation->_loop = 0;
    });
}

int32_t PanelItem::state() const {
    if (_state == StateHidden && _wanted)
        return StateEntering;
    return _state;
}

bool PanelItem::isPlaying() const { return _animator->isPlaying(); }

void PanelItem::getExtent(Vector3& low, Vector3& high) const {
    if (_sizeNode && _sizeNode->_bounds) {
        low = _sizeNode->_bounds->_worldMin;
        high = _sizeNode->_bounds->_worldMax;
    } else {
        getObjectBounds(_node, false, low, high);
    }
    const Vector3 origin = _node->getWorldPosition();
    low = low - origin;
    high = high - origin;
}

void PanelItem::setParticleSystem(PSParticleSystem* system) { _effects->setParticleSystem(system); }

bool PanelItem::onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) {
    return _effects->forgetParticleInstance(emitter, system);
}

void PanelItem::reset() {
    if (!_automatic && !_wanted && _state != StateHidden) {
        _state = StateHidden;
        setObjectActive(_node, false);
        _animator->stop();
        _effects->stopAll();
    }
    _conductors->reset();
}

void PanelItem::update(float dt) {
    updateState();
    _conductors->update(dt);
    _animator->update();
    _effects->update(dt);
    _sounds->update();
}

void PanelItem::updateState() {
    if (_state == StateHidden) {
        if (!_wanted)
            return;
        _state = StateEntering;
        if (!_automatic)
            setObjectActive(_node, true);
        if (_conductors->start("in", 0, -1.0f))
            return;
    }
    if (_state == StateEntering) {
        if (isPlaying())
            return;
        _state = StateShown;
    }
    if (_state == StateShown) {
        if (isPlaying())
            return;
        if (_wanted) {
            _conductors->start("idle", 0, -1.0f);
            return;
        }
        _state = StateLeaving;
        if (_conductors->start("out", 0, -1.0f))
            return;
    }
    if (_state == StateLeaving) {
        if (isPlaying())
            return;
        _state = StateHidden;
        if (!_automatic)
            setObjectActive(_node, false);
        _effects->stopAll();
    }
}
