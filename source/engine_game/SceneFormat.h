#pragma once
// Pieces the text and the binary scene readers share.

#include <string>

class Camera;

namespace sceneformat {

enum { kLayerCount = 19 };

// A camera whose file gives no usable lens gets these (and a logged error).
const float kDefaultFieldOfView = 45.0f;
const float kDefaultOrthoSize = 10.0f;

// Width / height of the host's screen; 1 (logged) while the size is unknown or zero.
float screenAspect(const char* where);

// Perspective: lens is the field of view in degrees. Orthographic: lens is the height when
// orthoLensIsHeight (binary scenes), else the width (text scenes); the other side follows the
// screen's aspect.
void setCameraProjection(Camera* camera, bool perspective, float lens, bool orthoLensIsHeight, const char* where);

// "%s/%s.object" of folder and object, every '\' turned into '/'.
std::string objectPath(const std::string& folder, const std::string& object);

}  // namespace sceneformat
