#include "engine/render/RenderTarget.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/bounds.h"
#include "engine/render/Material.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/render/Render.h"
#include "engine/render/ResourceManager.h"
#include "engine/render/SceneFields.h"
#include "engine/utils.h"

static uint32_t nextPowerOfTwo(uint32_t value) {
    uint32_t p = 1;
    while (p < value) p <<= 1;
    return p;
}

// ---- Full-screen quad ----

RenderTarget::RenderTargetMesh::RenderTargetGeometry::RenderTargetGeometry(uint32_t width, uint32_t height) {
    addElevenFloatAttributes(_attributes);
    updateStride();  // 44 bytes
    _vertexCount = 4;
    _indexCount = 6;

    const float u = width ? (float)width / (float)nextPowerOfTwo(width) : 1.0f;
    const float v = height ? (float)height / (float)nextPowerOfTwo(height) : 1.0f;
    const float corners[4][5] = {{-1, -1, 0, 0, 0}, {1, -1, 0, u, 0}, {-1, 1, 0, 0, v}, {1, 1, 0, u, v}};
    _vertices = static_cast<uint8_t*>(std::calloc(4, _stride));
    for (int i = 0; i < 4; ++i)
        std::memcpy(_vertices + i * _stride, corners[i], sizeof(corners[i]));  // normal and colour stay 0

    static const uint16_t kIndices[6] = {0, 1, 2, 2, 1, 3};
    _indices = static_cast<uint16_t*>(std::malloc(sizeof(kIndices)));
    _adjacencyIndices = static_cast<uint16_t*>(std::malloc(sizeof(kIndices)));
    std::memcpy(_indices, kIndices, sizeof(kIndices));
    std::memcpy(_adjacencyIndices, kIndices, sizeof(kIndices));
    _boundsMin = Vector3(-1, -1, 0);
    _boundsMax = Vector3(1, 1, 0);
}

RenderTarget::RenderTargetMesh::RenderTargetMesh(uint32_t width, uint32_t height) {
    _quad = new RenderTargetGeometry(width, height);
    // The whole index range without bounds: a full-screen pass is never culled.
    setGeometry(_quad, -1, -1);
}

RenderTarget::RenderTargetMesh::~RenderTargetMesh() {
    _material = nullptr;
    delete _ownMaterial;
    delete _quad;
}

// A private copy of a shared material: same shader, state and textures, no back-end state.
static Material* copyMaterial(const Material& source) {
    Material* copy = new Material();
    copy->_name = source._name;
    copy->_colour = source._colour;
    copy->_blendMode = source._blendMode;
    copy->_cullMode = source._cullMode;
    copy->_shader = source._shader;
    copy->_depthWrite = source._depthWrite;
    copy->_depthTest = source._depthTest;
    copy->_colorWrite = source._colorWrite;
    copy->_alphatestEnabled = source._alphatestEnabled;
    copy->_emit = source._emit;
    copy->_uvAnimSpeed = source._uvAnimSpeed;
    copy->_uvAnimScrollSpeedU = source._uvAnimScrollSpeedU;
    copy->_uvAnimScrollSpeedV = source._uvAnimScrollSpeedV;
    copy->_uvAnimWidth = source._uvAnimWidth;
    copy->_uvAnimNumberOfFrames = source._uvAnimNumberOfFrames;
    copy->_textures = source._textures;
    copy->_orderID = source._orderID;
    return copy;
}

// ---- Target ----

// Link slots are indexed by target and a mesh may sit in any target of the process (worlds made
// with or without a renderer, off-screen targets, targets of an earlier renderer), so indices are
// handed out process-wide: no two live targets ever share one. The lowest free index keeps the
// per-mesh link lists as short as the number of live targets.
namespace {
std::mutex gIndexMutex;
std::vector<bool> gIndexHeld;

uint32_t acquireTargetIndex() {
    std::lock_guard<std::mutex> lock(gIndexMutex);
    size_t index = 0;
    while (index < gIndexHeld.size() && gIndexHeld[index])
        ++index;
    if (index == gIndexHeld.size())
        gIndexHeld.push_back(false);
    gIndexHeld[index] = true;
    return (uint32_t)index;
}

void releaseTargetIndex(uint32_t index) {
    std::lock_guard<std::mutex> lock(gIndexMutex);
    if (index < gIndexHeld.size())
        gIndexHeld[index] = false;
}
}  // namespace

RenderTarget::RenderTarget() : _index(acquireTargetIndex()), _heldIndex(_index) {
    _colourTexture = new RenderTargetTexture();
    _depthTexture = new RenderTargetTexture();
}

RenderTarget::~RenderTarget() {
    const uint32_t i = _index;
    auto dropChain = [&](RenderLink* node) {
        while (node) {
            RenderLink* next = node->nextIn(i);
            node->prev[i] = nullptr;
            node->next[i] = nullptr;
            node->linked[i] = 0;
            node = next;
        }
    };
    for (RenderLink* head : _opaqueChains) dropChain(head);
    for (RenderLink* head : _blendedChains) dropChain(head);
    dropChain(_culledList);
    _opaqueChains.clear();
    _blendedChains.clear();
    _culledList = nullptr;
    _rangeFirst.clear();
    _firstOfRange.clear();
    _spareRangeFirst.clear();
    _spareFirstOfRange.clear();
    for (RenderTargetMesh* mesh : _postEffects) delete mesh;
    if (_issuer) _issuer->forgetTarget(this);
    releaseTargetIndex(_heldIndex);
    delete _framebuffer;
    delete _colourTexture;
    delete _depthTexture;
}

void RenderTarget::addObject(Object* node) {
    if (!node) return;
    for (Mesh* mesh : nodeMeshes(node)) addMesh(mesh);
    for (Object* child : nodeChildren(node)) addObject(child);
}

void RenderTarget::removeObject(Object* node) {
    if (!node) return;
    for (Mesh* mesh : nodeMeshes(node)) removeMesh(mesh);
    for (Object* child : nodeChildren(node)) removeObject(child);
}

void RenderTarget::addParticleSystem(PSParticleSystem* system) {
    if (system) addMesh(system->_mesh);
}

void RenderTarget::removeParticleSystem(PSParticleSystem* system) {
    if (system) removeMesh(system->_mesh);
}

size_t RenderTarget::RangeKeyHash::operator()(const RangeKey& k) const {
    uint64_t h = (uint64_t)k.chain * 0x9E3779B97F4A7C15ull;
    h ^= (uint64_t)(uintptr_t)k.geometry + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
    h ^= ((uint64_t)(uint32_t)k.firstIndex << 32 | (uint32_t)k.indexCount) + 0x94D049BB133111EBull + (h << 6) +
         (h >> 2);
    return (size_t)(h ^ (h >> 31) ^ (k.blended ? 1u : 0u));
}

// Opaque chains are told apart by material, blended ones by orderID.
RenderTarget::RangeKey RenderTarget::rangeKey(const Mesh* mesh) {
    RangeKey key;
    const Material* material = mesh->_material;
    key.blended = !material || material->_blendMode != BlendNone;
    key.chain = key.blended ? (material ? (uintptr_t)(uint32_t)material->_orderID : ~(uintptr_t)0) : (uintptr_t)material;
    key.geometry = mesh->_geometry;
    key.firstIndex = mesh->getFirstIndex();
    key.indexCount = mesh->getIndexCount();
    return key;
}

void RenderTarget::eraseRangeFirst(decltype(_rangeFirst)::iterator it) {
    _spareRangeFirst.push_back(_rangeFirst.extract(it));
}

void RenderTarget::eraseFirstOfRange(decltype(_firstOfRange)::iterator it) {
    _spareFirstOfRange.push_back(_firstOfRange.extract(it));
}

void RenderTarget::putRangeFirst(const RangeKey& key, RenderLink* node) {
    auto held = _rangeFirst.find(key);
    if (held != _rangeFirst.end()) {
        held->second = node;
        return;
    }
    if (_spareRangeFirst.empty()) {
        _rangeFirst.emplace(key, node);
        return;
    }
    auto entry = std::move(_spareRangeFirst.back());
    _spareRangeFirst.pop_back();
    entry.key() = key;
    entry.mapped() = node;
    _rangeFirst.insert(std::move(entry));
}

void RenderTarget::putFirstOfRange(RenderLink* node, const RangeKey& key) {
    if (_spareFirstOfRange.empty()) {
        _firstOfRange.emplace(node, key);
        return;
    }
    auto entry = std::move(_spareFirstOfRange.back());
    _spareFirstOfRange.pop_back();
    entry.key() = node;
    entry.mapped() = key;
    _firstOfRange.insert(std::move(entry));
}

void RenderTarget::setRangeFirst(const RangeKey& key, RenderLink* node) {
    auto held = _rangeFirst.find(key);
    if (held != _rangeFirst.end() && held->second != node) {
        auto previous = _firstOfRange.find(held->second);
        if (previous != _firstOfRange.end())
            eraseFirstOfRange(previous);
    }
    auto own = _firstOfRange.find(node);
    if (own != _firstOfRange.end() && !(own->second == key)) {
        auto stale = _rangeFirst.find(own->second);
        if (stale != _rangeFirst.end())
            eraseRangeFirst(stale);
        own->second = key;
    } else if (own == _firstOfRange.end()) {
        putFirstOfRange(node, key);
    }
    putRangeFirst(key, node);
}

void RenderTarget::forgetRangeFirst(RenderLink* node) {
    auto own = _firstOfRange.find(node);
    if (own == _firstOfRange.end())
        return;
    const RangeKey key = own->second;
    eraseFirstOfRange(own);
    auto run = _rangeFirst.find(key);
    if (run != _rangeFirst.end())
        eraseRangeFirst(run);
    // Runs stay together in chains built by addMesh alone, so the run goes on right after its
    // first node or not at all; a chain sorted by position may have split it up.
    const uint32_t i = _index;
    const bool split = key.blended && _blendedSorted;
    for (RenderLink* walk = node->nextIn(i); walk; walk = split ? walk->nextIn(i) : nullptr) {
        if (rangeKey(walk->mesh) == key) {
            setRangeFirst(key, walk);
            return;
        }
    }
}

void RenderTarget::indexChain(RenderLink* head) {
    const uint32_t i = _index;
    for (RenderLink* node = head; node; node = node->nextIn(i)) {
        auto own = _firstOfRange.find(node);
        if (own == _firstOfRange.end())
            continue;
        auto run = _rangeFirst.find(own->second);
        if (run != _rangeFirst.end())
            eraseRangeFirst(run);
        eraseFirstOfRange(own);
    }
    for (RenderLink* node = head; node; node = node->nextIn(i)) {
        const RangeKey key = rangeKey(node->mesh);
        if (_rangeFirst.find(key) == _rangeFirst.end())
            setRangeFirst(key, node);
    }
}

void RenderTarget::addMesh(Mesh* mesh) {
    if (!mesh || !mesh->_material) return;
    const uint32_t i = _index;
    if (!mesh->_renderLink) {
        mesh->_renderLink = new RenderLink();
        mesh->_renderLink->mesh = mesh;
    }
    RenderLink* node = mesh->_renderLink;
    // Membership is recorded per target, so the check never reads past lists that were never
    // grown for this target.
    if (node->isLinkedIn(i)) return;
    if (node->prev.size() <= i) {
        node->prev.resize(i + 1, nullptr);
        node->next.resize(i + 1, nullptr);
        node->linked.resize(i + 1, 0);
    }
    node->prev[i] = nullptr;
    node->next[i] = nullptr;
    node->linked[i] = 1;

    Material* material = mesh->_material;
    const bool opaque = material->_blendMode == BlendNone;
    std::vector<RenderLink*>& heads = opaque ? _opaqueChains : _blendedChains;
    const RangeKey key = rangeKey(mesh);

    for (RenderLink*& head : heads) {
        const Material* headMaterial = head->mesh->_material;
        const bool match = opaque ? headMaterial == material
                                  : (headMaterial && headMaterial->_orderID == material->_orderID);
        if (!match) continue;
        // Right after the first mesh drawn alike, found through the run index instead of a walk
        // along the chain (meshes coming back from the culled list would make that quadratic).
        auto found = _rangeFirst.find(key);
        if (found != _rangeFirst.end()) {
            RenderLink* first = found->second;
            RenderLink* after = first->next[i];
            node->prev[i] = first;
            node->next[i] = after;
            first->next[i] = node;
            if (after) after->prev[i] = node;
            return;
        }
        node->next[i] = head;
        head->prev[i] = node;
        head = node;
        setRangeFirst(key, node);
        return;
    }

    // A new chain, before the first head whose material orders after this one.
    auto position = heads.end();
    for (auto it = heads.begin(); it != heads.end(); ++it) {
        const Material* headMaterial = (*it)->mesh->_material;
        if (headMaterial && headMaterial->_orderID > material->_orderID) {
            position = it;
            break;
        }
    }
    heads.insert(position, node);
    setRangeFirst(key, node);
}

// Takes a node out of one of the chains of heads (it must be in one of them).
void RenderTarget::unlinkFromChain(std::vector<RenderLink*>& heads, RenderLink* node) {
    const uint32_t i = _index;
    forgetRangeFirst(node);
    RenderLink* prev = node->prev[i];
    RenderLink* next = node->next[i];
    if (!prev) {
        for (size_t k = 0; k < heads.size(); ++k) {
            if (heads[k] != node) continue;
            if (next) heads[k] = next;
            else heads.erase(heads.begin() + (long)k);
            break;
        }
    }
    if (prev) prev->next[i] = next;
    if (next) next->prev[i] = prev;
    node->prev[i] = nullptr;
    node->next[i] = nullptr;
}

void RenderTarget::unlinkFromCulled(RenderLink* node) {
    const uint32_t i = _index;
    RenderLink* prev = node->prev[i];
    RenderLink* next = node->next[i];
    if (_culledList == node) _culledList = next;
    if (prev) prev->next[i] = next;
    if (next) next->prev[i] = prev;
    node->prev[i] = nullptr;
    node->next[i] = nullptr;
    node->linked[i] = 0;
}

// A link that no target lists any more is freed, so meshes leave no memory behind.
void RenderTarget::removeMesh(Mesh* mesh) {
    if (!mesh || !mesh->_renderLink) return;
    const uint32_t i = _index;
    RenderLink* node = mesh->_renderLink;
    if (!node->isLinkedIn(i)) return;

    forgetRangeFirst(node);
    if (_culledList == node) _culledList = node->next[i];
    RenderLink* prev = node->prev[i];
    RenderLink* next = node->next[i];
    if (!prev) {
        // A chain head: its entry passes to the next node, or goes when the chain empties. Both
        // head lists are searched, so a mesh whose material changed still leaves cleanly.
        for (std::vector<RenderLink*>* heads : {&_opaqueChains, &_blendedChains}) {
            for (size_t k = 0; k < heads->size(); ++k) {
                if ((*heads)[k] != node) continue;
                if (next) (*heads)[k] = next;
                else heads->erase(heads->begin() + (long)k);
                break;
            }
        }
    }
    if (prev) prev->next[i] = next;
    if (next) next->prev[i] = prev;
    node->prev[i] = nullptr;
    node->next[i] = nullptr;
    node->linked[i] = 0;
}

// The six planes of the camera's view volume in world space, normals pointing inwards: the
// corners of the device cube taken back through the inverse projection and the camera's world
// matrix.
bool RenderTarget::buildPlanes(Plane planes[PlaneCount]) const {
    const CameraFields camera = cameraFields(_camera);
    const Matrix4& inverseProjection = *camera.inverseProjection;
    const Matrix4& world = camera.world;
    Vector3 corners[8];
    Vector3 centre;
    for (int c = 0; c < 8; ++c) {
        Vector4 d((c & 1) ? 1.0f : -1.0f, (c & 2) ? 1.0f : -1.0f, (c & 4) ? 1.0f : -1.0f, 1.0f);
        Vector4 e = inverseProjection.transform(d);
        Vector3 p = e.xyz();
        if (e.w != 0.0f) p = p / e.w;
        corners[c] = world.transformPoint(p);
        centre += corners[c];
    }
    centre = centre / 8.0f;

    // Three corners of each face: left, right, bottom, top, near, far.
    static const int kFaces[PlaneCount][3] = {{0, 2, 4}, {1, 3, 5}, {0, 1, 4}, {2, 3, 6}, {0, 1, 2}, {4, 5, 6}};
    for (int f = 0; f < PlaneCount; ++f) {
        const Vector3& a = corners[kFaces[f][0]];
        Vector3 normal = (corners[kFaces[f][1]] - a).cross(corners[kFaces[f][2]] - a);
        Plane& plane = planes[f];
        const float length = normal.length();
        plane.valid = length > 1e-12f && std::isfinite(length);
        if (!plane.valid) continue;  // a degenerate volume tests no plane there
        normal = normal / length;
        if (normal.dot(centre) < normal.dot(a)) normal = -normal;
        plane.normal = normal;
        plane.distance = normal.dot(a);
        for (int k = 0; k < 3; ++k) plane.signFlags[k] = normal[k] <= 0.0f ? 1 : 0;
    }
    return true;
}

bool RenderTarget::isOutside(const Mesh* mesh, const Plane planes[PlaneCount]) const {
    const Bounds* bounds = mesh->_bounds;
    for (int f = 0; f < PlaneCount; ++f) {
        if (!_cullPlanes[f] || !planes[f].valid) continue;
        const bool outside = boundsMode == 1
                                 ? bounds->isSphereOutsidePlane(planes[f].distance, planes[f].normal)
                                 : bounds->isOutsidePlane(planes[f].distance, planes[f].normal, planes[f].signFlags);
        if (outside) return true;
    }
    return false;
}

void RenderTarget::cull() {
    if (!_camera) return;
    const uint32_t i = _index;
    Plane planes[PlaneCount];
    buildPlanes(planes);

    if (_cullPhase == 0) {
        RenderLink* node = _culledList;
        while (node) {
            RenderLink* next = node->next[i];
            Mesh* mesh = node->mesh;
            if (!mesh->_cullable || (mesh->_bounds && !isOutside(mesh, planes))) {
                unlinkFromCulled(node);
                addMesh(mesh);
            }
            node = next;
        }
    } else {
        for (std::vector<RenderLink*>* heads : {&_opaqueChains, &_blendedChains}) {
            size_t k = 0;
            while (k < heads->size()) {
                const size_t chainsBefore = heads->size();
                RenderLink* node = (*heads)[k];
                while (node) {
                    RenderLink* next = node->next[i];
                    Mesh* mesh = node->mesh;
                    if (mesh->_cullable && mesh->_bounds && isOutside(mesh, planes)) {
                        unlinkFromChain(*heads, node);
                        node->next[i] = _culledList;
                        if (_culledList) _culledList->prev[i] = node;
                        _culledList = node;
                    }
                    node = next;
                }
                if (heads->size() == chainsBefore) ++k;  // else the emptied chain's entry went
            }
        }
    }
    _cullPhase ^= 1;
}

// Relinks the nodes of one chain in key order. Nodes keep their meshes: a link is shared by
// every target that lists the mesh, so exchanging meshes between nodes would move meshes
// between the lists of other targets.
void RenderTarget::sortChain(RenderLink*& head) {
    const uint32_t i = _index;
    _sortScratch.clear();
    for (RenderLink* node = head; node; node = node->next[i]) _sortScratch.push_back(node);
    if (_sortScratch.size() < 2) return;
    _sortBefore = _sortScratch;
    const int axis = _sortType % 3;
    const bool descending = _sortType >= SortXDescending;
    std::stable_sort(_sortScratch.begin(), _sortScratch.end(), [axis, descending](RenderLink* a, RenderLink* b) {
        const float ka = a->mesh->_worldMatrix.m[12 + axis];
        const float kb = b->mesh->_worldMatrix.m[12 + axis];
        return descending ? ka > kb : ka < kb;
    });
    if (_sortScratch == _sortBefore) return;  // already in order
    const size_t n = _sortScratch.size();
    for (size_t j = 0; j < n; ++j) {
        RenderLink* node = _sortScratch[j];
        node->prev[i] = j > 0 ? _sortScratch[j - 1] : nullptr;
        node->next[i] = j + 1 < n ? _sortScratch[j + 1] : nullptr;
    }
    head = _sortScratch[0];
    // Alike meshes may have been parted: the first of each run is looked up again.
    _blendedSorted = true;
    indexChain(head);
}

void RenderTarget::sort() {
    if (_sortType < SortXAscending || _sortType > SortZDescending) return;
    for (RenderLink*& head : _blendedChains) sortChain(head);
}

RenderTarget::RenderTargetMesh* RenderTarget::createFullscreenMesh(const std::string& materialName) {
    RenderTargetMesh* mesh = new RenderTargetMesh(_width, _height);
    Material* shared = ResourceManager::instance().getMaterial("materials/" + materialName + ".txt");
    if (!shared) return mesh;
    Material* own = copyMaterial(*shared);
    auto append = [own](Texture* texture) {
        if (std::find(own->_textures.begin(), own->_textures.end(), texture) == own->_textures.end())
            own->_textures.push_back(texture);
    };
    if (_flags & (FlagColourBuffer | FlagColourTexture)) append(_colourTexture);
    if (_flags & (FlagDepthBuffer | FlagDepthTexture)) append(_depthTexture);
    mesh->_ownMaterial = own;
    mesh->_material = own;
    return mesh;
}

RenderTarget::RenderTargetMesh* RenderTarget::addPostEffect(RenderTarget* source, const std::string& materialName) {
    if (!source) {
        Logger::error("[RenderTarget::addPostEffect] no source target for %s", materialName.c_str());
        return nullptr;
    }
    RenderTargetMesh* mesh = source->createFullscreenMesh(materialName);
    _postEffects.push_back(mesh);
    addMesh(mesh);
    return mesh;
}

size_t RenderTarget::linkedMeshCount() const {
    size_t count = 0;
    for (const std::vector<RenderLink*>* heads : {&_opaqueChains, &_blendedChains})
        for (RenderLink* node : *heads)
            for (; node; node = node->next[_index]) ++count;
    return count;
}

size_t RenderTarget::culledMeshCount() const {
    size_t count = 0;
    for (RenderLink* node = _culledList; node; node = node->next[_index]) ++count;
    return count;
}
