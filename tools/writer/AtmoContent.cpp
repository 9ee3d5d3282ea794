#include "writer/AtmoContent.h"

namespace contentwriter {

namespace {

const Properties kNoPhysics = {{"nophysics", "1"}};

// A node owning the shape that `shape` appends to the shared mesh.
template <class Shape>
ObjectNodeDesc shapeNode(std::vector<Vertex>& v, std::vector<uint16_t>& i, const std::string& name,
                         const std::string& material, const Vec3& position, const Properties& properties,
                         Shape&& shape) {
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

// One shape as the whole object: top node named after the file.
ContentFile single(const std::string& path, const std::string& name, const std::string& material,
                   const Properties& properties, void (*shape)(std::vector<Vertex>&, std::vector<uint16_t>&)) {
    std::vector<Vertex> v;
    std::vector<uint16_t> i;
    shape(v, i);
    ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(wholeRange(material, (uint32_t)v.size(), (uint32_t)i.size()));
    f.top.properties = properties;
    f.mesh = makeModelMesh(v, i);
    return {path, writeObjectFile(f)};
}

}  // namespace

std::vector<ContentFile> atmoContent() {
    std::vector<ContentFile> files;

    // Sky: a large dome kept at the camera, and a ring of cloud slabs that turns about Z.
    files.push_back(single("objects/atmo/sky_dome.object", "sky_dome", "model", kNoPhysics,
                           [](std::vector<Vertex>& v, std::vector<uint16_t>& i) {
                               appendSphere(v, i, Vec3(0, 0, 0), 400, 16, 8);
                           }));
    files.push_back(single("objects/atmo/sky_clouds.object", "sky_clouds", "model", kNoPhysics,
                           [](std::vector<Vertex>& v, std::vector<uint16_t>& i) {
                               appendBox(v, i, Vec3(300, 0, 120), Vec3(60, 20, 4));
                               appendBox(v, i, Vec3(-300, 0, 140), Vec3(80, 30, 4));
                               appendBox(v, i, Vec3(0, 300, 110), Vec3(20, 70, 4));
                               appendBox(v, i, Vec3(0, -300, 130), Vec3(30, 50, 4));
                           }));

    // Decorations. The tree's crown is a child the object file places; the trunk holds the body.
    {
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 1), Vec3(0.4f, 0.4f, 2));
        const uint32_t trunkVertices = (uint32_t)v.size();
        const uint16_t trunkIndices = (uint16_t)i.size();
        ObjectFileDesc f;
        f.version = 3;
        f.top.name = "tree";
        f.top.ranges.push_back(wholeRange("model", trunkVertices, trunkIndices));
        f.top.properties = {{"coll", "box"}};
        f.top.children.push_back(shapeNode(v, i, "crown", "model", Vec3(0, 0, 2.5f), kNoPhysics,
                                           [&]() { appendSphere(v, i, Vec3(0, 0, 0), 1.2f, 10, 6); }));
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/deco/tree.object", writeObjectFile(f)});
    }
    files.push_back(single("objects/deco/bush.object", "bush", "model", kNoPhysics,
                           [](std::vector<Vertex>& v, std::vector<uint16_t>& i) {
                               appendSphere(v, i, Vec3(0, 0, 0.5f), 0.7f, 8, 4);
                           }));
    files.push_back(single("objects/deco/house.object", "house", "model", {{"coll", "box"}},
                           [](std::vector<Vertex>& v, std::vector<uint16_t>& i) {
                               appendBox(v, i, Vec3(0, 0, 1.5f), Vec3(4, 3, 3));
                           }));
    {
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 1), Vec3(0.15f, 0.15f, 2));
        const uint32_t postVertices = (uint32_t)v.size();
        const uint16_t postIndices = (uint16_t)i.size();
        ObjectFileDesc f;
        f.version = 3;
        f.top.name = "sign";
        f.top.ranges.push_back(wholeRange("model", postVertices, postIndices));
        f.top.properties = kNoPhysics;
        f.top.children.push_back(shapeNode(v, i, "board", "glass", Vec3(0, 0, 2.2f), kNoPhysics,
                                           [&]() { appendBox(v, i, Vec3(0, 0, 0), Vec3(1.2f, 0.1f, 0.6f)); }));
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/deco/sign.object", writeObjectFile(f)});
    }
    return files;
}

}  // namespace contentwriter
