#include "writer/PlayerContent.h"

namespace contentwriter {

namespace {

// A child node owning the box appended at its origin.
ObjectNodeDesc boxPart(std::vector<Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                       const std::string& material, const Vec3& position, const Vec3& size,
                       const Properties& properties) {
    const uint32_t firstVertex = (uint32_t)v.size();
    const uint16_t firstIndex = (uint16_t)i.size();
    appendBox(v, i, Vec3(0, 0, 0), size);
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

// A locomotive: Y forward, Z up, the rear wheel 1.2 behind the origin and the front one 1.2
// ahead. The cab, a brake light switched by the "brake" node set, a kinematic box body (the
// train's own body, or the hit body of the hit boost's outline).
ObjectFileDesc train(const std::string& name, float length, const std::string& bodyMaterial,
                     const char* bodyType = "kinematic_player") {
    std::vector<Vertex> v;
    std::vector<uint16_t> i;
    const Properties none = {{"nophysics", "1"}};
    appendBox(v, i, Vec3(0, 0, 0.7f), Vec3(1.2f, length, 0.8f));
    const uint16_t bodyIndices = (uint16_t)i.size();
    const uint32_t bodyVertices = (uint32_t)v.size();
    ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(wholeRange(bodyMaterial, bodyVertices, bodyIndices));
    f.top.properties = none;
    f.top.children.push_back(boxPart(v, i, "cab", "model", Vec3(0, -0.5f * length + 0.5f, 1.4f),
                                     Vec3(1.1f, 0.9f, 0.7f), none));
    f.top.children.push_back(boxPart(v, i, "brake_light", "glass", Vec3(0, -0.5f * length, 0.9f),
                                     Vec3(0.8f, 0.05f, 0.2f), none));
    f.top.children.push_back(boxPart(v, i, "menu_plate", "model", Vec3(0, 0, 0.05f), Vec3(1.6f, length + 0.4f, 0.1f),
                                     none));
    // The train's own body: the road turns its contacts into crashes and hits.
    f.top.children.push_back(boxPart(v, i, "coll", "model", Vec3(0, 0, 0.7f), Vec3(1.1f, length - 0.1f, 0.75f),
                                     {{"coll", "box"}, {"physics", bodyType}}));
    f.mesh = makeModelMesh(v, i);
    return f;
}

}  // namespace

std::vector<ContentFile> playerContent() {
    std::vector<ContentFile> files;
    files.push_back({"objects/actors/train_red.object", writeObjectFile(train("train_red", 3.0f, "model"))});
    files.push_back({"objects/actors/train_blue.object", writeObjectFile(train("train_blue", 3.6f, "model"))});
    {   // The wreck: one loose box that physics throws about.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 0), Vec3(1.1f, 2.8f, 0.8f));
        ObjectFileDesc f;
        f.version = 3;
        f.top.name = "train_crash";
        f.top.ranges.push_back(wholeRange("model", (uint32_t)v.size(), (uint32_t)i.size()));
        f.top.properties = {{"coll", "box"}, {"mass", "2"}, {"physics", "dynamic"}};
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/actors/train_crash.object", writeObjectFile(f)});
    }
    {   // The train while a hit boost runs: the same outline in glass.
        files.push_back({"objects/actors/train_hit.object", writeObjectFile(train("train_hit", 3.0f, "glass", "kinematic_player_hit"))});
    }
    return files;
}

}  // namespace contentwriter
