#pragma once
// The sample level with every kind of level content, as a binary scene (per-node properties
// such as a gift's "chance" or an actor's "visible_percent" need the record format).

#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> levelContent();

}  // namespace contentwriter
