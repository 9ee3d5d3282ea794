#pragma once
// What the renderer reads of the scene graph: a camera's matrices, a light's values, a node's
// meshes and children. The scene graph is a library above this one; these readers are the only
// place that looks into its classes, and they read plain fields only (no scene-graph code is
// called), so the render library links without it.

#include <vector>

#include "engine/math.h"

class Camera;
class Light;
class Mesh;
class Object;

struct CameraFields {
    const Matrix4* projection = nullptr;
    const Matrix4* inverseProjection = nullptr;
    const Matrix4* view = nullptr;
    Matrix4 world;  // the camera node's world matrix
};

struct LightFields {
    Vector3 colour;
    float energy = 0;
    float secondFactor = 0;
    Vector3 direction;
    Vector3 position;  // world
};

CameraFields cameraFields(const Camera* camera);
LightFields lightFields(const Light* light);
const std::vector<Mesh*>& nodeMeshes(const Object* node);
const std::vector<Object*>& nodeChildren(const Object* node);
