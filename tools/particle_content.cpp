// Writes the sprite object files of the sample effect folders. They are small and committed
// under content/data; run this to make them again: particle_content <content/data folder>.
//
// A sprite is the mesh of one object file whose vertices are the corners of one particle,
// in the XY plane facing +Z (the particle system turns +Z toward the camera). The older
// eleven-float layout carries a white vertex colour, which tints the particle colour.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "writer/ContentWriter.h"

using namespace contentwriter;

namespace {

// A rectangle of w x h centred on the origin, texture coordinates 0..1 across it.
void rectangle(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, float w, float h) {
    const float su[4] = {-1, 1, 1, -1};
    const float sv[4] = {-1, -1, 1, 1};
    for (int k = 0; k < 4; ++k) {
        Vertex v;
        v.position = Vec3(su[k] * w * 0.5f, sv[k] * h * 0.5f, 0);
        v.u = su[k] * 0.5f + 0.5f;
        v.v = sv[k] * 0.5f + 0.5f;
        v.normal = Vec3(0, 0, 1);
        vertices.push_back(v);
    }
    for (uint16_t i : {0, 1, 2, 0, 2, 3})
        indices.push_back(i);
}

// A round puff: a centre vertex and a ring of n, fanned.
void disc(std::vector<Vertex>& vertices, std::vector<uint16_t>& indices, float radius, int n) {
    Vertex centre;
    centre.u = centre.v = 0.5f;
    centre.normal = Vec3(0, 0, 1);
    vertices.push_back(centre);
    for (int k = 0; k < n; ++k) {
        const float a = 6.2831855f * (float)k / (float)n;
        Vertex v;
        v.position = Vec3(radius * std::cos(a), radius * std::sin(a), 0);
        v.u = 0.5f + 0.5f * std::cos(a);
        v.v = 0.5f + 0.5f * std::sin(a);
        v.normal = Vec3(0, 0, 1);
        vertices.push_back(v);
    }
    for (int k = 0; k < n; ++k) {
        indices.push_back(0);
        indices.push_back((uint16_t)(1 + k));
        indices.push_back((uint16_t)(1 + (k + 1) % n));
    }
}

std::vector<uint8_t> spriteFile(const std::string& name, const std::vector<Vertex>& vertices,
                                const std::vector<uint16_t>& indices) {
    ObjectFileDesc f;
    f.version = 1;
    f.top.name = name;
    f.top.ranges.push_back(wholeRange("glow", (uint32_t)vertices.size(), (uint32_t)indices.size()));
    f.mesh = makeLegacyMesh(vertices, indices);
    return writeObjectFile(f);
}

bool write(const std::string& root, const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::path p = std::filesystem::path(root) / path;
    std::error_code ec;
    std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
    if (!out) {
        std::fprintf(stderr, "particle_content: cannot write %s\n", p.string().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: particle_content <content/data folder>\n");
        return 2;
    }
    const std::string root = argv[1];
    bool ok = true;
    {
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        rectangle(v, i, 1, 1);
        ok = write(root, "particles/spark.object", spriteFile("spark", v, i)) && ok;
        ok = write(root, "particles_weather/flake.object", spriteFile("flake", v, i)) && ok;
    }
    {
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        disc(v, i, 0.5f, 8);
        ok = write(root, "particles/puff.object", spriteFile("puff", v, i)) && ok;
    }
    {
        std::vector<Vertex> v;
        std::vector<uint16_t> i;
        rectangle(v, i, 0.08f, 1);
        ok = write(root, "particles_weather/drop.object", spriteFile("drop", v, i)) && ok;
    }
    return ok ? 0 : 1;
}
