// The whole game played as a player would: the real executable runs the tour of scripts/run-game
// (scripts/headless-tour.txt) on the sample content with the harness's settings (a temporary
// documents folder, fixed frame time and seed, headless EGL, no sound device, the fixture's screen
// size), then starts a second time on the same documents folder. Each screen must come in the
// tour's order, its picture must show something, and the second start must find what the first
// one bought, chose and paid.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "ProgramRun.h"
#include "TestSupport.h"

namespace {

using namespace programtest;

// The game's panels: pictures named after one of them are screen changes, the others the tour's
// own pictures of a run or a screen.
const char* const kPanels[] = {"loading", "main", "tutorial", "options", "credits", "shop",    "map",
                               "mission", "hud",  "pause",    "revive",  "surprise", "results", "message"};

bool isPanel(const std::string& name) {
    for (const char* panel : kPanels)
        if (name == panel)
            return true;
    return false;
}

// "001234-main.png" -> "main".
std::string labelOf(const std::string& file) {
    const size_t dash = file.find('-');
    return file.substr(dash + 1, file.size() - dash - 1 - 4);
}

std::string arguments(const testsupport::TempDir& dir, const std::string& script, const std::string& shots) {
    return "--headless --fixed-dt --autopilot --seed 111 --size 270x480 --screenshot-every 0 --seconds 600 --content '" +
           testsupport::contentDir() + "' --documents '" + dir.file("documents") + "' --screenshots '" +
           dir.file(shots) + "' --script '" + script + "'";
}

// The player's part of a summary line: "bank coins ... skin ...".
std::string playerPart(const std::string& summary) {
    std::smatch m;
    if (!std::regex_search(summary, m, std::regex("bank coins [0-9]+ tickets [0-9]+, region [^,]+, train [^,]+, "
                                                  "character [^,]+, skin [^,]+")))
        return std::string();
    return m[0];
}

// How much a grey picture varies: a blank or one-colour frame has next to none.
double deviation(const Grey& grey) {
    double sum = 0, squares = 0;
    for (uint8_t v : grey.pixels) {
        sum += v;
        squares += (double)v * v;
    }
    const double n = (double)grey.pixels.size();
    if (n == 0)
        return 0;
    const double mean = sum / n;
    return std::sqrt(std::max(0.0, squares / n - mean * mean));
}

TEST(Tour, EveryScreenInOrderThenTheSecondStartKeepsWhatThePlayerOwns) {
    setenv("ALSOFT_DRIVERS", "null", 0);
    testsupport::TempDir dir;
    const ProgramRun first = runProgram(arguments(dir, ZELVAN_TOUR_SCRIPT, "first"));
    ASSERT_EQ(first.status, 0) << first.output.substr(first.output.size() > 4000 ? first.output.size() - 4000 : 0);
    ASSERT_FALSE(first.summary.empty());

    // The screens as they settled, one picture each time, in the tour's order.
    std::vector<std::string> screens, own;
    const std::vector<std::string> shots = pngFiles(dir.file("first"));
    for (const std::string& shot : shots) {
        const std::string label = labelOf(shot);
        if (isPanel(label))
            screens.push_back(label);
        else if (label != "start")
            own.push_back(label);
    }
    // A screen that came back before the next one (the store's wait message over the shop went
    // before it settled) counts once. The run picks up a surprise box on its way through the
    // stargate, so the box comes between the declined revive and the results.
    screens.erase(std::unique(screens.begin(), screens.end()), screens.end());
    const std::vector<std::string> expected = {
        "loading", "tutorial", "hud",     "pause",    "main",    "options", "credits", "options",
        "main",    "shop",     "message", "shop",     "main",    "mission", "main",    "map",
        "hud",     "revive",   "surprise", "results", "main",    "map",     "main"};
    EXPECT_EQ(screens, expected) << first.summary;
    EXPECT_GE(own.size(), 3u) << "the tour's pictures of the run";

    std::smatch m;
    // The run's figures stay in the summary after the menus cleared them for the next run.
    ASSERT_TRUE(std::regex_search(first.summary, m, std::regex("distance ([0-9.]+)")));
    EXPECT_GT(std::stod(m[1]), 100.0) << first.summary;

    // What the tour did: a coin pack from the store (+5000), the bear for 2500, the run's coins on
    // top, the ticket spent on the hills.
    const std::string player = playerPart(first.summary);
    ASSERT_FALSE(player.empty()) << first.summary;
    ASSERT_TRUE(std::regex_search(player, m, std::regex("bank coins ([0-9]+) tickets ([0-9]+)")));
    EXPECT_GE(std::stoi(m[1]), 3000) << player;
    EXPECT_NE(player.find("tickets 0, region hills"), std::string::npos) << player;
    EXPECT_NE(player.find("character charBear"), std::string::npos) << player;

    // Every screen's picture shows its page over the game world, not a cleared frame.
    for (const std::string& shot : shots) {
        if (labelOf(shot) == "start")
            continue;
        const Grey grey = readGrey(dir.file("first") + "/" + shot);
        ASSERT_EQ(grey.width, 270) << shot;
        ASSERT_EQ(grey.height, 480) << shot;
        EXPECT_GT(deviation(grey), 10.0) << shot << " looks blank";
    }

    // The second start: no tutorial, the main menu, the same balances, region and choices.
    const ProgramRun second = runProgram(arguments(dir, ZELVAN_TOUR_AGAIN_SCRIPT, "second"));
    ASSERT_EQ(second.status, 0) << second.output.substr(second.output.size() > 4000 ? second.output.size() - 4000 : 0);
    EXPECT_NE(second.summary.find("screens loading,main"), std::string::npos) << second.summary;
    EXPECT_EQ(playerPart(second.summary), player) << second.summary;
}

}  // namespace
