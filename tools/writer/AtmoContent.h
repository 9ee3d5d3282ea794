#pragma once
// The atmospheres' sky objects and the decoration object files the proxy container draws from.

#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> atmoContent();

}  // namespace contentwriter
