// The player's own profile through the whole game: what a player set survives quitting and
// starting again (a fresh social platform on the same documents and keychain folders), the
// keychain's check of coins and tickets and its failures, damaged "playerdata" content, and the
// credited store transactions.

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "engine/FileBuffer.h"
#include "engine/online/ProfileChunk.h"
#include "engine/online/SocialPlatform.h"
#include "engine/plat_linux/SocialServices.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/profile/ZelvanMyProfile.h"

using namespace Zelvan;

namespace {

const char* const kItem = "zelvan10.item";

bool fileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// ---- "playerdata" content written by hand ----

struct Bytes {
    std::string b;
    Bytes& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b += (char)(uint8_t)(v >> (8 * i));
        return *this;
    }
    Bytes& f32(float v) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        return u32(u);
    }
    Bytes& str(const std::string& s) {
        b += (char)(uint8_t)s.size();
        b += (char)(uint8_t)(s.size() >> 8);
        b += s;
        return *this;
    }
};

// Writes "player.profile" holding "playerdata" with these keys.
void writeProfile(const std::string& path, const std::map<std::string, std::string>& keys) {
    ProfileChunkMap nested;
    for (const auto& key : keys)
        nested.get(key.first).write(key.second.data(), key.second.size());
    ProfileChunkMap file;
    ProfileChunkMap::write(file.get("playerdata"), nested);
    FileBuffer content;
    content.write("zeLVAN", 6);
    ProfileChunkMap::write(content, file);
    ASSERT_TRUE(content.saveSealed(path.c_str(), "86420975"));
}

// The chunks of a saved profile file.
void readProfile(const std::string& path, ProfileChunkMap& chunks) {
    FileBuffer content;
    ASSERT_TRUE(content.loadSealed(path.c_str(), "86420975"));
    content.seek(0, 6);
    ProfileChunkMap::read(chunks, content);
}

MenuShopExt::Item* firstItem(MenuShopExt* shop, uint32_t kind, bool selected) {
    for (MenuShopExt::Item* item : shop->getItems())
        if (item->_kind == kind && item->isSelected() == selected)
            return item;
    return nullptr;
}

bool owned(MenuShopExt* shop, const std::string& name) {
    MenuShopExt::ItemInfo info;
    return shop->describeItem(info, name) == 1 && info.owned;
}

int32_t levelOf(MenuShopExt* shop, const std::string& name) {
    MenuShopExt::ItemInfo info;
    shop->describeItem(info, name);
    return info.level;
}

// The game harness with a keychain folder of its own. Every start is a fresh program: a new
// configuration, resource cache and social platform over the same documents and keychain. The
// window reports a device class of full interface scale and every loading frame is drawn.
class MyProfileTest : public GameFixture {
protected:
    MyProfileTest() {
        _generation = 23;
        _drawEvery = 1;
    }

    void SetUp() override {
        GameFixture::SetUp();
        platform::resetSocialServices();
        platform::setKeychainPath(keychain.path());
        SocialPlatform::instance().reset();
    }
    void TearDown() override {
        GameFixture::TearDown();
        SocialPlatform::instance().reset();
        platform::resetSocialServices();
    }

    Stage* start() {
        load(std::string(), false);
        EXPECT_NE(_menu->getShopExt(), nullptr);
        return _stage;
    }
    // Quits the game (it saves on the way) and ends the "process".
    void quit() {
        _app->OnAppTerminate();
        unload();
        SocialPlatform::instance().reset();
    }
    MenuShopExt* shop() { return Stage::get()->getMenu()->getShopExt(); }
    MyProfile* profile() { return dynamic_cast<MyProfile*>(SocialPlatform::instance().getMyProfile()); }
    std::string item() { return testsupport::readFile(keychain.file(kItem)); }

    testsupport::TempDir keychain;
};

TEST(MyProfileCheck, CheckStringAndKeychainNumbers) {
    EXPECT_EQ(MyProfile::checkString(120, 3), "120.3.491442df5f88c6aa018e86dac21d3606");
    EXPECT_EQ(MyProfile::checkString(0, 0), "0.0." + md5Hex("00"));
    struct Case {
        const char* text;
        int32_t value;
    } cases[] = {{"120", 120}, {"12ab", 12}, {"abc", 0}, {"", 0}, {"-5", -5},
                 {"2147483647", 2147483647}, {"99999999999999999999", 2147483647}, {"-99999999999", INT32_MIN}};
    for (const Case& c : cases)
        EXPECT_EQ(MyProfile::leadingNumber(c.text), c.value) << c.text;
}

// Everything a player sets comes back after quitting; the keychain holds the check string.
TEST_F(MyProfileTest, QuittingAndStartingAgainKeepsThePlayersState) {
    Stage* stage = start();
    ASSERT_NE(profile(), nullptr) << "the load end makes the player's own profile";
    Menu* menu = stage->getMenu();
    EXPECT_EQ(shop()->getCoins(), 500) << "the starting amounts on a first start";
    EXPECT_EQ(shop()->getTickets(), 1);

    menu->getOptionsExt()->setMusicOn(false);
    menu->getOptionsExt()->setMusicVolume(40);
    menu->getOptionsExt()->setSoundVolume(70);
    menu->_startCount = -1;
    menu->_tutorialDue = false;
    shop()->setCoins(120);
    shop()->setTickets(3);
    MenuShopExt::Item* character = firstItem(shop(), MenuShopExt::KindCharacter, false);
    MenuShopExt::Item* train = firstItem(shop(), MenuShopExt::KindTrain, false);
    MenuShopExt::Item* skin = firstItem(shop(), MenuShopExt::KindSkin, false);
    ASSERT_TRUE(character && train && skin) << "the sample shop sells another character, train and skin";
    // The items go with the first stage; their names stay.
    const std::string characterName = character->_name, trainName = train->_name, skinName = skin->_name;
    for (const std::string& name : {characterName, trainName, skinName}) {
        shop()->setItemState(name, 0);
        shop()->selectItemByName(name);
    }
    std::string boost;
    for (MenuShopExt::Item* it : shop()->getItems()) {
        MenuShopExt::ItemInfo info;
        shop()->describeItem(info, it->_name);
        if (it->_kind == MenuShopExt::KindItem && info.levelCount > 1) {
            boost = it->_name;
            break;
        }
    }
    ASSERT_FALSE(boost.empty());
    shop()->setItemState(boost, 1);
    ASSERT_TRUE(menu->getMapExt()->selectContinent(std::string("hills")));
    MenuMissionExt* missions = menu->getMissionExt();
    ASSERT_FALSE(missions->getMaps().empty());
    missions->setBestDistance(512.5f);
    MenuMissionExt::MissionMap* map = missions->getMaps().front();
    map->travelled = 1500;
    map->best = 400;
    map->trainWaiting = true;
    ASSERT_GE(map->waypoints.size(), 2u);
    map->waypoints[0].giftWaiting = false;
    map->waypoints[1].giftWaiting = true;
    quit();

    EXPECT_EQ(item(), "120.3.491442df5f88c6aa018e86dac21d3606");
    ProfileChunkMap chunks;
    readProfile(_documents.file("player.profile"), chunks);
    EXPECT_TRUE(chunks.contains("playerdata"));

    stage = start();
    menu = stage->getMenu();
    EXPECT_FALSE(menu->getOptionsExt()->isMusicOn());
    EXPECT_FLOAT_EQ(menu->getOptionsExt()->getMusicVolume(), 40);
    EXPECT_TRUE(menu->getOptionsExt()->isSoundOn());
    EXPECT_FLOAT_EQ(menu->getOptionsExt()->getSoundVolume(), 70);
    EXPECT_EQ(menu->_startCount, -1) << "the player agreed to rate: never asked again";
    EXPECT_FALSE(menu->_tutorialDue);
    EXPECT_EQ(shop()->getCoins(), 120);
    EXPECT_EQ(shop()->getTickets(), 3);
    EXPECT_EQ(firstItem(shop(), MenuShopExt::KindCharacter, true)->_name, characterName);
    EXPECT_EQ(firstItem(shop(), MenuShopExt::KindTrain, true)->_name, trainName);
    EXPECT_EQ(firstItem(shop(), MenuShopExt::KindSkin, true)->_name, skinName);
    EXPECT_EQ(levelOf(shop(), boost), 1);
    ASSERT_NE(menu->getMapExt()->getCurrent(), nullptr);
    EXPECT_EQ(menu->getMapExt()->getCurrent()->name, "hills");
    missions = menu->getMissionExt();
    EXPECT_FLOAT_EQ(missions->getBestDistance(), 512.5f);
    map = missions->getMaps().front();
    EXPECT_FLOAT_EQ(map->travelled, 1500);
    EXPECT_FLOAT_EQ(map->best, 400);
    EXPECT_TRUE(map->trainWaiting);
    EXPECT_FALSE(map->waypoints[0].giftWaiting);
    EXPECT_TRUE(map->waypoints[1].giftWaiting);
    EXPECT_EQ(profile()->getBestDistance(missions->_gamecenter), 512u);
    // The stage took the selection over.
    ASSERT_NE(stage->getPlayer(), nullptr);
    EXPECT_EQ(stage->getPlayer()->_playerName, trainName);

    // Said no (or never asked): the counting starts again after a restart.
    menu->_startCount = 3;
    quit();
    stage = start();
    EXPECT_EQ(stage->getMenu()->_startCount, 0);
    quit();
}

// The keychain decides coins and tickets when it holds an item; a broken one gives the starting
// amounts whatever the file holds, a missing one lets the file decide.
TEST_F(MyProfileTest, KeychainItemDecidesCoinsAndTickets) {
    const std::string file = _documents.file("player.profile");
    struct Case {
        const char* name;
        std::string item;  // "-": no item
        bool fileThere;
        int32_t coins, tickets;
    } cases[] = {
        {"valid item, file deleted", "120.3." + md5Hex("1203"), false, 120, 3},
        {"valid item, file holds others", "120.3." + md5Hex("1203"), true, 120, 3},
        {"two points in a row", "120..3." + md5Hex("1203"), true, 120, 3},
        {"wrong digest", "999.9." + md5Hex("1203"), true, 500, 1},
        {"two parts", "999.9", true, 500, 1},
        {"no item", "-", true, 777, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(file.c_str());
        ::unlink(keychain.file(kItem).c_str());
        if (c.fileThere)
            writeProfile(file, {{"coins", Bytes().u32(777).b}, {"tickets", Bytes().u32(9).b}});
        if (c.item != "-")
            testsupport::writeFile(keychain.file(kItem), c.item);
        start();
        EXPECT_EQ(shop()->getCoins(), c.coins);
        EXPECT_EQ(shop()->getTickets(), c.tickets);
        quit();
    }
}

// The keychain never holds amounts the file does not: it is written after the file, removed when
// it cannot be written, and removed before a changed file is written.
TEST_F(MyProfileTest, KeychainFollowsTheFileWhateverFails) {
    start();
    shop()->setCoins(120);
    shop()->setTickets(3);
    ASSERT_TRUE(SocialPlatform::instance().saveProfile());
    EXPECT_EQ(item(), MyProfile::checkString(120, 3));

    // The file cannot be written: the keychain does not run ahead of it.
    shop()->setCoins(9000);
    ProfileStore& store = SocialPlatform::instance().profileStore();
    const std::string path = store.path();
    store.setFile(_documents.file("missing/player.profile"), "zeLVAN", "86420975");
    EXPECT_FALSE(SocialPlatform::instance().saveProfile());
    EXPECT_NE(item(), MyProfile::checkString(9000, 3));
    store.setFile(path, "zeLVAN", "86420975");
    quit();  // saves 9000 for real
    EXPECT_EQ(item(), MyProfile::checkString(9000, 3));

    // The keychain cannot be written after the file: the item goes, the file decides.
    start();
    EXPECT_EQ(shop()->getCoins(), 9000);
    shop()->setCoins(42);
    platform::socialSwitches().keychainWritesFail = true;
    testsupport::LogCapture log;
    quit();
    EXPECT_FALSE(fileExists(keychain.file(kItem)));
    platform::socialSwitches().keychainWritesFail = false;
    start();
    EXPECT_EQ(shop()->getCoins(), 42) << "nothing granted or lost";
    EXPECT_EQ(shop()->getTickets(), 3);
    quit();
    EXPECT_EQ(item(), MyProfile::checkString(42, 3)) << "the next save writes it again";
}

// Damaged "playerdata" content: nothing is granted, nothing spins, the start items stay.
TEST_F(MyProfileTest, DamagedShopAndMissionRecordsGrantNothing) {
    // Find the sample catalogue's names first.
    start();
    const std::string startCharacter = firstItem(shop(), MenuShopExt::KindCharacter, true)->_name;
    const std::string startTrain = firstItem(shop(), MenuShopExt::KindTrain, true)->_name;
    const std::string otherCharacter = firstItem(shop(), MenuShopExt::KindCharacter, false)->_name;
    const std::string otherTrain = firstItem(shop(), MenuShopExt::KindTrain, false)->_name;
    std::string boost;
    int32_t boostLevels = 0;
    for (MenuShopExt::Item* it : shop()->getItems()) {
        MenuShopExt::ItemInfo info;
        shop()->describeItem(info, it->_name);
        if (it->_kind == MenuShopExt::KindItem && info.levelCount > 1) {
            boost = it->_name;
            boostLevels = info.levelCount;
            break;
        }
    }
    ASSERT_FALSE(boost.empty());
    ASSERT_FALSE(owned(shop(), otherCharacter));
    quit();

    const std::string file = _documents.file("player.profile");
    {
        SCOPED_TRACE("levels out of range, an unknown item, an unowned selection, a record cut short");
        Bytes shopRecords;
        shopRecords.u32(5)
            .str(startCharacter).u32((uint32_t)-1000)
            .str(boost).u32(1000)
            .str("futureTrain").u32(2)
            .str(otherTrain).u32((uint32_t)-1);
        shopRecords.str(otherCharacter).b += std::string("\x01\x00", 2);  // level cut short
        writeProfile(file, {{"shop", shopRecords.b},
                            {"trainSelect", Bytes().str(otherTrain).b},
                            {"characterSelect", Bytes().str(otherCharacter).b},
                            {"futureKey", "abc"}});
        start();
        EXPECT_TRUE(owned(shop(), startCharacter)) << "the start character stays owned";
        EXPECT_EQ(levelOf(shop(), boost), boostLevels - 1) << "levels held to the item's range";
        EXPECT_FALSE(owned(shop(), otherCharacter)) << "a record cut short grants nothing";
        EXPECT_EQ(firstItem(shop(), MenuShopExt::KindCharacter, true)->_name, startCharacter);
        EXPECT_EQ(firstItem(shop(), MenuShopExt::KindTrain, true)->_name, startTrain)
            << "a saved choice that is not owned falls back to the start item";
        quit();
        // The unknown item and key are written back for the version that knows them.
        ProfileChunkMap chunks, keys;
        readProfile(file, chunks);
        ProfileChunkMap::read(keys, chunks.get("playerdata"));
        ASSERT_TRUE(keys.contains("futureKey"));
        const FileBuffer& shopKey = keys.get("shop");
        const std::string bytes((const char*)shopKey.data(), (size_t)shopKey.size());
        EXPECT_NE(bytes.find(Bytes().str("futureTrain").u32(2).b), std::string::npos);
        EXPECT_TRUE(chunks.contains(MyProfile::kCreditsChunk));
    }
    {
        SCOPED_TRACE("counts of 0xFFFFFFFF over nothing; a boost level of -1000");
        writeProfile(file, {{"shop", Bytes().u32(0xFFFFFFFFu).b},
                            {"mission", Bytes().f32(10).u32(0xFFFFFFFFu).b}});
        start();
        EXPECT_TRUE(owned(shop(), startCharacter));
        EXPECT_FALSE(owned(shop(), otherCharacter));
        EXPECT_FLOAT_EQ(Stage::get()->getMenu()->getMissionExt()->getBestDistance(), 10);
        quit();
        writeProfile(file, {{"shop", Bytes().u32(1).str(boost).u32((uint32_t)-1000).b}});
        start();
        EXPECT_EQ(levelOf(shop(), boost), -1);
        quit();
    }
    {
        SCOPED_TRACE("mission block: best distance never lowered; a changed waypoint count keeps the gifts");
        start();
        MenuMissionExt* missions = Stage::get()->getMenu()->getMissionExt();
        MenuMissionExt::MissionMap* map = missions->getMaps().front();
        map->waypoints[0].giftWaiting = true;
        missions->setBestDistance(900);
        Bytes block;
        block.f32(500).u32(2).str("nowhere").f32(1).f32(1).u32(1).u32(2).u32(1).u32(1);
        block.str(map->name).f32(100).f32(80).u32(1).u32((uint32_t)map->waypoints.size() + 1);
        for (size_t i = 0; i <= map->waypoints.size(); ++i)
            block.u32(0);
        writeProfile(file, {{"mission", block.b}});
        SocialPlatform::instance().loadProfile();
        EXPECT_FLOAT_EQ(missions->getBestDistance(), 900);
        EXPECT_FLOAT_EQ(map->travelled, 100);
        EXPECT_FLOAT_EQ(map->best, 80);
        EXPECT_TRUE(map->trainWaiting);
        EXPECT_TRUE(map->waypoints[0].giftWaiting);
        quit();
    }
}

// A transaction is credited once, even when the store delivers it again after a restart; nothing
// is credited before the profile is in the menus.
TEST_F(MyProfileTest, CreditedTransactionsAreKeptAcrossRestarts) {
    {
        MyProfile early;  // no stage, nothing loaded
        EXPECT_FALSE(early.canCredit());
        EXPECT_FALSE(early.markTransactionCredited("t-1"));
    }
    start();
    ASSERT_TRUE(profile()->canCredit());
    EXPECT_FALSE(profile()->markTransactionCredited(""));
    EXPECT_TRUE(profile()->markTransactionCredited("t-1"));
    EXPECT_FALSE(profile()->markTransactionCredited("t-1"));
    quit();
    start();
    EXPECT_TRUE(profile()->isTransactionCredited("t-1"));
    EXPECT_FALSE(profile()->markTransactionCredited("t-1"));
    EXPECT_TRUE(profile()->markTransactionCredited("t-2"));
    quit();
}

}  // namespace
