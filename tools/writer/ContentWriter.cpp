#include "ContentWriter.h"
#include "ActorContent.h"
#include "LevelActorContent.h"
#include "TrackContent.h"
#include "AtmoContent.h"
#include "LevelContent.h"
#include "PageContent.h"
#include "PlayerContent.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace contentwriter {

void LEWriter::u16(uint16_t v) {
    bytes.push_back((uint8_t)(v & 0xFF));
    bytes.push_back((uint8_t)(v >> 8));
}

void LEWriter::u32(uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes.push_back((uint8_t)((v >> (8 * i)) & 0xFF));
}

void LEWriter::f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
}

void LEWriter::vec3(const Vec3& v) {
    f32(v.x);
    f32(v.y);
    f32(v.z);
}

void LEWriter::str16(const std::string& s) {
    size_t n = std::min<size_t>(s.size(), 0xFFFF);
    u16((uint16_t)n);
    raw(s.data(), n);
}

void LEWriter::raw(const void* data, size_t n) {
    const uint8_t* p = (const uint8_t*)data;
    bytes.insert(bytes.end(), p, p + n);
}

// ---------------------------------------------------------------------------------------------

namespace {

void putFloat(std::vector<uint8_t>& out, float v) {
    uint8_t b[4];
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; ++i)
        b[i] = (uint8_t)((bits >> (8 * i)) & 0xFF);
    out.insert(out.end(), b, b + 4);
}

void boundsOf(const std::vector<Vertex>& vertices, Vec3& mn, Vec3& mx) {
    if (vertices.empty()) {
        mn = mx = Vec3();
        return;
    }
    mn = mx = vertices[0].position;
    for (const Vertex& v : vertices) {
        mn.x = std::min(mn.x, v.position.x);
        mn.y = std::min(mn.y, v.position.y);
        mn.z = std::min(mn.z, v.position.z);
        mx.x = std::max(mx.x, v.position.x);
        mx.y = std::max(mx.y, v.position.y);
        mx.z = std::max(mx.z, v.position.z);
    }
}

}  // namespace

MeshData makeMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices) {
    MeshData m;
    m.attributes = {{"vertPos", 3, 0}, {"texCoords0", 2, 0}, {"vertNormal", 3, 0}};
    m.vertexCount = (uint32_t)vertices.size();
    for (const Vertex& v : vertices) {
        for (float f : {v.position.x, v.position.y, v.position.z, v.u, v.v, v.normal.x, v.normal.y, v.normal.z})
            putFloat(m.vertexBytes, f);
    }
    m.indices = indices;
    boundsOf(vertices, m.boundsMin, m.boundsMax);
    return m;
}

MeshData makeModelMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices) {
    MeshData m;
    m.attributes = {{"vertPos", 3, 0}, {"texCoords0", 2, 0}, {"vertNormal", 3, 0}, {"vertColor", 4, 1}};
    m.vertexCount = (uint32_t)vertices.size();
    for (const Vertex& v : vertices) {
        for (float f : {v.position.x, v.position.y, v.position.z, v.u, v.v, v.normal.x, v.normal.y, v.normal.z})
            putFloat(m.vertexBytes, f);
        m.vertexBytes.insert(m.vertexBytes.end(), 4, (uint8_t)0xFF);
    }
    m.indices = indices;
    boundsOf(vertices, m.boundsMin, m.boundsMax);
    return m;
}

MeshData makeLegacyMesh(const std::vector<Vertex>& vertices, const std::vector<uint16_t>& indices) {
    MeshData m;
    m.legacy = true;
    m.vertexCount = (uint32_t)vertices.size();
    for (const Vertex& v : vertices) {
        for (float f : {v.position.x, v.position.y, v.position.z, v.u, v.v, v.normal.x, v.normal.y, v.normal.z,
                        1.0f, 1.0f, 1.0f})
            putFloat(m.vertexBytes, f);
    }
    m.indices = indices;
    boundsOf(vertices, m.boundsMin, m.boundsMax);
    return m;
}

void appendBox(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& c, const Vec3& size) {
    const float hx = size.x * 0.5f, hy = size.y * 0.5f, hz = size.z * 0.5f;
    // Each face: normal, and two in-plane axes (u, v) so that u x v = normal (counter-clockwise outside).
    struct Face {
        Vec3 n, u, v;
    };
    const Face faces[6] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    for (const Face& f : faces) {
        uint16_t base = (uint16_t)vertices.size();
        const float su[4] = {-1, 1, 1, -1};
        const float sv[4] = {-1, -1, 1, 1};
        for (int k = 0; k < 4; ++k) {
            Vertex vx;
            vx.position = Vec3(c.x + (f.n.x + f.u.x * su[k] + f.v.x * sv[k]) * hx,
                               c.y + (f.n.y + f.u.y * su[k] + f.v.y * sv[k]) * hy,
                               c.z + (f.n.z + f.u.z * su[k] + f.v.z * sv[k]) * hz);
            vx.u = su[k] * 0.5f + 0.5f;
            vx.v = sv[k] * 0.5f + 0.5f;
            vx.normal = f.n;
            vertices.push_back(vx);
        }
        for (uint16_t i : {0, 1, 2, 0, 2, 3})
            indices.push_back((uint16_t)(base + i));
    }
}

void appendQuad(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& c, float sizeX,
                float sizeY) {
    uint16_t base = (uint16_t)vertices.size();
    const float su[4] = {-1, 1, 1, -1};
    const float sv[4] = {-1, -1, 1, 1};
    for (int k = 0; k < 4; ++k) {
        Vertex vx;
        vx.position = Vec3(c.x + su[k] * sizeX * 0.5f, c.y + sv[k] * sizeY * 0.5f, c.z);
        vx.u = (su[k] * 0.5f + 0.5f) * sizeX * 0.25f;
        vx.v = (sv[k] * 0.5f + 0.5f) * sizeY * 0.25f;
        vx.normal = Vec3(0, 0, 1);
        vertices.push_back(vx);
    }
    for (uint16_t i : {0, 1, 2, 0, 2, 3})
        indices.push_back((uint16_t)(base + i));
}

void appendSphere(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, const Vec3& c, float radius,
                  int slices, int stacks) {
    uint16_t base = (uint16_t)vertices.size();
    const float pi = 3.14159265f;
    for (int i = 0; i <= stacks; ++i) {
        float phi = pi * (float)i / (float)stacks;  // 0 at the top
        for (int j = 0; j <= slices; ++j) {
            float theta = 2 * pi * (float)j / (float)slices;
            Vec3 n(std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta), std::cos(phi));
            Vertex vx;
            vx.position = Vec3(c.x + n.x * radius, c.y + n.y * radius, c.z + n.z * radius);
            vx.normal = n;
            vx.u = (float)j / (float)slices;
            vx.v = (float)i / (float)stacks;
            vertices.push_back(vx);
        }
    }
    const int row = slices + 1;
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            uint16_t a = (uint16_t)(base + i * row + j), b = (uint16_t)(a + row);
            for (uint16_t k : {a, b, (uint16_t)(b + 1), a, (uint16_t)(b + 1), (uint16_t)(a + 1)})
                indices.push_back(k);
        }
    }
}

void writeMeshData(LEWriter& w, const MeshData& mesh) {
    if (mesh.legacy) {
        w.u32(mesh.vertexCount * 11);
    } else {
        w.raw("v1.0", 4);
        w.u16((uint16_t)mesh.attributes.size());
        for (const MeshAttribute& a : mesh.attributes) {
            w.str16(a.name);
            w.u16(a.components);
            w.u16(a.type);
        }
        w.u32(mesh.vertexCount);
    }
    w.u16((uint16_t)mesh.indices.size());
    w.raw(mesh.vertexBytes.data(), mesh.vertexBytes.size());
    for (uint16_t i : mesh.indices)
        w.u16(i);
    const std::vector<uint16_t>& adj = mesh.adjacency.empty() ? mesh.indices : mesh.adjacency;
    for (size_t i = 0; i < mesh.indices.size(); ++i)
        w.u16(i < adj.size() ? adj[i] : 0);
    w.vec3(mesh.boundsMin);
    w.vec3(mesh.boundsMax);
}

// ---------------------------------------------------------------------------------------------

static void writeProperties(LEWriter& w, const Properties& p) {
    w.u16((uint16_t)p.size());
    for (const auto& kv : p) {
        w.str16(kv.first);
        w.str16(kv.second);
    }
}

void writeObjectNode(LEWriter& w, const ObjectNodeDesc& node, int version, bool top) {
    w.str16(node.name);
    w.u16((uint16_t)node.ranges.size());
    // Each material name's length is written ahead of it; after the last one comes the key count.
    for (const MaterialRangeDesc& r : node.ranges) {
        w.u16((uint16_t)r.material.size());
        w.raw(r.material);
        w.u32(r.firstFloat);
        w.u32(r.floatCount);
        w.u16(r.firstIndex);
        w.u16(r.indexCount);
    }
    w.u16((uint16_t)node.keys.size());
    for (const ObjectKeyDesc& k : node.keys) {
        w.u16(0);
        w.vec3(k.position);
        w.vec3(k.rotation);
    }
    if (version >= 1)
        writeProperties(w, node.properties);
    w.u16((uint16_t)node.children.size());
    for (const ObjectNodeDesc& c : node.children) {
        w.vec3(c.position);
        w.vec3(c.rotation);
        w.vec3(c.scale);
        if (version == 0) {
            writeObjectNode(w, c, version, false);
            continue;
        }
        w.u16(c.isText ? 2 : c.kind);
        if (c.isText) {
            w.str16(c.name);
            w.str16(c.text);
            if (version >= 2) {
                w.f32(c.size);
                w.str16(c.alignment);
            }
            if (version >= 3)
                w.str16(c.font);
        } else {
            writeObjectNode(w, c, version, false);
        }
    }
    (void)top;
}

std::vector<uint8_t> writeObjectFile(const ObjectFileDesc& file) {
    LEWriter w;
    static const char* tags[4] = {nullptr, "v1.0", "v1.1", "v1.2"};
    if (file.version >= 1 && file.version <= 3)
        w.raw(tags[file.version], 4);
    int version = file.version >= 1 && file.version <= 3 ? file.version : 0;
    writeObjectNode(w, file.top, version, true);
    writeProperties(w, file.trailingProperties);
    writeMeshData(w, file.mesh);
    return w.bytes;
}

MaterialRangeDesc wholeRange(const std::string& material, uint32_t vertexCount, uint32_t indexCount) {
    MaterialRangeDesc r;
    r.material = material;
    r.firstFloat = 0;
    r.floatCount = vertexCount * 11;
    r.firstIndex = 0;
    r.indexCount = (uint16_t)indexCount;
    return r;
}

// ---------------------------------------------------------------------------------------------

Layers Layers::bits(uint32_t mask) {
    Layers l;
    for (int i = 0; i < 19; ++i)
        l.flags[i] = (mask >> i) & 1u ? 1 : 0;
    return l;
}

BinarySceneWriter::BinarySceneWriter(const std::string& header)
    : _objectProperties(header == "BIN1.0" || header == "BIN1.1"), _emptyKeys(header == "BIN1.1") {
    std::string h = header;
    h.resize(6, ' ');
    _w.raw(h);
}

void BinarySceneWriter::layers(const Layers& l) {
    for (int i = 0; i < 19; ++i)
        _w.u16(l.flags[i]);
}

void BinarySceneWriter::camera(const std::string& name, const Vec3& position, const Vec3& rotation,
                               const Layers& l, uint16_t projection, float lens,
                               const std::vector<SceneKeyDesc>& keys) {
    _w.u16(RecordCamera);
    _w.str16(name);
    _w.vec3(position);
    _w.vec3(rotation);
    layers(l);
    _w.u16(projection);
    _w.f32(lens);
    _w.u16((uint16_t)keys.size());
    for (const SceneKeyDesc& k : keys) {
        _w.f32(k.value);
        _w.vec3(k.position);
        _w.vec3(k.rotation);
    }
}

static void writeGroups(LEWriter& w, const std::vector<std::string>& groups) {
    w.u16((uint16_t)groups.size());
    for (const std::string& g : groups)
        w.str16(g);
}

static void writePoseKeys(LEWriter& w, const std::vector<SceneKeyDesc>& keys) {
    w.s16((int16_t)std::min<size_t>(keys.size(), 0x7FFF));
    for (size_t i = 0; i < keys.size() && i < 0x7FFF; ++i) {
        w.vec3(keys[i].position);
        w.vec3(keys[i].rotation);
    }
}

void BinarySceneWriter::object(const std::string& name, const std::string& folder, const std::string& object,
                               const Vec3& position, const Vec3& rotation, const Vec3& scale,
                               const Properties& properties, const std::vector<std::string>& groups,
                               const Layers& l, const std::vector<SceneKeyDesc>& keys) {
    _w.u16(RecordObject);
    _w.str16(name);
    _w.str16(folder);
    _w.str16(object);
    _w.vec3(position);
    _w.vec3(rotation);
    _w.vec3(scale);
    if (_objectProperties)
        writeProperties(_w, properties);
    writeGroups(_w, groups);
    layers(l);
    writePoseKeys(_w, keys);
}

void BinarySceneWriter::light(const std::string& name, const Vec3& position, const Vec3& colour, float energy,
                              float secondFactor, const Layers& l) {
    _w.u16(RecordLight);
    _w.str16(name);
    _w.vec3(position);
    _w.vec3(colour);
    _w.f32(energy);
    _w.f32(secondFactor);
    layers(l);
}

void BinarySceneWriter::empty(const std::string& name, const Vec3& position, const Vec3& rotation,
                              const Vec3& scale, const Properties& properties,
                              const std::vector<std::string>& groups, const Layers& l,
                              const std::vector<SceneKeyDesc>& keys) {
    _w.u16(RecordEmpty);
    _w.str16(name);
    _w.vec3(position);
    _w.vec3(rotation);
    _w.vec3(scale);
    writeProperties(_w, properties);
    writeGroups(_w, groups);
    layers(l);
    if (_emptyKeys)
        writePoseKeys(_w, keys);
}

void BinarySceneWriter::text(const Vec3& position, const Vec3& rotation, const Vec3& scale,
                             const std::string& name, const std::string& text, float size,
                             const std::string& alignment, const std::string& font,
                             const std::vector<std::string>& groups) {
    _w.u16(RecordText);
    _w.vec3(position);
    _w.vec3(rotation);
    _w.vec3(scale);
    _w.str16(name);
    _w.str16(text);
    _w.f32(size);
    _w.str16(alignment);
    _w.str16(font);
    writeGroups(_w, groups);
}

}  // namespace contentwriter

// ---------------------------------------------------------------------------------------------
// The demo scene's binary files.

namespace contentwriter {

namespace {

ObjectFileDesc singleShape(const std::string& name, const std::vector<Vertex>& vertices,
                           const std::vector<uint16_t>& indices, const std::string& material,
                           const Properties& properties) {
    ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(wholeRange(material, (uint32_t)vertices.size(), (uint32_t)indices.size()));
    f.top.properties = properties;
    f.mesh = makeModelMesh(vertices, indices);
    return f;
}

const float kPi = 3.14159265f;

}  // namespace

std::vector<SceneKeyDesc> demoSpinnerKeys() {
    // One turn a second (24 key frames) while bobbing up and down.
    std::vector<SceneKeyDesc> keys;
    for (int k = 0; k < 24; ++k) {
        float a = 2 * kPi * (float)k / 24.0f;
        SceneKeyDesc key;
        key.position = Vec3(2.5f, 1.0f, 1.0f + 0.3f * std::sin(a));
        key.rotation = Vec3(0, 0, a);
        keys.push_back(key);
    }
    return keys;
}

std::vector<ContentFile> demoContent() {
    std::vector<ContentFile> files;

    {   // The floor: one quad, ground-typed, a static triangle-mesh body.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendQuad(v, i, Vec3(0, 0, 0), 30, 30);
        files.push_back({"objects/demo/ground.object",
                         writeObjectFile(singleShape("ground", v, i, "ground", {{"ground", "1"}}))});
    }
    {   // A crate with a box body.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 0), Vec3(1, 1, 1));
        files.push_back({"objects/demo/crate.object",
                         writeObjectFile(singleShape("crate", v, i, "model", {{"coll", "box"}, {"mass", "2"}}))});
    }
    {   // A ball with a sphere body.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendSphere(v, i, Vec3(0, 0, 0), 0.5f, 16, 8);
        files.push_back({"objects/demo/ball.object",
                         writeObjectFile(singleShape("ball", v, i, "model", {{"coll", "sphere"}}))});
    }
    {   // A pillar in the oldest object-file layout (no version tag), cylinder body.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 1.5f), Vec3(0.6f, 0.6f, 3));
        ObjectFileDesc f;
        f.version = 0;
        f.top.name = "pillar";
        f.top.ranges.push_back(wholeRange("model", (uint32_t)v.size(), (uint32_t)i.size()));
        f.trailingProperties = {{"coll", "cylinder_z"}, {"physics", "static_obstacle"}};
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/demo/pillar.object", writeObjectFile(f)});
    }
    {   // The animated sign: a block with a cap child and a text child, no body.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 0), Vec3(0.8f, 0.8f, 0.8f));
        const uint16_t blockIndices = (uint16_t)i.size();
        const uint32_t blockVertices = (uint32_t)v.size();
        appendBox(v, i, Vec3(0, 0, 0), Vec3(0.4f, 0.4f, 0.2f));
        ObjectFileDesc f;
        f.version = 3;
        f.top.name = "spinner";
        f.top.ranges.push_back(wholeRange("model", blockVertices, blockIndices));
        f.top.properties = {{"nophysics", "1"}};
        ObjectNodeDesc cap;
        cap.name = "cap";
        cap.position = Vec3(0, 0, 0.5f);
        MaterialRangeDesc capRange;
        capRange.material = "glass";
        capRange.firstFloat = blockVertices * 11;
        capRange.floatCount = ((uint32_t)v.size() - blockVertices) * 11;
        capRange.firstIndex = blockIndices;
        capRange.indexCount = (uint16_t)(i.size() - blockIndices);
        cap.ranges.push_back(capRange);
        f.top.children.push_back(cap);
        ObjectNodeDesc label;
        label.isText = true;
        label.name = "label";
        label.text = "DEMO";
        label.position = Vec3(0, -0.41f, 0);
        label.rotation = Vec3(kPi, 0, 0);
        label.scale = Vec3(0.02f, 0.02f, 0.02f);
        label.size = 1;
        label.alignment = "CENTER";
        label.font = "dejavu_sans";
        f.top.children.push_back(label);
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/demo/spinner.object", writeObjectFile(f)});
    }

    {   // The demo scene in the record format; scenes/demo.txt holds the same in text.
        BinarySceneWriter s("BIN1.1");
        const Layers layer0 = Layers::bits(1);
        s.camera("Camera", Vec3(0, -10, 5.5f), Vec3(1.1071487f, 0, 0), layer0, 1, 50);
        s.light("Sun", Vec3(3, 6, -10), Vec3(1.0f, 0.95f, 0.9f), 1.4f, 0.5f, layer0);
        s.light("Fill", Vec3(-6, 2, -4), Vec3(0.4f, 0.45f, 0.6f), 0.7f, 0.5f, layer0);
        s.object("Ground", "objects/demo", "ground", Vec3(0, 0, 0), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {"floor"}, layer0);
        s.object("Crate", "objects/demo", "crate", Vec3(0, 0, 2.5f), Vec3(0, 0, 0.3f), Vec3(1, 1, 1), {}, {"props"}, layer0);
        s.object("Ball", "objects/demo", "ball", Vec3(-2.5f, 1, 0.5f), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {"props"}, layer0);
        s.object("PillarLeft", "objects/demo", "pillar", Vec3(-4, 3, 0), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {"pillars"},
                 layer0);
        s.object("PillarRight", "objects/demo", "pillar", Vec3(4, 3, 0), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {"pillars"},
                 layer0);
        s.object("Spinner", "objects/demo", "spinner", Vec3(2.5f, 1, 1), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {"props"}, layer0,
                 demoSpinnerKeys());
        s.empty("SpawnPoint", Vec3(0, 4, 0), Vec3(0, 0, 0), Vec3(1, 1, 1), {{"kind", "spawn"}}, {"markers"}, layer0);
        files.push_back({"scenes/demo.bin", s.bytes()});
    }
    for (ContentFile& f : actorContent()) files.push_back(std::move(f));
    for (ContentFile& f : trackContent()) files.push_back(std::move(f));
    for (ContentFile& f : atmoContent()) files.push_back(std::move(f));
    for (ContentFile& f : levelActorContent()) files.push_back(std::move(f));
    for (ContentFile& f : levelContent()) files.push_back(std::move(f));
    for (ContentFile& f : playerContent()) files.push_back(std::move(f));
    for (ContentFile& f : pageContent()) files.push_back(std::move(f));
    return files;
}

}  // namespace contentwriter
