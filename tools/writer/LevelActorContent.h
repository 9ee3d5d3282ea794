#pragma once
// The sample level actors' object files: gifts (coin, ticket, letter, surprise, two boosts),
// item obstacles (deathly, shield, dash), a moving barrier, an enemy train and its waggon, a
// stargate, a switch, a decoration and two riding characters.

#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> levelActorContent();

}  // namespace contentwriter
