#pragma once
// Item walks over a list of road levels that the stage's look (levels just added to the road)
// and its pickups (every level behind and ahead) share.

#include <string>
#include <utility>
#include <vector>

namespace Zelvan {

class ActorItemGift;
class Level;

// Every uncollected gift made from that object file in the scene objects and placed items of the
// levels, in order, each once.
void findGiftsInLevels(const std::vector<Level*>& levels, const std::string& objectFile,
                       std::vector<std::pair<Level*, ActorItemGift*>>& out);
// Every item obstacle of damage type "shield" in the levels starts its "delete" reaction.
void clearShieldObstacles(const std::vector<Level*>& levels);
// Every stargate of the levels armed (on) or disarmed.
void armStargatesIn(const std::vector<Level*>& levels, bool on);

}  // namespace Zelvan
