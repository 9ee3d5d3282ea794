// A small scene built in code: nodes with meshes, a camera, lights, a text node and an animated
// node, updated the way the world drives them.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/bounds.h"
#include "engine/clock.h"
#include "engine/font/CTexFont.h"
#include "engine/font/TextFont.h"
#include "engine/render/Geometry.h"
#include "engine/render/Mesh.h"
#include "engine_game/Camera.h"
#include "engine_game/KeyFramePlayer.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Text.h"
#include "engine_game/Transform.h"
#include "TestSupport.h"
#include "../font/font_fixture.h"
#include "support_scene.h"

using scenetest::expectMatrix;
using scenetest::expectVec;

namespace {

TEST(SceneTreeTest, ATreeBuiltInCodeFollowsItsParentsAndAnimates) {
    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores(bundle.path(), documents.path());
    testsupport::writeFile(bundle.path() + "/data/fonts/fixture.fnt", fontfixture::fntText());
    CTexFont* bitmap = new CTexFont();
    ASSERT_EQ(bitmap->Load("fonts/fixture.fnt"), 1);
    TextFont font(bitmap, nullptr);
    std::unique_ptr<Geometry> box(scenetest::makeBoxGeometry(Vector3(-1, -1, 0), Vector3(1, 1, 2)));
    FrameTime saved = frameTime();

    Object* root = new Object(nullptr);
    root->_name = "root";
    Object* train = new Object(root);
    Mesh* body = new Mesh();
    body->setGeometry(box.get(), 0, 36);
    train->addMesh(body);
    Object* wheel = new Object(train);
    Mesh* wheelMesh = new Mesh();
    wheelMesh->setGeometry(box.get(), 0, 36);
    wheel->addMesh(wheelMesh);
    wheel->setPosition(Vector3(0, 2, 0));

    Camera* camera = new Camera(root);
    camera->setPerspective(60, 16.0f / 9.0f, 0.1f, 150);
    Matrix4 look = Matrix4::rotationX(kPi / 2);  // looking along +y
    Vector3 rows[3] = {look.row3(0), look.row3(1), look.row3(2)};
    camera->setTransform(rows, Vector3(0, -10, 1), Vector3(1, 1, 1));

    Text* label = new Text(train);
    label->setFont(&font);
    label->_alignH = 1;
    label->setText("%d", 42);
    label->setPosition(Vector3(0, 0, 3));

    Light* sun = new Light(root);
    sun->setPosition(Vector3(0, 0, 10));
    Light* lamp = new Light(train);
    lamp->setPosition(Vector3(5, 0, 0));
    root->addLight(sun);
    root->addLight(lamp);

    std::vector<KeyFrame> keys(2);
    keys[1].position = Vector3(24, 0, 0);
    KeyFramePlayer* player = new KeyFramePlayer(train, &keys);

    // One frame: animation, then node update and transforms, as the world does.
    frameTime().dt = 0.5f / 24.0f;
    player->advance();
    root->update();
    root->updateTransform();

    expectVec(train->getWorldPosition(), Vector3(12, 0, 0));
    expectVec(wheel->getWorldPosition(), Vector3(12, 2, 0));
    expectVec(body->_worldMatrix.getTranslation(), Vector3(12, 0, 0));
    expectVec(wheelMesh->_worldMatrix.getTranslation(), Vector3(12, 2, 0));
    expectVec(label->_mesh->_worldMatrix.getTranslation(), Vector3(12, 0, 3));
    expectVec(train->_bounds->_worldMin, Vector3(11, -1, 0));
    expectMatrix(wheel->_transform->_world,
                 wheel->_transform->_local * train->_transform->_local * root->_transform->_local);

    // Meshes see both lights; the lamp turned with its parent.
    EXPECT_EQ(wheelMesh->_lights[0], sun);
    EXPECT_EQ(wheelMesh->_lights[1], lamp);
    EXPECT_EQ(label->_mesh->_lights[1], lamp);
    expectVec(sun->_direction, Vector3(0, 0, 1));
    expectVec(lamp->_direction, Vector3(1, 0, 0));

    // The camera sees the train ahead of it, right of the centre after the move.
    Vector3 p = train->getWorldPosition();
    camera->project(p);
    EXPECT_GT(p.x, 0);
    EXPECT_NEAR(p.y, -0.0f - (1.0f * 16.0f / 9.0f * 1.7320508f) / 10.0f, 0.05f);
    EXPECT_GT(p.z, -1);
    EXPECT_LT(p.z, 1);

    // The text laid out centred, as the label's alignment asks.
    EXPECT_EQ(label->_geometry->_vertexCount, 8u);
    EXPECT_FLOAT_EQ(label->_mesh->_bounds->_localMin.x, -6.5f * 0.015f);

    delete root;  // the whole tree, with its meshes, player and text geometry
    frameTime() = saved;
}

}  // namespace
