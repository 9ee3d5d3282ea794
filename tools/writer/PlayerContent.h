#pragma once
// The sample trains' binary files: two trains, the wreck left after a crash and the glowing
// train shown while a hit boost runs.

#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> playerContent();

}  // namespace contentwriter
