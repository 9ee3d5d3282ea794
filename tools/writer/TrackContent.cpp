#include "TrackContent.h"

#include <cstdio>

namespace contentwriter {

namespace {

const float kPointSpacing = 5.0f;

}  // namespace

ObjectFileDesc railPiece(const std::string& name, float length, bool reversed, int wordPoint,
                         const Properties& words, const Properties& pieceWords) {
    std::vector<Vertex> v;
    std::vector<uint16_t> i;
    // The bar the skins recolour, lying on the track bed from the first point to the last.
    appendBox(v, i, Vec3(0, length * 0.5f, 0.05f), Vec3(0.3f, length, 0.1f));
    const uint32_t barVertices = (uint32_t)v.size();
    const uint16_t barIndices = (uint16_t)i.size();
    // A sleeper under the middle, in its own node's space: a child with a mesh, never a point.
    appendBox(v, i, Vec3(0, 0, 0.02f), Vec3(1.4f, 0.3f, 0.04f));

    ObjectFileDesc f;
    f.version = 3;
    f.top.name = name;
    f.top.ranges.push_back(wholeRange("rail", barVertices, barIndices));
    f.top.properties = {{"nophysics", "1"}};
    // Words of the whole piece reach every point of it.
    f.top.properties.insert(f.top.properties.end(), pieceWords.begin(), pieceWords.end());

    const int count = (int)(length / kPointSpacing + 0.5f) + 1;
    std::vector<ObjectNodeDesc> points;
    for (int k = 0; k < count; ++k) {
        ObjectNodeDesc p;
        char label[16];
        std::snprintf(label, sizeof label, "p%d", k);
        p.name = label;
        p.position = Vec3(0, kPointSpacing * (float)k, 0);
        p.properties = {{"nophysics", "1"}};
        if (k == wordPoint)
            p.properties.insert(p.properties.end(), words.begin(), words.end());
        points.push_back(p);
    }
    ObjectNodeDesc sleeper;
    sleeper.name = "sleeper";
    sleeper.position = Vec3(0, length * 0.5f, 0);
    sleeper.properties = {{"nophysics", "1"}};
    MaterialRangeDesc range;
    range.material = "model";
    range.firstFloat = barVertices * 11;
    range.floatCount = ((uint32_t)v.size() - barVertices) * 11;
    range.firstIndex = barIndices;
    range.indexCount = (uint16_t)(i.size() - barIndices);
    sleeper.ranges.push_back(range);

    if (reversed)
        f.top.children.assign(points.rbegin(), points.rend());
    else
        f.top.children = points;
    f.top.children.insert(f.top.children.begin() + (long)(count / 2), sleeper);
    f.mesh = makeModelMesh(v, i);
    return f;
}

std::vector<ContentFile> trackContent() {
    std::vector<ContentFile> files;
    const Properties noObstacle = {{"noobstacle", "1"}};
    files.push_back({"objects/track/rail20.object", writeObjectFile(railPiece("rail20", 20, false, 2, noObstacle))});
    files.push_back(
        {"objects/track/rail20_rev.object", writeObjectFile(railPiece("rail20_rev", 20, true, 2, noObstacle))});
    files.push_back({"objects/track/rail10.object", writeObjectFile(railPiece("rail10", 10, false, -1, {}))});
    // The pieces that lead into a stargate: leaving them takes the train through the gate.
    const Properties gateIn = {{"stargate", "in"}};
    files.push_back(
        {"objects/track/rail20_gate.object", writeObjectFile(railPiece("rail20_gate", 20, false, 2, noObstacle, gateIn))});
    files.push_back({"objects/track/rail20_rev_gate.object",
                     writeObjectFile(railPiece("rail20_rev_gate", 20, true, 2, noObstacle, gateIn))});
    files.push_back(
        {"objects/track/rail10_gate.object", writeObjectFile(railPiece("rail10_gate", 10, false, -1, {}, gateIn))});

    {   // The node an enemy path's key frames animate: a small marker block.
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        appendBox(v, i, Vec3(0, 0, 0.25f), Vec3(0.5f, 0.5f, 0.5f));
        ObjectFileDesc f;
        f.version = 3;
        f.top.name = "path";
        f.top.ranges.push_back(wholeRange("model", (uint32_t)v.size(), (uint32_t)i.size()));
        f.top.properties = {{"nophysics", "1"}};
        f.mesh = makeModelMesh(v, i);
        files.push_back({"objects/track/path.object", writeObjectFile(f)});
    }
    return files;
}

}  // namespace contentwriter
