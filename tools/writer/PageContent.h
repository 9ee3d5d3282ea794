#pragma once
// The interface pages of the sample content: one binary page per menu screen ("scenes/menu/"),
// and the object files of their panel items ("objects/menu/"). Binary pages, because a page
// node's own properties (a view's class, a button's event) need the record format; buttons,
// text lines and switchable parts are children of the item object files.

#include <string>
#include <vector>

#include "writer/ContentWriter.h"

namespace contentwriter {

std::vector<ContentFile> pageContent();

// The page file of a panel: "scenes/menu/<panel>.bin".
std::string pagePath(const std::string& panel);

}  // namespace contentwriter
