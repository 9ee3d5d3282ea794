#include "game/actors/ZelvanActor.h"

#include "engine/ConfigStore.h"
#include "engine/clock.h"
#include "engine_game/DebugDraw.h"
#include "engine_game/ObjectNode.h"
#include "engine_game/Transform.h"
#include "game/actors/ZelvanActorAnimator.h"
#include "game/actors/ZelvanActorCharacter.h"
#include "game/actors/ZelvanActorDecoration.h"
#include "game/actors/ZelvanActorEnemy.h"
#include "game/actors/ZelvanActorItem.h"
#include "game/actors/ZelvanActorStargate.h"
#include "game/actors/ZelvanActorSwitch.h"
#include "game/actors/ZelvanActorSoundList.h"
#include "game/actors/ZelvanConductors.h"
#include "game/actors/ZelvanEffectContainer.h"
#include "game/actors/ZelvanNodeContainer.h"
#include "game/actors/ZelvanObjectTree.h"

namespace Zelvan {

namespace {

const int32_t kGroundTypeId = 100;

}  // namespace

Actor::Actor(World* world, Scene* scene, Object* parent) : Object(parent), _world(world), _scene(scene) {}

Object* Actor::create(World* world, Scene* scene, Object* parent) { return new Actor(world, scene, parent); }

Actor::~Actor() { Actor::releaseComponents(); }

void Actor::init() {
    if (_created)
        return;
    _created = true;
    createComponents();
}

void Actor::createComponents() {
    const std::string prefix = getSourceName();
    _description = objectFileDescription(_world, this);
    // Ground (marked by its object file) stays ground: ray tests and shadows look for that mark.
    if (_typeId != kGroundTypeId)
        _typeId = TypeActor;

    _nodes = new NodeContainer();
    _nodes->setWorld(_world, _scene);
    _nodes->bind(this, _description);
    _nodes->load(prefix, this);

    _animator = new ActorAnimator();
    _animator->setActor(this);
    _animator->load(prefix);

    _effects = EffectContainer::create();
    _effects->scanDescription(this, _description);
    _effects->load(prefix, this);

    _sounds = new ActorSoundList();
    _sounds->bind(this, _description);
    _sounds->load(prefix, this);

    _conductors = new ConductorContainer(_nodes, _animator, _effects, _sounds);
    _conductors->load(prefix);
}

void Actor::releaseComponents() {
    if (_conductors)
        _conductors->reset();
    delete _conductors;
    _conductors = nullptr;
    delete _sounds;
    _sounds = nullptr;
    delete _effects;  // stops its effects in the bound system first
    _effects = nullptr;
    delete _animator;
    _animator = nullptr;
    delete _nodes;
    _nodes = nullptr;
    _created = false;
}

void Actor::update() {
    Object::update();
    const float dt = Clock::isPaused() ? 0.0f : frameTime().dt;
    if (_conductors)
        _conductors->update(dt);
    if (_nodes)
        _nodes->update();
    if (_animator)
        _animator->update();
    if (_effects)
        _effects->update(dt);
    if (_sounds)
        _sounds->update();
}

void Actor::detach() {
    reset();
    if (_effects)
        _effects->stopAll();
}

void Actor::reset() {
    if (_conductors)
        _conductors->reset();
    if (_animator)
        _animator->stop();
    if (_sounds)
        _sounds->stopAll();
}

void Actor::addProperty(const char* key, const char* value) {
    _properties.emplace_back(key ? key : "", value ? value : "");
}

void Actor::refreshNodes() {
    if (!_nodes)
        return;
    const bool enabled = _nodes->_shadowsEnabled;
    _nodes->_shadowsEnabled = true;
    _nodes->update();
    _nodes->_shadowsEnabled = enabled;
}

void Actor::setActive(bool on) { setObjectActive(this, on); }

void Actor::setDefaultLights() {
    if (_world)
        _world->setDefaultLights(this);
}

void Actor::setLights(const std::vector<Light*>& lights) {
    if (_world)
        _world->setLights(this, lights);
}

void Actor::applyTransform(const Matrix4& matrix) {
    const Matrix4 placed = _transform->_world * matrix;
    const Vector3 rows[3] = {placed.row3(0), placed.row3(1), placed.row3(2)};
    _transform->setWorld(rows, placed.getTranslation());
    setObjectBodySync(this, true);
    _transform->_dirty = 1;
    updateTransform();
    setObjectBodySync(this, false);
}

void Actor::setParticleSystem(PSParticleSystem* system) {
    if (_effects)
        _effects->setParticleSystem(system);
}

bool Actor::forgetParticleInstance(PSEmitter* emitter, PSParticleSystem* system) {
    return _effects && _effects->forgetParticleInstance(emitter, system);
}

void Actor::debugDraw(DebugDraw* draw) {
    if (!draw)
        return;
    const Matrix4& w = _transform->_world;
    Vector3 scale(w.row3(0).length(), w.row3(1).length(), w.row3(2).length());
    for (int i = 0; i < 3; ++i)
        if (!(scale[i] > 0))
            scale[i] = 1;  // a flattened axis: the box keeps its own size there
    const struct {
        bool onlyBodies;
        Vector3 colour;
    } boxes[2] = {{false, Vector3(255, 255, 255)}, {true, Vector3(255, 0, 0)}};
    for (const auto& box : boxes) {
        Vector3 mn, mx;
        if (!getObjectScaledBounds(this, true, box.onlyBodies, mn, mx))
            continue;
        for (int i = 0; i < 3; ++i) {
            mn[i] /= scale[i];
            mx[i] /= scale[i];
        }
        drawObjectBox(draw, w, mn, mx, box.colour);
    }
}

void Actor::resetConductors() {
    if (_conductors)
        _conductors->reset();
}

void Actor::flushConductors() {
    if (_conductors)
        _conductors->flush();
}

const std::string* Actor::findProperty(const ObjectNode* description, const char* key) const {
    if (const std::string* value = findNodeProperty(description, key))
        return value;
    for (const auto& p : _properties)
        if (p.first == key)
            return &p.second;
    return nullptr;
}

const std::string* Actor::getProperty(const char* key) const {
    // Before the components exist the description has not been looked up yet.
    const ObjectNode* description = _created ? _description : objectFileDescription(_world, this);
    return findProperty(description, key);
}

void Actor::applyDescriptionTransforms() {
    const ObjectNode* description = _created ? _description : objectFileDescription(_world, this);
    if (description)
        ::applyDescriptionTransforms(this, description);
}

void Actor::rewindAnimations(float frame) { rewindObjectAnimations(this, frame); }

void Actor::stopAnimations() { stopObjectAnimations(this); }

void Actor::buildPhysics(int32_t defaultType) {
    const ObjectNode* description = _created ? _description : objectFileDescription(_world, this);
    if (_world && description)
        buildNodePhysics(_world, _scene, this, description, defaultType);
}

// ---------------------------------------------------------------------------------------------
// Class registration

namespace {

// The object files of a class: its section's ".objectFiles" list.
ConfigStore::WordList objectFilesOf(const char* section) {
    return ConfigStore::instance().getList(std::string(section) + ".objectFiles");
}

// Characters are listed by name; each names its object file under its own section.
ConfigStore::WordList characterFiles(const char* section) {
    const ConfigStore& config = ConfigStore::instance();
    ConfigStore::WordList files;
    for (const std::string& name : config.getList(std::string(section) + ".characters")) {
        const std::string file = config.getString(name + ".objectFile", "");
        if (!file.empty())
            files.push_back(file);
    }
    return files;
}

struct ActorClass {
    const char* section;
    ObjectFactory factory;
    ConfigStore::WordList (*files)(const char* section);
};

// In registration order: an object file named by two lists keeps the first class. The player's
// train (actorPlayer) joins after the characters. (Items and enemies in general are never
// registered themselves; menu actors are the menu World's default.)
const std::vector<ActorClass>& actorClasses() {
    static const std::vector<ActorClass> classes = {
        {"actorCharacter", &ActorCharacter::create, &characterFiles},
        {"actorSwitch", &ActorSwitch::create, &objectFilesOf},
        {"actorObstacle", &ActorObstacle::create, &objectFilesOf},
        {"actorDecoration", &ActorDecoration::create, &objectFilesOf},
        {"actorEnemyTrain", &ActorEnemyTrain::create, &objectFilesOf},
        {"actorEnemyWaggon", &ActorEnemyWaggon::create, &objectFilesOf},
        {"actorStargate", &ActorStargate::create, &objectFilesOf},
        {"actorItemGift", &ActorItemGift::create, &objectFilesOf},
        {"actorItemObstacle", &ActorItemObstacle::create, &objectFilesOf},
    };
    return classes;
}

}  // namespace

void registerActorClasses(World* world) {
    if (!world)
        return;
    world->_defaultFactory = &Actor::create;
    for (const ActorClass& c : actorClasses())
        for (const std::string& file : c.files(c.section))
            world->registerObjectClass(file, c.factory);
}

}  // namespace Zelvan
