#include "writer/ActorContent.h"

#include <cmath>

namespace contentwriter {

namespace {

const float kPi = 3.14159265f;

// A child node owning a range of the shared mesh: the shape appended by `shape` at its origin.
template <class Shape>
ObjectNodeDesc part(std::vector<Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                    const std::string& material, const Vec3& position, const Properties& properties, Shape&& shape) {
    const uint32_t firstVertex = (uint32_t)v.size();
    const uint16_t firstIndex = (uint16_t)i.size();
    shape();
    ObjectNodeDesc node;
    node.name = name;
    node.position = position;
    MaterialRangeDesc range;
    range.material = material;
    range.firstFloat = firstVertex * 11;
    range.floatCount = ((uint32_t)v.size() - firstVertex) * 11;
    range.firstIndex = firstIndex;
    range.indexCount = (uint16_t)(i.size() - firstIndex);
    node.ranges.push_back(range);
    node.properties = properties;
    return node;
}

// 48 key frames of the body: 0..23 a slow bob in place ("idle"), 24..47 a rocking ride ("drive").
std::vector<ObjectKeyDesc> handcarKeys() {
    std::vector<ObjectKeyDesc> keys;
    for (int k = 0; k < 48; ++k) {
        const float a = 2 * kPi * (float)(k % 24) / 24.0f;
        ObjectKeyDesc key;
        if (k < 24) {
            key.position = Vec3(0, 0, 0.03f * std::sin(a));
        } else {
            key.position = Vec3(0, 0, 0.05f * std::fabs(std::sin(a)));
            key.rotation = Vec3(0.04f * std::sin(a), 0, 0);
        }
        keys.push_back(key);
    }
    return keys;
}

}  // namespace

std::vector<ContentFile> actorContent() {
    std::vector<ContentFile> files;

    // The handcar: Y forward, Z up. The body carries the key frames; a wheel pair turns with the
    // distance travelled (the front one from its "wheel" property, the back one from the
    // configuration), the lamp is switched by name, the chimney smokes, the bell sounds, the
    // shadow lies below the caster and the "coll" node holds the body.
    std::vector<Vertex> v;
    std::vector<uint16_t> i;
    const Properties none = {{"nophysics", "1"}};
    appendBox(v, i, Vec3(0, 0, 0.6f), Vec3(1.0f, 2.0f, 0.5f));
    const uint16_t bodyIndices = (uint16_t)i.size();
    const uint32_t bodyVertices = (uint32_t)v.size();

    ObjectFileDesc f;
    f.version = 3;
    f.top.name = "handcar";
    f.top.ranges.push_back(wholeRange("model", bodyVertices, bodyIndices));
    f.top.keys = handcarKeys();
    f.top.properties = none;

    auto box = [&](const Vec3& size) { return [&v, &i, size]() { appendBox(v, i, Vec3(0, 0, 0), size); }; };
    f.top.children.push_back(part(v, i, "wheel_front", "model", Vec3(0.6f, 0.6f, 0.3f),
                                  {{"nophysics", "1"}, {"wheel", "1"}}, box(Vec3(0.2f, 0.6f, 0.6f))));
    f.top.children.push_back(
        part(v, i, "wheel_back", "model", Vec3(0.6f, -0.6f, 0.3f), none, box(Vec3(0.2f, 0.6f, 0.6f))));
    f.top.children.push_back(part(v, i, "lamp", "glass", Vec3(0, 1.05f, 0.8f), {{"nophysics", "1"}, {"node", "lamp"}},
                                  box(Vec3(0.3f, 0.1f, 0.2f))));
    f.top.children.push_back(part(v, i, "chimney", "model", Vec3(0, -0.6f, 1.05f),
                                  {{"nophysics", "1"}, {"particle", "smoke"}, {"effect", "puff"}},
                                  box(Vec3(0.2f, 0.2f, 0.4f))));
    f.top.children.push_back(part(v, i, "bell", "model", Vec3(0, 0.8f, 1.0f),
                                  {{"nophysics", "1"}, {"sound", "horn"}, {"effect", "honk"}},
                                  box(Vec3(0.2f, 0.2f, 0.2f))));

    ObjectNodeDesc caster;
    caster.name = "caster";
    caster.position = Vec3(0, 0, 0.6f);
    caster.properties = none;
    caster.children.push_back(part(v, i, "shadow", "glass", Vec3(0, 0, -0.6f),
                                   {{"nophysics", "1"}, {"shadow", "oriented"}},
                                   [&]() { appendQuad(v, i, Vec3(0, 0, 0), 1.2f, 2.2f); }));
    f.top.children.push_back(caster);

    f.top.children.push_back(part(v, i, "coll", "model", Vec3(0, 0, 0.6f), {{"coll", "box"}, {"physics", "kinematic"}},
                                  box(Vec3(0.9f, 1.9f, 0.45f))));

    f.mesh = makeModelMesh(v, i);
    files.push_back({"objects/actors/handcar.object", writeObjectFile(f)});
    return files;
}

}  // namespace contentwriter
