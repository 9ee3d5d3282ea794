#include "support_scene.h"

#include <cmath>
#include <vector>

#include "DrawFixtures.h"

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
    std::vector<float> corners;
    for (int i = 0; i < 8; ++i) {
        corners.push_back((i & 1) ? max.x : min.x);
        corners.push_back((i & 2) ? max.y : min.y);
        corners.push_back((i & 4) ? max.z : min.z);
    }
    Geometry* g = drawfixtures::makePositionGeometry(corners, {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                                               2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3});
    g->_boundsMin = min;
    g->_boundsMax = max;
    return g;
}

}  // namespace scenetest
