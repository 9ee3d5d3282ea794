#pragma once
// Particle effects of one effect folder: the definitions read from "<folder>/emitters.txt"
// (layers and emitter types), the live emitters game code starts by name, the particles they
// spawn, and one dynamic geometry of camera-facing sprites drawn through one mesh with the
// folder's "material.txt".
//
// The simulation advances in fixed steps of 1/60 s whatever the frame rate, with the time
// backlog capped at 1/12 s per update, so slow frames slow the effects down instead of piling
// up work. Everything runs on the main thread.
//
// Live emitters are owned by the system. A holder of an emitter pointer keeps it until the
// system calls IPSEventHandler::onEmitterReleased for it, and must drop it then.
//
// The camera is read through its public fields only (view matrix and world transform), as the
// render targets do, so this library links without the scene graph.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/render/Geometry.h"

class Camera;
class CTokenizer;
class Material;
class Mesh;
class PSEmitter;
class PSParticleSystem;
struct PSParticle;

// One sprite shape a layer can draw: the mesh geometry of an object file (its vertices are the
// corners of one sprite) with the file's first material (kept, not used for drawing).
struct PSSpriteGeometry {
    Geometry* geometry = nullptr;
    Material* material = nullptr;
    std::string name;  // the object file name as written after sprite_geom
};

// A (min, max) pair from which one value is drawn.
struct PSRange {
    float min = 0;
    float max = 0;
};

enum PSShape { PSShapeSphere = 0, PSShapeMesh = 1, PSShapeBox = 2 };
enum PSColourMode { PSColourFixed = 0, PSColourAnim4 = 2 };
enum PSSizeMode { PSSizeFixed = 0, PSSizeAnim4 = 2 };
enum PSSpinMode { PSSpinNone = 0, PSSpinMinMax = 1, PSSpinAccel = 3 };
enum PSDirectionMode { PSDirectionEmitter = 0, PSDirectionVector = 1 };
enum PSRotationMode { PSRotationNone = 0, PSRotationMinMax = 1, PSRotationAnim4 = 2 };

enum { PSNameCapacity = 31 };  // characters of a layer, emitter or embedded emitter name

// One [layer] block. Angles are radians (the file gives degrees).
struct PSLayerType {
    const PSSpriteGeometry* spriteGeometry = nullptr;  // entry of the system's sprite list, or none
    int32_t shape = PSShapeSphere;
    PSRange inclination;  // from the emitter's third axis
    PSRange azimuth;
    PSRange radius;
    PSRange speed;
    float lifeTime = 0;  // seconds of spawning; 0 or less = without end
    float delay = 0;
    PSRange particlesPerSec;  // one rate is drawn per layer instance
    int32_t particleCountMin = 0;  // keeps spawning past lifeTime until this many
    int32_t particleCountMax = 0;  // no spawning once this many; 0 or less = no limit
    PSRange lifePhases[3];
    int32_t colourMode = PSColourFixed;
    uint32_t colours[4] = {0, 0, 0, 0};  // packed, red in the low byte
    int32_t sizeMode = PSSizeFixed;
    PSRange sizes[4];
    int32_t spinMode = PSSpinNone;
    Vector3 spinAxis;  // unit (or zero: no spin)
    PSRange spin;      // minmax: range per particle; accel: at birth and at death (per step)
    int32_t directionMode = PSDirectionEmitter;
    Vector3 direction;  // unit, in the emitter's frame (mode 1)
    Vector3 drag;       // acceleration, per second
    Vector3 globalDragFactor;
    float velDamp = 1.0f;  // velocity kept after one second, 0..1
    float emitterVelocityFactor = 1.0f;
    char embeddedEmitter[PSNameCapacity + 1] = {};
    char name[PSNameCapacity + 1] = {};
    int32_t rotationMode = PSRotationNone;
    float rotation[4] = {0, 0, 0, 0};  // minmax: speed range (first two); anim4: angles at the keys
    bool randomStartRotation = false;
    PSRange startRotation;

    // Working value of the simulation: globalDragFactor x the system's global force.
    Vector3 scaledGlobalForce;
};

// One [emitter] block.
struct PSEmitterType {
    char name[PSNameCapacity + 1] = {};
    std::vector<int32_t> layers;  // indices into the layer list, in add_layer order
    float offset = 0;             // pulled this far toward the camera
    bool disableRotation = false;
    int32_t loop = 1;  // passes; below 2 means one
    PSRange loopDelay;
    bool particlesAreLocal = false;  // particles follow the emitter's later movement
};

// One layer of a live emitter.
struct PSLayerInstance {
    PSLayerType* type = nullptr;
    PSEmitter* emitter = nullptr;
    float time = 0;      // starts at minus the layer's delay
    int32_t count = 0;   // particles spawned in this pass
    float rate = -1.0f;  // particles per second; -1 until drawn

    void restart();
    // One step: spawns what is due. False once the layer is done for this pass.
    bool update(float dt);
};

// A pooled particle record.
struct PSParticle {
    PSLayerType* layerType = nullptr;
    PSLayerInstance* layerInstance = nullptr;
    PSEmitter* emitter = nullptr;
    PSEmitter* embeddedEmitter = nullptr;  // started for this particle and carried by it
    Vector3 position;
    Vector3 velocity;
    float age = 0;
    float phases[3] = {0, 0, 0};
    float life = 0;  // the sum of the phases
    float sizes[4] = {0, 0, 0, 0};
    float rotationSpeed = 0;
    float startAngle = 0;
    float spin = 0;  // radians per step
    bool local = false;
};

// A node of the live particle list; nodes come from one process-wide pool.
struct PSParticleNode {
    PSParticle* particle = nullptr;
    PSParticleNode* next = nullptr;
    PSParticleNode* previous = nullptr;
};

// A live emitter, owned by its particle system.
class PSEmitter {
public:
    PSEmitter(PSParticleSystem* system, const PSEmitterType* type, const Vector3& position);
    PSEmitter(const PSEmitter&) = delete;
    PSEmitter& operator=(const PSEmitter&) = delete;

    // With an offset the emitter is pulled that far toward the camera along the line of sight.
    // Before the system has seen a camera the position is taken as it is and the pull waits for
    // the first update with a camera.
    void setPosition(const Vector3& position);
    // Previous and delta placement := the current one (after placing the emitter by hand).
    void resetTransform();
    // One step; false once the emitter is done (stopped, or every pass has ended).
    bool update(float dt);
    // The rotation rows with the position as translation.
    Matrix4 placement() const;

    const PSEmitterType* _type;
    PSParticleSystem* _system;
    Vector3 _position;
    Vector3 _rotation[3];  // rows; identity at creation
    Vector3 _velocity;     // new particles inherit emitterVelocityFactor of it
    Matrix4 _previousPlacement;
    Matrix4 _deltaPlacement;
    std::vector<PSLayerInstance> _layers;
    int32_t _loopsRemaining;
    float _pauseTimer;
    int32_t _liveParticles = 0;
    bool _stopped = false;
    bool _spawning = true;
    bool _visible = true;  // particles of a hidden emitter are simulated, not drawn
    // Placed with an offset while no camera was known: pulled at the next update with a camera.
    bool _pullPending = false;
    // The particle carrying this emitter, when it was started as an embedded emitter.
    PSParticle* _carrier = nullptr;
};

// Told when a live emitter ends, before it is deleted.
class IPSEventHandler {
public:
    virtual ~IPSEventHandler() {}
    virtual void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) = 0;
};

// The dynamic geometry of one frame's sprites: "vertPos" 3 floats, "texCoords0" 2 floats,
// "vertNormal" 3 floats, "vertColor" 4 bytes (36 bytes a vertex), 16-bit triangle indices.
// Its arrays are emptied, not freed, between frames.
class PSGeometry : public Geometry {
public:
    enum { VertexStride = 36, MaxVertices = 65536 };

    PSGeometry();
    bool isDynamic() const override { return true; }
    int getPrimitiveType() const override { return PrimitiveTriangles; }

    void clear() {
        _vertexCount = 0;
        _indexCount = 0;
    }
    // Room for at least this many vertices and indices; false when memory ran out.
    bool reserve(uint32_t vertices, uint32_t indices);

    uint32_t _vertexCapacity = 0;
    uint32_t _indexCapacity = 0;
};

class PSParticleSystem {
public:
    enum { MaxParticles = 10240 };
    static const float kStepTime;     // 1/60 s, single precision
    static const float kBacklogLimit; // 1/12 s, single precision

    PSParticleSystem();
    // Releases every emitter (the handler is told), then the definitions, pools and arrays.
    ~PSParticleSystem();
    PSParticleSystem(const PSParticleSystem&) = delete;
    PSParticleSystem& operator=(const PSParticleSystem&) = delete;

    // ---- Definitions ----
    // The sprite geometry names the folder's emitters.txt uses (a name may repeat).
    void preInit(const char* directory, std::vector<std::string>& names);
    // Reads the folder's emitters.txt against the sprite list and loads its material.txt as the
    // drawing mesh's material. False when either failed.
    bool init(const char* directory, const std::vector<PSSpriteGeometry>& sprites);

    // ---- Emitters ----
    // A live emitter of the first type of that name at the position, or none (logged).
    PSEmitter* addEmitter(const Vector3& position, const char* typeName);
    // It spawns nothing more and is released once its particles have died.
    void stopEmitter(PSEmitter* emitter);
    // Every particle back to the pool, then every emitter released (the handler is told).
    void removeAllEmitters();

    // ---- Frame ----
    // Takes the camera snapshot and runs the fixed steps the backlog allows.
    void update(float dt, Camera* camera);
    void step();
    // Fills the geometry with one camera-facing sprite per drawn particle.
    void buildGeometry();
    // The rotation of a sprite vertex (v' = R v) for the camera of the last update: turned by
    // angle radians about the sprite's Y axis, then to face the camera.
    void spriteRotation(float angle, float R[3][3]) const;
    // Moves every emitter and particle by the matrix (the world origin was moved).
    void applyTransform(const Matrix4& matrix);

    int32_t particleCount() const { return _particleCount; }
    PSParticleNode* firstParticle() const { return _first; }
    const PSEmitterType* findEmitterType(const char* name) const;
    const PSLayerType* findLayerType(const char* name) const;

    // ---- Definitions ----
    std::vector<PSLayerType> _layerTypes;
    std::vector<PSEmitterType> _emitterTypes;
    std::vector<PSSpriteGeometry> _spriteGeometries;
    bool sort = false;   // draw the farthest particles first
    bool visible = true; // cleared while menus cover the game

    // ---- Drawing ----
    Mesh* _mesh = nullptr;  // not cullable; its material is the folder's material.txt
    PSGeometry* _geometry = nullptr;
    Material* _material = nullptr;

    // ---- Simulation ----
    std::vector<PSEmitter*> _emitters;
    PSParticleNode* _first = nullptr;
    PSParticleNode* _last = nullptr;
    int32_t _particleCount = 0;
    int32_t _maxParticles = MaxParticles;
    double _backlog = 0;
    Vector3 _globalForce;
    Vector3 _cameraRows[3];  // the first three rows of the camera's view matrix
    Vector3 _cameraPosition;
    bool _isCameraValid = false;
    IPSEventHandler* _eventHandler = nullptr;  // not owned

    struct SortEntry {
        PSParticle* particle;
        float distanceSq;
    };
    std::vector<SortEntry> _sortArray;

    // What the build reads of each sprite's vertices, gathered once per frame and sprite.
    struct SpriteVertex {
        float position[3];
        float uv[2];
        float colour[3];  // factor of the particle colour
    };
    struct SpriteTable {
        const Geometry* geometry;
        uint32_t first;      // in _spriteVertices
        bool uniformColour;  // every vertex has the first one's colour factor
    };
    std::vector<SpriteTable> _spriteTables;
    std::vector<SpriteVertex> _spriteVertices;

    // Set while one frame's sprites were cut at the geometry's vertex limit (logged once).
    bool _vertexLimitReached = false;

private:
    friend struct PSLayerInstance;

    // Spawns one particle of the layer for its emitter; false when the pool is full.
    bool spawnParticle(PSLayerInstance& layer);
    void killParticle(PSParticleNode* node);
    void releaseEmitter(size_t index);

    PSParticle* allocateParticle();
    void freeParticle(PSParticle* particle);
    void freePoolBlocks();

    void clearDefinitions();
    void readLayer(CTokenizer& tokenizer, const std::string& path);
    void readEmitter(CTokenizer& tokenizer, const std::string& path, char* lastName);
    bool acceptLayer(const PSLayerType& layer, const std::string& path) const;
    const SpriteTable* spriteTable(const Geometry* sprite);

    std::vector<void*> _poolBlocks;
    PSParticle* _freeParticles = nullptr;  // linked through their first word
};
