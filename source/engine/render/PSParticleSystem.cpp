// The particle simulation: pools, live emitters and their layers, the fixed step.

#include "engine/render/PSParticleSystem.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/random.h"
#include "engine/render/Mesh.h"
#include "engine/utils.h"
#include "engine_game/Camera.h"
#include "engine_game/Transform.h"

const float PSParticleSystem::kStepTime = 1.0f / 60.0f;
const float PSParticleSystem::kBacklogLimit = 1.0f / 12.0f;

namespace {

// ---- The process-wide pool of list nodes (main thread only, no lock) ----

class PSNodePool {
public:
    enum { BlockBytes = 8176 };

    ~PSNodePool() {
        for (void* block : _blocks)
            std::free(block);
    }

    PSParticleNode* take() {
        if (!_free && !grow())
            return nullptr;
        FreeNode* f = _free;
        _free = f->next;
        return new (f) PSParticleNode();
    }

    void give(PSParticleNode* node) {
        FreeNode* f = reinterpret_cast<FreeNode*>(node);
        f->next = _free;
        _free = f;
    }

private:
    union FreeNode {
        FreeNode* next;
        PSParticleNode node;
    };

    bool grow() {
        const size_t perBlock = BlockBytes / sizeof(FreeNode);
        FreeNode* block = static_cast<FreeNode*>(std::malloc(perBlock * sizeof(FreeNode)));
        if (!block)
            return false;
        _blocks.push_back(block);
        for (size_t i = 0; i < perBlock; ++i) {
            block[i].next = _free;
            _free = &block[i];
        }
        return true;
    }

    std::vector<void*> _blocks;
    FreeNode* _free = nullptr;
};

PSNodePool gNodePool;

// ---- Particle records: carved from blocks of one system, recycled through a free list ----

const size_t kParticleBlockBytes = 16368;

union FreeParticle {
    FreeParticle* next;
    PSParticle particle;
};

inline float rnd(float a, float b) { return (float)(a + (double)(b - a) * motherRandom().nextDouble()); }
inline float rnd(const PSRange& r) { return rnd(r.min, r.max); }

Vector3 mulComponents(const Vector3& a, const Vector3& b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

// Rotation of v by angle (radians, right-handed) about the unit axis k.
Vector3 rotateAbout(const Vector3& v, const Vector3& k, float c, float s) {
    return v * c + k.cross(v) * s + k * (k.dot(v) * (1.0f - c));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Layer instances

void PSLayerInstance::restart() {
    time = -type->delay;
    count = 0;
    rate = -1.0f;
}

bool PSLayerInstance::update(float dt) {
    PSParticleSystem* system = emitter->_system;
    type->scaledGlobalForce = mulComponents(type->globalDragFactor, system->_globalForce);
    time += dt;
    const bool active = time <= type->lifeTime || type->lifeTime <= 0.0f || count < type->particleCountMin;
    if (!active)
        return false;
    if (type->particleCountMax > 0 && count >= type->particleCountMax)
        return false;
    if (time > 0.0f) {
        if (rate < 0.0f)
            rate = rnd(type->particlesPerSec);
        // Truncated toward zero; a rate the file made huge, negative or not a number spawns
        // nothing it cannot count.
        const float product = rate * time;
        int32_t target = 0;
        if (product >= 2147483647.0f)
            target = 2147483647;
        else if (product > 0.0f)
            target = (int32_t)product;
        while (count < target) {
            if (!system->spawnParticle(*this))
                break;  // the pool is full; the target catches up in a later step
            ++count;
        }
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Emitters

PSEmitter::PSEmitter(PSParticleSystem* system, const PSEmitterType* type, const Vector3& position)
    : _type(type), _system(system), _loopsRemaining(type->loop), _pauseTimer(rnd(type->loopDelay)) {
    _rotation[0] = Vector3(1, 0, 0);
    _rotation[1] = Vector3(0, 1, 0);
    _rotation[2] = Vector3(0, 0, 1);
    _layers.reserve(type->layers.size());
    for (int32_t index : type->layers) {
        PSLayerInstance layer;
        layer.type = &system->_layerTypes[(size_t)index];
        layer.emitter = this;
        layer.restart();
        _layers.push_back(layer);
    }
    setPosition(position);
    _previousPlacement = placement();
    _deltaPlacement = _previousPlacement;
}

Matrix4 PSEmitter::placement() const {
    Matrix4 m;
    m.setRow3(0, _rotation[0]);
    m.setRow3(1, _rotation[1]);
    m.setRow3(2, _rotation[2]);
    m.setTranslation(_position);
    return m;
}

void PSEmitter::setPosition(const Vector3& position) {
    const float offset = _type->offset;
    if (offset == 0.0f) {
        _position = position;
        return;
    }
    if (!_system->_isCameraValid) {
        // Effects are started before the first frame (a pickup at load time): without a camera
        // there is no line of sight yet, so the pull waits for the update that brings one.
        _position = position;
        _pullPending = true;
        return;
    }
    _pullPending = false;
    const Vector3& camera = _system->_cameraPosition;
    const Vector3 d = position - camera;
    const float a = d.length();
    if (a == 0.0f)
        return;
    _position = camera + d * ((a - offset) / a);
}

void PSEmitter::resetTransform() {
    _previousPlacement = placement();
    _deltaPlacement = _previousPlacement;
}

bool PSEmitter::update(float dt) {
    if (_type->particlesAreLocal) {
        // Points are row vectors: a point that rode the previous placement rides the current one
        // after p * inverse(previous) * current.
        const Matrix4 current = placement();
        _deltaPlacement = _previousPlacement.inverted() * current;
        _previousPlacement = current;
    }
    if (_stopped)
        return false;
    if (!_spawning)
        return true;

    bool anyActive = false;
    for (PSLayerInstance& layer : _layers)
        anyActive = layer.update(dt) || anyActive;
    if (anyActive)
        return true;

    if (_loopsRemaining < 2)
        return false;
    _pauseTimer -= dt;
    if (_pauseTimer <= 0.0f) {
        _pauseTimer = rnd(_type->loopDelay);
        --_loopsRemaining;
        if (_loopsRemaining < 1)
            return false;
        for (PSLayerInstance& layer : _layers)
            layer.restart();
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// The system

PSParticleSystem::PSParticleSystem() {}

PSParticleSystem::~PSParticleSystem() {
    removeAllEmitters();
    clearDefinitions();
    freePoolBlocks();
    delete _mesh;
    delete _geometry;
}

PSParticle* PSParticleSystem::allocateParticle() {
    if (_particleCount >= _maxParticles)
        return nullptr;
    if (!_freeParticles) {
        const size_t perBlock = kParticleBlockBytes / sizeof(FreeParticle);
        FreeParticle* block = static_cast<FreeParticle*>(std::malloc(perBlock * sizeof(FreeParticle)));
        if (!block)
            return nullptr;
        _poolBlocks.push_back(block);
        for (size_t i = 0; i < perBlock; ++i) {
            block[i].next = reinterpret_cast<FreeParticle*>(_freeParticles);
            _freeParticles = reinterpret_cast<PSParticle*>(&block[i]);
        }
    }
    FreeParticle* slot = reinterpret_cast<FreeParticle*>(_freeParticles);
    _freeParticles = reinterpret_cast<PSParticle*>(slot->next);
    return new (slot) PSParticle();
}

void PSParticleSystem::freeParticle(PSParticle* particle) {
    FreeParticle* slot = reinterpret_cast<FreeParticle*>(particle);
    slot->next = reinterpret_cast<FreeParticle*>(_freeParticles);
    _freeParticles = reinterpret_cast<PSParticle*>(slot);
}

void PSParticleSystem::freePoolBlocks() {
    for (void* block : _poolBlocks)
        std::free(block);
    _poolBlocks.clear();
    _freeParticles = nullptr;
}

PSEmitter* PSParticleSystem::addEmitter(const Vector3& position, const char* typeName) {
    const PSEmitterType* type = findEmitterType(typeName);
    if (!type) {
        Logger::error("[PSParticleSystem::addEmitter] Hiba: nincs '%s' nevu emitter", typeName ? typeName : "");
        return nullptr;
    }
    PSEmitter* emitter = new PSEmitter(this, type, position);
    _emitters.push_back(emitter);
    return emitter;
}

void PSParticleSystem::stopEmitter(PSEmitter* emitter) {
    if (emitter)
        emitter->_stopped = true;
}

void PSParticleSystem::removeAllEmitters() {
    PSParticleNode* node = _first;
    while (node) {
        PSParticleNode* next = node->next;
        freeParticle(node->particle);
        gNodePool.give(node);
        node = next;
    }
    _first = _last = nullptr;
    _particleCount = 0;
    // The handler may look at the list while it is told: take the emitters out first.
    std::vector<PSEmitter*> emitters;
    emitters.swap(_emitters);
    for (PSEmitter* emitter : emitters) {
        emitter->_liveParticles = 0;
        emitter->_carrier = nullptr;
        if (_eventHandler)
            _eventHandler->onEmitterReleased(emitter, this);
        delete emitter;
    }
}

void PSParticleSystem::releaseEmitter(size_t index) {
    PSEmitter* emitter = _emitters[index];
    if (_eventHandler)
        _eventHandler->onEmitterReleased(emitter, this);
    if (emitter->_carrier) {
        emitter->_carrier->embeddedEmitter = nullptr;
        emitter->_carrier = nullptr;
    }
    // Found again: the handler may have added emitters.
    for (size_t i = 0; i < _emitters.size(); ++i) {
        if (_emitters[i] == emitter) {
            _emitters.erase(_emitters.begin() + (long)i);
            break;
        }
    }
    delete emitter;
}

void PSParticleSystem::update(float dt, Camera* camera) {
    if (camera) {
        for (int r = 0; r < 3; ++r)
            _cameraRows[r] = camera->_view.row3(r);
        _cameraPosition = camera->_transform ? camera->_transform->_world.getTranslation() : Vector3();
        _isCameraValid = true;
        // Emitters placed before any camera get their pull now, before they spawn. It counts as
        // their placement, not as a movement that local particles would follow.
        for (PSEmitter* emitter : _emitters) {
            if (emitter->_pullPending) {
                emitter->setPosition(emitter->_position);
                emitter->resetTransform();
            }
        }
    }
    float backlog = (float)_backlog + dt;
    if (backlog > kBacklogLimit)
        backlog = kBacklogLimit;
    _backlog = backlog;
    while (_backlog >= (double)kStepTime) {
        _backlog -= (double)kStepTime;
        step();
    }
}

bool PSParticleSystem::spawnParticle(PSLayerInstance& layer) {
    PSParticle* p = allocateParticle();
    if (!p)
        return false;
    PSParticleNode* node = gNodePool.take();
    if (!node) {
        freeParticle(p);
        return false;
    }
    PSLayerType& type = *layer.type;
    PSEmitter& e = *layer.emitter;

    ++e._liveParticles;
    p->layerType = &type;
    p->layerInstance = &layer;
    p->emitter = &e;
    p->age = 0;
    p->life = 0;
    for (int i = 0; i < 3; ++i) {
        p->phases[i] = rnd(type.lifePhases[i]);
        p->life += p->phases[i];
    }
    for (int i = 0; i < 4; ++i)
        p->sizes[i] = rnd(type.sizes[i]);
    p->local = e._type->particlesAreLocal;

    if (type.rotationMode == PSRotationMinMax)
        p->rotationSpeed = rnd(type.rotation[0], type.rotation[1]);
    if (type.spinMode == PSSpinMinMax)
        p->spin = rnd(type.spin);
    if (type.randomStartRotation)
        p->startAngle = rnd(type.startRotation);

    // Sphere: inclination measured from the emitter's third axis. Mesh and box layers never
    // reach an emitter (they are refused when the file is read).
    const float a = rnd(type.inclination);
    const float b = rnd(type.azimuth);
    const float r = rnd(type.radius);
    const float s = rnd(type.speed);
    const Vector3 d = e._rotation[0] * (std::cos(b) * std::sin(a)) + e._rotation[1] * (std::sin(b) * std::sin(a)) +
                      e._rotation[2] * std::cos(a);
    p->position = e._position + d * r;
    if (type.directionMode == PSDirectionVector) {
        const Vector3& v = type.direction;
        p->velocity = (e._rotation[0] * v.x + e._rotation[1] * v.y + e._rotation[2] * v.z) * s;
    } else {
        p->velocity = d * s;
    }
    p->velocity += e._velocity * type.emitterVelocityFactor;

    node->particle = p;
    node->next = nullptr;
    node->previous = _last;
    if (_last)
        _last->next = node;
    else
        _first = node;
    _last = node;
    ++_particleCount;

    if (type.embeddedEmitter[0]) {
        PSEmitter* embedded = addEmitter(p->position, type.embeddedEmitter);
        p->embeddedEmitter = embedded;
        if (embedded)
            embedded->_carrier = p;
    }
    return true;
}

void PSParticleSystem::killParticle(PSParticleNode* node) {
    PSParticle* p = node->particle;
    --p->emitter->_liveParticles;
    // The effect it carried ends with it: no more spawning at a point nothing moves any more.
    if (p->embeddedEmitter) {
        stopEmitter(p->embeddedEmitter);
        p->embeddedEmitter->_carrier = nullptr;
    }
    freeParticle(p);
    if (node->previous)
        node->previous->next = node->next;
    else
        _first = node->next;
    if (node->next)
        node->next->previous = node->previous;
    else
        _last = node->previous;
    gNodePool.give(node);
    --_particleCount;
}

void PSParticleSystem::step() {
    const float dt = kStepTime;

    for (size_t i = 0; i < _emitters.size();) {
        PSEmitter* emitter = _emitters[i];
        const bool alive = emitter->update(dt);
        if (!alive && emitter->_liveParticles == 0) {
            releaseEmitter(i);
            continue;
        }
        ++i;
    }

    const float dampExponent = 1.0f / 60.0f;
    PSParticleNode* node = _first;
    while (node) {
        PSParticleNode* next = node->next;
        PSParticle* p = node->particle;
        p->age += dt;
        if (p->life <= p->age) {
            killParticle(node);
            node = next;
            continue;
        }
        const PSLayerType& type = *p->layerType;

        float theta = 0.0f;
        if (type.spinMode == PSSpinAccel)
            theta = type.spin.min + (type.spin.max - type.spin.min) * p->age / p->life;
        else if (type.spinMode == PSSpinMinMax)
            theta = p->spin;
        if (theta != 0.0f && type.spinAxis.lengthSquared() > 0.0f) {
            p->spin = theta;
            const float c = std::cos(theta), s = std::sin(theta);
            const Vector3& centre = p->emitter->_position;
            p->position = rotateAbout(p->position - centre, type.spinAxis, c, s) + centre;
            p->velocity = rotateAbout(p->velocity, type.spinAxis, c, s);
        }

        p->velocity += (type.drag + type.scaledGlobalForce) * dt;
        if (type.velDamp < 1.0f)
            p->velocity *= std::pow(type.velDamp, dampExponent);
        p->position += p->velocity * dt;
        if (p->local)
            p->position = p->emitter->_deltaPlacement.transformPoint(p->position);
        if (p->embeddedEmitter)
            p->embeddedEmitter->setPosition(p->position);
        node = next;
    }
}

void PSParticleSystem::applyTransform(const Matrix4& m) {
    for (PSEmitter* emitter : _emitters) {
        emitter->_position = m.transformPoint(emitter->_position);
        // Local particles follow the emitter's own movement; the origin shift must not count
        // as such a movement, or they would be moved twice.
        emitter->_previousPlacement.setTranslation(m.transformPoint(emitter->_previousPlacement.getTranslation()));
    }
    for (PSParticleNode* node = _first; node; node = node->next)
        node->particle->position = m.transformPoint(node->particle->position);
}
