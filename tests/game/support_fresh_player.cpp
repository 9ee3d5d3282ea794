// Every game test starts as a first start of the game: the social platform of the process keeps
// the player's own profile between stages (a second stage in one process points it at its new
// file and keeps what it knew), so without this a test would see the options, region, tutorial
// and purse that an earlier test in the same process left behind.

#include <gtest/gtest.h>

#include "engine/online/SocialPlatform.h"

namespace {

class FreshPlayer : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { SocialPlatform::instance().reset(); }
};

const bool kRegistered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPlayer);
    return true;
}();

}  // namespace
