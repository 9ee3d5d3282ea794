#include "engine_game/Light.h"

#include "engine_game/Transform.h"

Light::Light(Object* parent) : Object(parent) {}

Light::~Light() {}

void Light::updateTransform() {
    Object::updateTransform();
    Vector3 local = _transform->_local.getTranslation();
    float len = local.length();
    if (!(len > 0) || !std::isfinite(len))
        return;
    _direction = _transform->_world.transformVector(local / len);
}
