#pragma once
// The sample actor's binary files: the handcar object file with its named parts, wheels,
// shadow, effect and sound properties, key frames and body node.

#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> actorContent();

}  // namespace contentwriter
