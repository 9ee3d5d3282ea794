#include "game/actors/ZelvanEffectContainer.h"

#include "engine/ConfigStore.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/utils.h"
#include "engine_game/Object.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

const char* const kSource = "source/game/actors/ZelvanEffectContainer";

void placeEmitter(PSEmitter* emitter, const Matrix4& m, const Vector3& velocity) {
    emitter->setPosition(m.getTranslation());
    if (!emitter->_type->disableRotation)
        for (int i = 0; i < 3; ++i)
            emitter->_rotation[i] = m.row3(i);
    emitter->_velocity = velocity;
}

template <class Visit>
void visitDescription(const ObjectNode* description, Visit&& visit) {
    visit(description);
    for (const ObjectNode* child : description->_children)
        visitDescription(child, visit);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Effect

EffectContainer::Effect::~Effect() { XAssert(!_psEmitterInstance ? 1 : 0, "!_psEmitterInstance", kSource, __LINE__); }

void EffectContainer::Effect::start(PSParticleSystem* system) {
    XAssert(system ? 1 : 0, "psParticleSystem", kSource, __LINE__);
    if (_psEmitterInstance)
        system->stopEmitter(_psEmitterInstance);  // it stays listed until the system releases it
    const Matrix4& w = _node->_transform->_world;
    _psEmitterInstance = system->addEmitter(w.getTranslation(), _particleName.c_str());
    if (!_psEmitterInstance)
        return;
    PSEmitter* e = _psEmitterInstance;
    e->_visible = _visible;
    placeEmitter(e, w, _velocity);
    e->resetTransform();
    Instance instance;
    instance.emitter = e;
    _instances.push_back(instance);
}

void EffectContainer::Effect::stop(PSParticleSystem* system) {
    XAssert(system ? 1 : 0, "psParticleSystem", kSource, __LINE__);
    // Every emitter the effect moves, its own and those it took over from other effects.
    if (_psEmitterInstance) {
        system->stopEmitter(_psEmitterInstance);
        _psEmitterInstance = nullptr;
    }
    for (const Instance& instance : _instances)
        system->stopEmitter(instance.emitter);
    _instances.clear();
}

void EffectContainer::Effect::update() {
    if (_instances.empty())
        return;
    const Matrix4& w = _node->_transform->_world;
    for (Instance& instance : _instances) {
        // Points are row vectors: the relative placement applies first, then the node's.
        placeEmitter(instance.emitter, instance.relative * w, _velocity);
    }
}

void EffectContainer::Effect::clearInstances() {
    _psEmitterInstance = nullptr;
    _instances.clear();
}

void EffectContainer::Effect::shareInstances(Effect* other, int mode) {
    if (!other || other == this)
        return;
    Matrix4 toHere;  // from the other node's frame into this one's
    if (mode == 1)
        toHere = other->_node->_transform->_world * _node->_transform->_world.inverted();
    for (Instance instance : other->_instances) {
        instance.emitter->_visible = _visible;
        instance.relative = mode == 1 ? instance.relative * toHere : Matrix4();
        _instances.push_back(instance);
    }
    other->_psEmitterInstance = nullptr;
    other->_instances.clear();
}

// ---------------------------------------------------------------------------------------------
// EffectContainer

EffectContainer* EffectContainer::create() { return new EffectContainer(); }

EffectContainer::~EffectContainer() { clear(); }

void EffectContainer::load(const std::string& prefix, Object* actor) {
    if (!actor)
        return;
    const ConfigStore& config = ConfigStore::instance();
    for (const std::string& e : config.getList(prefix + ".effects")) {
        const char* particle = config.getString(e + ".particleName", "");
        if (!*particle)
            continue;
        const std::string nodeName = config.getString(e + ".particleNode", "");
        Object* node = nodeName.empty() || nodeName == "ROOT" ? actor : findObjectByName(actor, nodeName);
        if (!node) {
            Logger::error("Not found particleNode(%s) object!", nodeName.c_str());
            continue;
        }
        Effect* effect = new Effect();
        effect->_name = config.getString(e + ".name", e.c_str());
        effect->_autoPlay = config.getBool(e + ".autoPlay", false);
        effect->_particleName = particle;
        effect->_node = node;
        _effects.push_back(effect);
    }
}

void EffectContainer::scanObject(Object* actor, World* world) {
    if (actor && world)
        scanDescription(actor, objectFileDescription(world, actor));
}

void EffectContainer::scanDescription(Object* actor, const ObjectNode* description) {
    if (!actor || !description)
        return;
    visitDescription(description, [&](const ObjectNode* d) {
        const std::string* particle = d->property("particle");
        if (!particle || particle->empty())
            return;
        Effect* effect = new Effect();
        effect->_particleName = *particle;
        Object* node = findObjectByName(actor, d->_name);
        effect->_node = node ? node : actor;
        const std::string* name = d->property("effect");
        if (name && !name->empty()) {
            effect->_name = *name;
        } else {
            effect->_name = "default";
            effect->_autoPlay = true;
        }
        _effects.push_back(effect);
    });
}

void EffectContainer::setParticleSystem(PSParticleSystem* system) {
    if (system == psParticleSystem)
        return;
    if (psParticleSystem)
        for (Effect* e : _effects)
            e->stop(psParticleSystem);
    psParticleSystem = system;
}

void EffectContainer::playAuto() {
    if (!psParticleSystem || !enabled)
        return;
    for (Effect* e : _effects)
        if (e->_autoPlay)
            e->start(psParticleSystem);
}

bool EffectContainer::play(const std::string& name) {
    if (!psParticleSystem || !enabled || name.empty())
        return false;
    bool matched = false;
    for (Effect* e : _effects)
        if (e->_name == name) {
            e->start(psParticleSystem);
            matched = true;
        }
    return matched;
}

bool EffectContainer::stop(const std::string& name) {
    if (!psParticleSystem || name.empty())
        return false;
    bool matched = false;
    for (Effect* e : _effects)
        if (e->_name == name) {
            e->stop(psParticleSystem);
            matched = true;
        }
    return matched;
}

void EffectContainer::stopAll() {
    if (!psParticleSystem)
        return;
    for (Effect* e : _effects)
        e->stop(psParticleSystem);
}

EffectContainer::Effect* EffectContainer::find(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (Effect* e : _effects)
        if (e->_name == name)
            return e;
    return nullptr;
}

void EffectContainer::setEmitterFlag(bool visible) {
    for (Effect* e : _effects) {
        if (e->_visible == visible)
            continue;
        e->_visible = visible;
        for (Effect::Instance& instance : e->_instances)
            instance.emitter->_visible = visible;
    }
}

void EffectContainer::setVelocity(const Vector3& velocity) {
    for (Effect* e : _effects)
        e->_velocity = velocity;
}

void EffectContainer::update(float) {
    for (Effect* e : _effects)
        e->update();
}

bool EffectContainer::forgetParticleInstance(PSEmitter* emitter, PSParticleSystem* system) {
    if (!emitter || system != psParticleSystem)
        return false;
    for (Effect* e : _effects)
        if (e->_psEmitterInstance == emitter)
            e->_psEmitterInstance = nullptr;
    for (Effect* e : _effects)
        for (size_t i = 0; i < e->_instances.size(); ++i)
            if (e->_instances[i].emitter == emitter) {
                e->_instances.erase(e->_instances.begin() + (long)i);
                return true;
            }
    return false;
}

void EffectContainer::clear() {
    for (Effect* e : _effects) {
        if (psParticleSystem)
            e->stop(psParticleSystem);
        else
            e->clearInstances();  // nothing to stop them in; the effect may go
        delete e;
    }
    _effects.clear();
}

}  // namespace Zelvan
