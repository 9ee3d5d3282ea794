#pragma once
// The binary files of the sample track: rail pieces whose mesh-less child nodes are the rail
// points (segment words as their properties) and an animated path node's object file.

#include <string>
#include <vector>

#include "ContentWriter.h"

namespace contentwriter {

// Every track file, as (path below "data/", bytes).
std::vector<ContentFile> trackContent();

// One rail piece: a bar along +Y of the given length with points every 5 units (mesh-less
// children named "p0", "p1", ...), a sleeper child with a mesh halfway, and the given
// properties on the point of that index. reversed lists the points from the far end.
ObjectFileDesc railPiece(const std::string& name, float length, bool reversed, int wordPoint,
                         const Properties& words, const Properties& pieceWords = Properties());

}  // namespace contentwriter
