// Debug drawing: the line buffer, its overflow, and lines drawn from memory with the sample
// content's "materials/debugdraw.txt".

#include <gtest/gtest.h>

#include <cstring>

#include "engine/render/Material.h"
#include "engine_game/DebugDraw.h"
#include "support_gles.h"

namespace glestest {
namespace {

class DebugLines : public GlesTest {
protected:
    DebugLines() : stores(testsupport::contentDir(), documents.path()) {}
    testsupport::TempDir documents;
    testsupport::ScopedStores stores;
};

const float* vertex(const DebugDrawGeometryResource* g, uint32_t v) {
    return reinterpret_cast<const float*>(g->_vertices + (size_t)v * g->_stride);
}

TEST_F(DebugLines, ALineWritesTwoVerticesWithItsColour) {
    DebugDraw draw;
    ASSERT_NE(draw._mesh, nullptr);
    ASSERT_NE(draw._mesh->_material, nullptr);
    EXPECT_NE(draw._mesh->_material->_shader, nullptr);
    EXPECT_EQ(draw._meshes, std::vector<Mesh*>{draw._mesh});
    EXPECT_EQ(draw._mesh->_bounds, nullptr);
    EXPECT_TRUE(draw._geometry->isDynamic());
    EXPECT_EQ(draw._geometry->getPrimitiveType(), PrimitiveLines);
    EXPECT_EQ(draw._geometry->_stride, 44u);

    const float from[3] = {1, 2, 3}, to[3] = {4, 5, 6}, colour[3] = {0.5f, 0.25f, 1};
    draw.drawLine(from, to, colour);
    ASSERT_EQ(draw._geometry->_vertexCount, 2u);
    ASSERT_EQ(draw._geometry->_indexCount, 2u);
    EXPECT_EQ(draw._geometry->_indices[0], 0);
    EXPECT_EQ(draw._geometry->_indices[1], 1);
    const float expectFrom[11] = {1, 2, 3, 1, 1, 1, 1, 1, 0.5f, 0.25f, 1};
    const float expectTo[11] = {4, 5, 6, 1, 1, 1, 1, 1, 0.5f, 0.25f, 1};
    EXPECT_EQ(std::memcmp(vertex(draw._geometry, 0), expectFrom, sizeof(expectFrom)), 0);
    EXPECT_EQ(std::memcmp(vertex(draw._geometry, 1), expectTo, sizeof(expectTo)), 0);

    draw.reset();
    EXPECT_EQ(draw._geometry->_vertexCount, 0u);
    EXPECT_EQ(draw._geometry->_indexCount, 0u);
}

TEST_F(DebugLines, AFullBufferThrowsTheFrameAwayAndDropsTheLine) {
    DebugDraw draw;
    const float a[3] = {0, 0, 0}, b[3] = {1, 1, 1}, c[3] = {1, 0, 0};
    for (int i = 0; i < 32760; ++i) draw.drawLine(a, b, c);
    EXPECT_EQ(draw._geometry->_indexCount, 65520u);
    EXPECT_EQ(draw._geometry->_indices[65519], 65519);
    draw.drawLine(a, b, c);  // the 32761st
    EXPECT_EQ(draw._geometry->_indexCount, 0u);
    EXPECT_EQ(draw._geometry->_vertexCount, 0u);
    draw.drawLine(a, b, c);  // starts a new collection
    EXPECT_EQ(draw._geometry->_indexCount, 2u);
}

TEST_F(DebugLines, LinesAreDrawnInWorldCoordinatesUntilReset) {
    DebugDraw draw;
    RenderTarget* s = screen();
    s->addObject(&draw);
    const float y = 0.5f / 128;  // the centre of pixel row 128
    const float from[3] = {-1, y, 0}, to[3] = {1, y, 0}, red[3] = {1, 0, 0};
    draw.drawLine(from, to, red);
    frame();
    EXPECT_TRUE(near(screenPixel(100, 128), Rgba{255, 0, 0, 255}));
    EXPECT_TRUE(near(screenPixel(100, 140), Rgba{0, 0, 0, 0}));
    EXPECT_EQ(render->drawCalls, 1u);
    EXPECT_EQ(render->triangles, 0u);

    draw.reset();
    frame();
    EXPECT_TRUE(near(screenPixel(100, 128), Rgba{0, 0, 0, 0}));
    EXPECT_EQ(render->drawCalls, 0u);
    s->removeObject(&draw);
}

}  // namespace
}  // namespace glestest
