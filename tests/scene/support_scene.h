#pragma once
// Helpers of the scene-graph tests: matrix comparisons, a small box geometry, log capture.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "engine/math.h"

class Geometry;

namespace scenetest {

void expectVec(const Vector3& got, const Vector3& want, float tolerance = 1e-5f);
void expectMatrix(const Matrix4& got, const Matrix4& want, float tolerance = 1e-5f);
bool allFinite(const Matrix4& m);

// A box from min to max: 8 vertices ("vertPos" only), 36 indices.
Geometry* makeBoxGeometry(const Vector3& min, const Vector3& max);

using testsupport::LogCapture;
using testsupport::logToStderr;

}  // namespace scenetest
