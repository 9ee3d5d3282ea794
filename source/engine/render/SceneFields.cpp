#include "engine/render/SceneFields.h"

#include "engine_game/Camera.h"
#include "engine_game/Light.h"
#include "engine_game/Object.h"
#include "engine_game/Transform.h"

// The sanitizer's dynamic type check of a member access needs the class's type information,
// which the scene-graph library defines; these plain field reads go without it.
#if defined(__GNUC__) || defined(__clang__)
#define SCENE_FIELD_READER __attribute__((no_sanitize("vptr")))
#else
#define SCENE_FIELD_READER
#endif

SCENE_FIELD_READER CameraFields cameraFields(const Camera* camera) {
    CameraFields fields;
    fields.projection = &camera->_projection;
    fields.inverseProjection = &camera->_inverseProjection;
    fields.view = &camera->_view;
    if (camera->_transform) fields.world = camera->_transform->_world;
    return fields;
}

SCENE_FIELD_READER LightFields lightFields(const Light* light) {
    LightFields fields;
    fields.colour = light->_lightColor;
    fields.energy = light->_energy;
    fields.secondFactor = light->_secondFactor;
    fields.direction = light->_direction;
    if (light->_transform) fields.position = light->_transform->_world.getTranslation();
    return fields;
}

SCENE_FIELD_READER const std::vector<Mesh*>& nodeMeshes(const Object* node) { return node->_meshes; }

SCENE_FIELD_READER const std::vector<Object*>& nodeChildren(const Object* node) { return node->_children; }
