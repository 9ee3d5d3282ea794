#include "support_scene.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/render/Geometry.h"
#include "engine/utils.h"

namespace scenetest {

void expectVec(const Vector3& got, const Vector3& want, float tolerance) {
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

void expectMatrix(const Matrix4& got, const Matrix4& want, float tolerance) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(got.m[i], want.m[i], tolerance) << "element " << i;
}

bool allFinite(const Matrix4& m) {
    for (float v : m.m)
        if (!std::isfinite(v))
            return false;
    return true;
}

Geometry* makeBoxGeometry(const Vector3& min, const Vector3& max) {
    Geometry* g = new Geometry();
    GeometryAttribute pos;
    pos.type = GeometryAttribute::TypeFloat;
    pos.components = 3;
    pos.name = "vertPos";
    g->_attributes.push_back(pos);
    g->updateStride();
    g->_vertexCount = 8;
    g->_vertices = (uint8_t*)std::malloc(8 * g->_stride);
    float* v = (float*)g->_vertices;
    for (int i = 0; i < 8; ++i) {
        v[i * 3 + 0] = (i & 1) ? max.x : min.x;
        v[i * 3 + 1] = (i & 2) ? max.y : min.y;
        v[i * 3 + 2] = (i & 4) ? max.z : min.z;
    }
    static const uint16_t kIndices[36] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                          2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    g->_indexCount = 36;
    g->_indices = (uint16_t*)std::malloc(sizeof(kIndices));
    std::memcpy(g->_indices, kIndices, sizeof(kIndices));
    g->_boundsMin = min;
    g->_boundsMax = max;
    return g;
}

namespace {
void captureSink(uint8_t, const char* line, void* key) {
    static_cast<LogCapture*>(key)->lines.push_back(line ? line : "");
}
}  // namespace

namespace {
void stderrSink(uint8_t, const char* line, void*) { std::fprintf(stderr, "%s\n", line ? line : ""); }
}  // namespace

void logToStderr() { Logger::addSink(&stderrSink, nullptr); }

LogCapture::LogCapture() {
    Logger::resetForTests();
    Logger::addSink(&captureSink, this);
}

LogCapture::~LogCapture() { Logger::resetForTests(); }

bool LogCapture::contains(const std::string& text) const {
    for (const std::string& l : lines)
        if (l.find(text) != std::string::npos)
            return true;
    return false;
}

}  // namespace scenetest
