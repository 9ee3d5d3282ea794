#pragma once
// A destination the renderer draws into (the screen or an off-screen buffer) and everything
// drawn into it: camera, fog, size, buffer flags and the draw lists. Opaque meshes sit in one
// chain per material (heads ordered by the material's orderID), blended meshes in one chain per
// orderID; meshes of equal geometry and index range sit next to each other so the renderer can
// draw them as a group. Every frame the target moves meshes that left the camera's view volume
// into its culled list and back when they return (each direction on alternate frames), and
// sorts the blended chains by position.
//
// The scene graph (Camera, Object) lives in a library above this one; targets read what they
// need of it through SceneFields.h.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/render/BackEndData.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine/render/Texture.h"

class Camera;
class Material;
class Object;
class PSParticleSystem;
class Render;
class RenderTarget;

// A mesh's node in the draw lists. Every target has its own pair of links, indexed by the
// target's index, so one mesh can sit in the lists of several targets at once.
struct RenderLink {
    std::vector<RenderLink*> prev;
    std::vector<RenderLink*> next;
    // 1 at index i while the mesh is in one of target i's chains or its culled list.
    std::vector<uint8_t> linked;
    Mesh* mesh = nullptr;

    bool isLinkedIn(uint32_t index) const { return index < linked.size() && linked[index]; }
    RenderLink* nextIn(uint32_t index) const { return index < next.size() ? next[index] : nullptr; }
    RenderLink* prevIn(uint32_t index) const { return index < prev.size() ? prev[index] : nullptr; }
};

class RenderTarget {
public:
    enum BufferFlags {
        FlagColourBuffer = 1,
        FlagDepthBuffer = 2,
        FlagStencil = 4,  // with the depth buffer
        FlagColourTexture = 8,
        FlagDepthTexture = 16
    };
    enum ClearBits { ClearColour = 1, ClearDepth = 2, ClearStencil = 4 };
    enum SortType { SortXAscending = 0, SortYAscending, SortZAscending, SortXDescending, SortYDescending,
                    SortZDescending, SortNone };
    enum { PlaneCount = 6 };

    // The texture a back end attaches to a target's framebuffer; post-processing materials list
    // it like any other texture. It holds no levels: its pixels only ever live in the device.
    class RenderTargetTexture : public Texture {
    public:
        RenderTargetTexture() { _format = TextureRGBA; }
    };

    // A full-screen quad for a source of a given size, covering the used part of the source's
    // power-of-two textures. It owns its geometry, and its material when it has one: a private
    // copy of the named material, so the source textures it adds never reach other users of
    // that material.
    class RenderTargetMesh : public Mesh {
    public:
        class RenderTargetGeometry : public Geometry {
        public:
            RenderTargetGeometry(uint32_t width, uint32_t height);
        };

        RenderTargetMesh(uint32_t width, uint32_t height);
        ~RenderTargetMesh();

        RenderTargetGeometry* _quad = nullptr;
        Material* _ownMaterial = nullptr;
    };

    RenderTarget();
    // Unlinks every mesh still in the lists, deletes the post-effect meshes this target made,
    // the back end's framebuffer record and the two textures.
    ~RenderTarget();
    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // The meshes of a node and, recursively, of its children.
    void addObject(Object* node);
    void removeObject(Object* node);

    // Links one mesh into the lists (once per target); a mesh without material is not linked.
    void addMesh(Mesh* mesh);
    // Unlinks one mesh from this target's lists. A mesh must leave before its material switches
    // between opaque and blended, and before it is destroyed.
    void removeMesh(Mesh* mesh);

    // The particle system's drawing mesh.
    void addParticleSystem(PSParticleSystem* system);
    void removeParticleSystem(PSParticleSystem* system);

    // Moves meshes that left the camera's view volume into the culled list (odd phases) and
    // those that came back into the chains again (even phases). Nothing without a camera.
    void cull();
    // Orders every blended chain by world position (sortType 0..5); opaque chains stay.
    void sort();

    // A full-screen quad for this target's size with the material "materials/<name>.txt" and,
    // appended to a private copy of that material, this target's colour texture (with a colour
    // buffer) and depth texture (with depth). Without the material file the mesh has no
    // material and is never drawn. The caller owns the mesh.
    RenderTargetMesh* createFullscreenMesh(const std::string& materialName);
    // A full-screen quad of source drawn into this target with the named material; this target
    // owns the mesh and keeps it linked. Returns it so its uniforms can be set.
    RenderTargetMesh* addPostEffect(RenderTarget* source, const std::string& materialName);

    bool hasDepth() const { return (_flags & FlagDepthBuffer) != 0; }
    bool hasStencil() const { return (_flags & FlagDepthBuffer) && (_flags & FlagStencil); }
    // Number of meshes currently in the chains (not counting the culled list).
    size_t linkedMeshCount() const;
    size_t culledMeshCount() const;

    std::vector<RenderLink*> _opaqueChains;
    std::vector<RenderLink*> _blendedChains;
    uint8_t _cullPlanes[PlaneCount] = {1, 1, 1, 1, 1, 1};
    // Given at construction, unique among the live targets of the process (its link slot).
    uint32_t _index = 0;
    int32_t _sortType = SortNone;
    std::string _name;
    BackEndData* _framebuffer = nullptr;  // the back end's record; owned
    uint32_t _flags = FlagColourBuffer | FlagDepthBuffer | FlagColourTexture;
    uint16_t _width = 0;
    uint16_t _height = 0;
    Camera* _camera = nullptr;
    float _fogDistance = 0;  // 0 = no fog
    RenderLink* _culledList = nullptr;
    uint8_t _disabled = 0;
    uint8_t _clearOnBegin = 1;
    uint8_t _cullPhase = 1;
    // Draws into a framebuffer the platform owns (the screen): none is created, nothing discarded.
    uint8_t _external = 1;
    uint32_t _clearMask = 0xffffffffu;
    RenderTargetTexture* _colourTexture = nullptr;
    RenderTargetTexture* _depthTexture = nullptr;

private:
    friend class Render;

    // A run of meshes drawn alike: the chain they belong to (the material of an opaque chain, the
    // orderID of a blended one) with their geometry and index range.
    struct RangeKey {
        uintptr_t chain = 0;
        const Geometry* geometry = nullptr;
        int32_t firstIndex = 0;
        int32_t indexCount = 0;
        bool blended = false;
        bool operator==(const RangeKey& o) const {
            return chain == o.chain && geometry == o.geometry && firstIndex == o.firstIndex &&
                   indexCount == o.indexCount && blended == o.blended;
        }
    };
    struct RangeKeyHash {
        size_t operator()(const RangeKey& k) const;
    };
    static RangeKey rangeKey(const Mesh* mesh);

    struct Plane {
        Vector3 normal;
        float distance = 0;
        uint8_t signFlags[3] = {0, 0, 0};
        bool valid = false;
    };

    void unlinkFromChain(std::vector<RenderLink*>& heads, RenderLink* node);
    // The node leaves its chain: when it was the first of its run, the next one of the run takes
    // its place in the run index.
    void forgetRangeFirst(RenderLink* node);
    void setRangeFirst(const RangeKey& key, RenderLink* node);
    // Rebuilds the run index of one chain whose order changed.
    void indexChain(RenderLink* head);
    void unlinkFromCulled(RenderLink* node);
    bool buildPlanes(Plane planes[PlaneCount]) const;
    bool isOutside(const Mesh* mesh, const Plane planes[PlaneCount]) const;
    void sortChain(RenderLink*& head);

    std::vector<RenderTargetMesh*> _postEffects;
    std::vector<RenderLink*> _sortScratch;
    std::vector<RenderLink*> _sortBefore;
    // The first node (in chain order) of every run of alike meshes in the chains, and the run
    // each such node heads, so a mesh finds its place without walking its chain.
    std::unordered_map<RangeKey, RenderLink*, RangeKeyHash> _rangeFirst;
    std::unordered_map<RenderLink*, RangeKey> _firstOfRange;
    // Entries taken out of the two maps, kept for the next insertions: meshes move between the
    // chains and the culled list every frame, and a map entry of its own would be an allocation
    // each time.
    std::vector<decltype(_rangeFirst)::node_type> _spareRangeFirst;
    std::vector<decltype(_firstOfRange)::node_type> _spareFirstOfRange;
    void eraseRangeFirst(decltype(_rangeFirst)::iterator it);
    void eraseFirstOfRange(decltype(_firstOfRange)::iterator it);
    void putRangeFirst(const RangeKey& key, RenderLink* node);
    void putFirstOfRange(RenderLink* node, const RangeKey& key);
    // Set once a blended chain was reordered by position: its runs may then be split.
    bool _blendedSorted = false;
    // The index this target took at construction and gives back when it goes.
    uint32_t _heldIndex = 0;
    // The renderer that made this target and lists it; it drops the target from its list when the
    // target goes.
    Render* _issuer = nullptr;
};
