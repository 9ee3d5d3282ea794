// The whole program as a player starts it: the real executable on the sample game, headless, on
// autopilot with a fixed seed, read back through its summary line, its screenshots and its log.

#include <gtest/gtest.h>
#include <png.h>

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"
#include "TestSupport.h"

namespace {

using namespace programtest;

// The first start shows the tutorial screen; a run starts when its start button is tapped (at the
// button's centre on the 540x960 screen, once the page has come in). The program draws a quarter
// of that screen: the software renderer's pixels are most of these tests' time.
const char* kStartScript =
    "0 points 540 960\n"
    "240 touch began 0 270 600\n"
    "242 touch ended 0 270 600\n";

std::string harnessArguments(const testsupport::TempDir& dir) {
    testsupport::writeFile(dir.file("start.txt"), kStartScript);
    return "--headless --fixed-dt --autopilot --seed 111 --size 270x480 --content '" + testsupport::contentDir() +
           "' --documents '" + dir.file("documents") + "' --screenshots '" + dir.file("screenshots") +
           "' --script '" + dir.file("start.txt") + "'";
}

// The CPU figures vary from run to run; everything else in the summary must not.
std::string withoutCpuFigures(const std::string& summary) {
    return std::regex_replace(summary, std::regex("cpu ms per frame mean [0-9.]+ worst [0-9.]+"), "cpu");
}

// The train runs in the lower middle of the upright frame: the track, the rails and the train's
// nose there are lit geometry, where a blank or cleared frame is one flat colour.
struct Region {
    double mean = 0, deviation = 0, litShare = 0;
};

Region lowerMiddle(const Grey& grey) {
    Region r;
    const int x0 = grey.width / 4, x1 = grey.width * 3 / 4, y0 = grey.height * 3 / 5, y1 = grey.height;
    double sum = 0, squares = 0, lit = 0, count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const double v = grey.pixels[(size_t)y * grey.width + x];
            sum += v;
            squares += v * v;
            lit += v > 24 ? 1 : 0;
            ++count;
        }
    if (count == 0)
        return r;
    r.mean = sum / count;
    r.deviation = std::sqrt(std::max(0.0, squares / count - r.mean * r.mean));
    r.litShare = lit / count;
    return r;
}

double number(const std::string& summary, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(summary, m, std::regex(key + " ([0-9.]+)")))
        return -1;
    return std::stod(m[1]);
}

TEST(Program, AutopilotRunIsRepeatableAndDrawsTheTrain) {
    testsupport::TempDir first, second;
    const std::string options = " --seconds 20";
    ProgramRun a, b;
    // Both runs at once: each is a whole process of its own.
    std::thread other([&] { b = runProgram(harnessArguments(second) + options); });
    a = runProgram(harnessArguments(first) + options);
    other.join();

    ASSERT_EQ(a.status, 0) << a.output;
    ASSERT_EQ(b.status, 0) << b.output;
    ASSERT_FALSE(a.summary.empty()) << a.output;
    EXPECT_NE(a.summary.find("frames 1200, game seconds 20.00"), std::string::npos) << a.summary;
    EXPECT_GT(number(a.summary, "distance"), 0.0) << a.summary;
    EXPECT_NE(a.summary.find("screens loading,tutorial,hud"), std::string::npos) << a.summary;
    EXPECT_EQ(withoutCpuFigures(a.summary), withoutCpuFigures(b.summary));

    // Each screen change has its picture (the loading page is on screen from the first frame);
    // the run's pictures show the train on its track, unlike the tutorial page.
    const std::vector<std::string> shots = pngFiles(first.file("screenshots"));
    ASSERT_GE(shots.size(), 3u);
    EXPECT_EQ(shots, pngFiles(second.file("screenshots")));
    auto shotOf = [&](const char* screen) {
        std::string found;
        int count = 0;
        for (const std::string& s : shots)
            if (s.find(screen) != std::string::npos) {
                found = s;
                ++count;
            }
        EXPECT_EQ(count, 1) << screen;
        return found;
    };
    for (const char* screen : {"-start.png", "-loading.png"})
        shotOf(screen);
    const std::string tutorial = shotOf("-tutorial.png");
    const std::string hud = shotOf("-hud.png");
    // The run passes dim stretches (tunnels, a dark obstacle right ahead): the run's most varied
    // picture is the one to compare with the tutorial page.
    std::string liveliest;
    Region during;
    for (const std::string& s : shots) {
        if (s <= hud)
            continue;
        const Grey running = readGrey(first.file("screenshots") + "/" + s);
        ASSERT_EQ(running.width, 270);
        ASSERT_EQ(running.height, 480);
        const Region region = lowerMiddle(running);
        if (liveliest.empty() || region.deviation > during.deviation) {
            liveliest = s;
            during = region;
        }
    }
    ASSERT_FALSE(liveliest.empty()) << "no picture of the run";
    const Grey menu = readGrey(first.file("screenshots") + "/" + tutorial);
    const Region before = lowerMiddle(menu);
    EXPECT_GT(during.deviation, 8.0) << liveliest;
    EXPECT_GT(during.litShare, 0.1) << liveliest;
    EXPECT_GT(std::fabs(during.mean - before.mean) + std::fabs(during.deviation - before.deviation), 5.0)
        << liveliest << " looks like " << tutorial;
}

TEST(Program, MetalPathRunsTheGameWithoutValidationErrors) {
    testsupport::TempDir dir;
    const ProgramRun run = runProgram(harnessArguments(dir) + " --metal --frames 600");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.summary.find("frames 600,"), std::string::npos) << run.output;
    EXPECT_GT(number(run.summary, "distance"), 0.0) << run.summary;
    // The stand-in logs each validation error; the OpenGL ES renderer must not have started.
    EXPECT_EQ(run.output.find("[MetalValidation]"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("OpenGLES2Render::init"), std::string::npos) << run.output;
}

// The player leaves the game for a while and comes back: the reminders are left with the system
// at their summed delays (a day, then three more) and withdrawn on the return, badge cleared.
// Analytics is running from the start.
TEST(Program, BackgroundLeavesRemindersAndForegroundWithdrawsThem) {
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("script.txt"), "300 background\n330 foreground\n");
    const double before = (double)std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    const ProgramRun run =
        runProgram(harnessArguments(dir) + " --frames 400 --script '" + dir.file("script.txt") + "'");
    const double after = before + 120.0;
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("[analytics] tracking \"UA-90463807-4\""), std::string::npos) << run.output;

    std::vector<std::string> lines;
    {
        std::string log = testsupport::readFile(dir.file("documents") + "/notifications.log"), line;
        size_t at = 0;
        while (at < log.size()) {
            size_t end = log.find('\n', at);
            lines.push_back(log.substr(at, end - at));
            at = end == std::string::npos ? log.size() : end + 1;
        }
    }
    // Cancelled at load, scheduled in the background, cancelled on the return and at exit.
    ASSERT_EQ(lines.size(), 5u) << testsupport::readFile(dir.file("documents") + "/notifications.log");
    EXPECT_EQ(lines[0], "cancel badge=0");
    double fire[2] = {0, 0};
    char text[2][128] = {{0}, {0}};
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(std::sscanf(lines[1 + i].c_str(), "schedule fire=%lf badge=1 text=%127[^\n]", &fire[i], text[i]), 2)
            << lines[1 + i];
    EXPECT_STREQ(text[0], "Your train is ready to roll.");
    EXPECT_STREQ(text[1], "The rails miss you. Come back for a run!");
    EXPECT_GE(fire[0], before + 1440 * 60);
    EXPECT_LE(fire[0], after + 1440 * 60);
    EXPECT_NEAR(fire[1] - fire[0], 4320 * 60, 0.01);
    EXPECT_EQ(lines[3], "cancel badge=0");
    EXPECT_EQ(lines[4], "cancel badge=0");
}

}  // namespace
