#include "game/profile/ZelvanMyProfile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/FileBuffer.h"
#include "engine/platform.h"
#include "engine/online/ProfileChunk.h"
#include "engine/utils.h"
#include "game/menu/ZelvanMenu.h"
#include "game/menu/ZelvanMenuMapExt02.h"
#include "game/menu/ZelvanMenuMissionExt.h"
#include "game/menu/ZelvanMenuOptionsExt.h"
#include "game/menu/ZelvanMenuShopExt.h"
#include "game/stage/ZelvanStage.h"

namespace Zelvan {

const char* const MyProfile::kKeychainAccount = "zelvan10";
const char* const MyProfile::kCreditsChunk = "storecredits";

namespace {

// ---- Values in little-endian bytes ----

class Writer {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes += (char)(uint8_t)(v >> (8 * i));
    }
    void i32(int32_t v) { u32((uint32_t)v); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        u32(bits);
    }
    void str(const std::string& s) {
        const uint16_t n = (uint16_t)s.size();
        bytes += (char)(uint8_t)n;
        bytes += (char)(uint8_t)(n >> 8);
        bytes.append(s, 0, n);
    }
    std::string bytes;
};

// Reads values only when they are there whole: a value cut short leaves the cursor at the end
// and reports false, so a caller never acts on half a record.
class Reader {
public:
    explicit Reader(const std::string& bytes) : _b(bytes) {}
    bool u32(uint32_t& v) {
        if (left() < 4) {
            _p = _b.size();
            return false;
        }
        v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | (uint8_t)_b[_p + (size_t)i];
        _p += 4;
        return true;
    }
    bool i32(int32_t& v) {
        uint32_t u;
        if (!u32(u))
            return false;
        v = (int32_t)u;
        return true;
    }
    bool f32(float& v) {
        uint32_t u;
        if (!u32(u))
            return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    // A string read whole.
    bool str(std::string& s) {
        if (left() < 2) {
            _p = _b.size();
            return false;
        }
        const size_t n = (uint8_t)_b[_p] | ((size_t)(uint8_t)_b[_p + 1] << 8);
        _p += 2;
        if (left() < n) {
            _p = _b.size();
            return false;
        }
        s.assign(_b, _p, n);
        _p += n;
        return true;
    }
    // A string as far as it goes (a string that is cut short keeps the bytes there).
    std::string strLenient() {
        std::string s;
        if (left() < 2) {
            _p = _b.size();
            return s;
        }
        size_t n = (uint8_t)_b[_p] | ((size_t)(uint8_t)_b[_p + 1] << 8);
        _p += 2;
        n = std::min(n, left());
        s.assign(_b, _p, n);
        _p += n;
        return s;
    }
    void skip(uint64_t n) { _p += (size_t)std::min<uint64_t>(n, left()); }
    size_t left() const { return _b.size() - _p; }

private:
    const std::string& _b;
    size_t _p = 0;
};

std::string bufferBytes(const FileBuffer& buffer) {
    if (!buffer.data() || buffer.size() == 0)
        return std::string();
    return std::string((const char*)buffer.data(), (size_t)buffer.size());
}

const std::string& keyOf(const std::map<std::string, std::string>& keys, const char* name) {
    static const std::string empty;
    auto it = keys.find(name);
    return it == keys.end() ? empty : it->second;
}

bool readU32(const std::map<std::string, std::string>& keys, const char* name, uint32_t& v) {
    Reader r(keyOf(keys, name));
    return r.u32(v);
}

bool readF32(const std::map<std::string, std::string>& keys, const char* name, float& v) {
    Reader r(keyOf(keys, name));
    float f;
    if (!r.f32(f) || !std::isfinite(f))
        return false;
    v = f;
    return true;
}

std::string readStr(const std::map<std::string, std::string>& keys, const char* name) {
    Reader r(keyOf(keys, name));
    return r.strLenient();
}

// Distances from the file: not a number or below 0 reads as 0.
float distanceValue(float v) { return std::isfinite(v) && v > 0 ? v : 0.0f; }

// The selected item of a kind, or null.
MenuShopExt::Item* selectedItem(const MenuShopExt* shop, uint32_t kind) {
    for (MenuShopExt::Item* item : shop->getItems())
        if (item && item->_kind == kind && item->isSelected())
            return item;
    return nullptr;
}

std::string selectedName(const MenuShopExt* shop, uint32_t kind) {
    MenuShopExt::Item* item = selectedItem(shop, kind);
    return item ? item->_name : std::string();
}

bool isOwned(const MenuShopExt* shop, const std::string& name) {
    MenuShopExt::ItemInfo info;
    return !name.empty() && shop->describeItem(info, name) == 1 && info.owned != 0;
}

Menu* stageMenu() {
    Stage* stage = Stage::get();
    return stage ? stage->getMenu() : nullptr;
}

// The program's summary shows what the player owns and chose as the profile holds it.
void reportPlayer(Menu* menu) {
    RunReport::Player& player = runReport().player;
    if (MenuShopExt* shop = menu->getShopExt()) {
        player.known = true;
        player.coins = shop->getCoins();
        player.tickets = shop->getTickets();
        player.character = selectedName(shop, MenuShopExt::KindCharacter);
        player.train = selectedName(shop, MenuShopExt::KindTrain);
        player.skin = selectedName(shop, MenuShopExt::KindSkin);
    }
    if (MenuMapExt02* map = menu->getMapExt()) {
        const MenuMapExt02::Continent* current = map->getCurrent();
        player.region = current ? current->name : std::string();
    }
}

}  // namespace

// ---- Construction ----

MyProfile::MyProfile() {
    SocialPlatform::instance().addHandler(this, 0);
    if (Menu* menu = stageMenu())
        if (MenuMissionExt* missions = menu->getMissionExt()) {
            if (!missions->_gamecenter.empty())
                _leaderboardIds.push_back(missions->_gamecenter);
            for (MenuMissionExt::MissionMap* map : missions->getMaps())
                if (!map->gamecenter.empty())
                    _leaderboardIds.push_back(map->gamecenter);
        }
}

MyProfile::~MyProfile() {
    NetworkManager::cancelEverywhere(this);
    if (_creditsRegistered)
        SocialPlatform::instance().unregisterChunk(kCreditsChunk);
}

void MyProfile::onCreated() {
    SocialPlatform::instance().registerChunk(kCreditsChunk, &_credits, false);
    _creditsRegistered = true;
}

// ---- The check string ----

std::string MyProfile::checkString(int32_t coins, int32_t tickets) {
    char digits[32];
    std::snprintf(digits, sizeof(digits), "%d%d", coins, tickets);
    char head[32];
    std::snprintf(head, sizeof(head), "%d.%d.", coins, tickets);
    return std::string(head) + md5Hex(std::string(digits));
}

bool MyProfile::readCheckString(const std::string& text, int32_t& coins, int32_t& tickets) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text + ".") {
        if (c != '.') {
            part += c;
        } else if (!part.empty()) {
            parts.push_back(part);
            part.clear();
        }
    }
    if (parts.size() != 3 || md5Hex(parts[0] + parts[1]) != parts[2])
        return false;
    coins = leadingNumber(parts[0]);
    tickets = leadingNumber(parts[1]);
    return true;
}

int32_t MyProfile::leadingNumber(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > (int64_t)INT32_MAX + 1)
            v = (int64_t)INT32_MAX + 1;  // saturated; more digits change nothing
    }
    if (negative)
        return (int32_t)std::max<int64_t>(-v, INT32_MIN);
    return (int32_t)std::min<int64_t>(v, INT32_MAX);
}

// ---- Saving ----

void MyProfile::saveKeys(Menu* menu, std::map<std::string, std::string>& keys) {
    Writer w;
    auto put = [&keys, &w](const char* name) {
        keys[name] = w.bytes;
        w.bytes.clear();
    };
    w.u32(menu->_startCount < 0 ? 1 : 0);
    put("ratedGame");
    w.u32(menu->_tutorialDue ? 1 : 0);
    put("tutorial");

    if (MenuOptionsExt* options = menu->getOptionsExt()) {
        w.u32(options->isMusicOn() ? 1 : 0);
        put("musicEnable");
        w.f32(options->getMusicVolume());
        put("musicVolume");
        w.u32(options->isSoundOn() ? 1 : 0);
        put("soundEnable");
        w.f32(options->getSoundVolume());
        put("soundVolume");
    }

    if (MenuShopExt* shop = menu->getShopExt()) {
        _pendingCheck = checkString(shop->getCoins(), shop->getTickets());
        _hasPendingCheck = true;
        w.i32(shop->getCoins());
        put("coins");
        w.i32(shop->getTickets());
        put("tickets");
        w.str(selectedName(shop, MenuShopExt::KindCharacter));
        put("characterSelect");
        w.str(selectedName(shop, MenuShopExt::KindTrain));
        put("trainSelect");
        w.str(selectedName(shop, MenuShopExt::KindSkin));
        put("skinSelect");

        std::vector<std::pair<std::string, int32_t>> records;
        MenuShopExt::ItemInfo info;
        for (int32_t i = 0; shop->describeItemAt(info, i) == 1; ++i) {
            records.emplace_back(info.name, info.level);
            info = MenuShopExt::ItemInfo();
        }
        // Items of another version stay in the file for that version.
        for (const auto& unknown : _unknownItems)
            if (!shop->findItem(unknown.first))
                records.push_back(unknown);
        w.u32((uint32_t)records.size());
        for (const auto& record : records) {
            w.str(record.first);
            w.i32(record.second);
        }
        put("shop");
    }

    if (MenuMapExt02* map = menu->getMapExt()) {
        // The region paid for, never one only browsed on the map.
        const MenuMapExt02::Continent* current = map->getCurrent();
        w.str(current ? current->name : std::string());
        put("continentSelect");
    }

    if (MenuMissionExt* missions = menu->getMissionExt()) {
        w.f32(missions->getBestDistance());
        w.u32((uint32_t)missions->getMaps().size());
        for (const MenuMissionExt::MissionMap* m : missions->getMaps()) {
            w.str(m->name);
            w.f32(m->travelled);
            w.f32(m->best);
            w.u32(m->trainWaiting ? 1 : 0);
            w.u32((uint32_t)m->waypoints.size());
            for (const MenuMissionExt::Waypoint& waypoint : m->waypoints)
                w.u32(waypoint.giftWaiting ? 1 : 0);
        }
        put("mission");
    }
    reportPlayer(menu);
}

void MyProfile::onSave(const std::string& name, FileBuffer& buffer) {
    (void)name;
    _hasPendingCheck = false;
    Menu* menu = stageMenu();
    // Without a menu controller (between two stages, after the game's end) the keys of the last
    // load are written back: a save then must not forget the player's state.
    if (menu)
        saveKeys(menu, _keys);

    ProfileChunkMap nested;
    for (const auto& key : _keys)
        nested.get(key.first).write(key.second.data(), key.second.size());
    ProfileChunkMap::write(buffer, nested);

    // The file about to be written may hold other amounts than the keychain item: the item goes
    // first, so that until the new one is written after the file, the file decides.
    if (_hasPendingCheck && !_keychainValue.empty() && _pendingCheck != _keychainValue) {
        if (SocialPlatform::instance().keychainRemove(kKeychainAccount))
            _keychainValue.clear();
    }
}

void MyProfile::onSaved(const std::string& name, bool written) {
    (void)name;
    if (!_hasPendingCheck || !written)
        return;
    _hasPendingCheck = false;
    SocialPlatform& social = SocialPlatform::instance();
    if (social.keychainSetString(kKeychainAccount, _pendingCheck)) {
        _keychainValue = _pendingCheck;
        return;
    }
    // An item that is not the file's would decide at the next start: without one, the file does.
    if (social.keychainRemove(kKeychainAccount)) {
        _keychainValue.clear();
        Logger::error("[MyProfile::onSaved] the keychain could not be written; its item is removed, the profile file decides");
    } else {
        Logger::error("[MyProfile::onSaved] the keychain could neither be written nor cleared; it keeps older amounts than the profile file");
    }
}

// ---- Loading ----

void MyProfile::loadKeys(Menu* menu, const std::map<std::string, std::string>& keys) {
    uint32_t u = 0;
    if (readU32(keys, "ratedGame", u))
        menu->_startCount = u != 0 ? -1 : 0;
    else
        menu->_startCount = menu->_startCount < 0 ? -1 : 0;
    if (readU32(keys, "tutorial", u))
        menu->_tutorialDue = u != 0;

    if (MenuOptionsExt* options = menu->getOptionsExt()) {
        bool musicOn = options->isMusicOn(), soundOn = options->isSoundOn();
        float musicVolume = options->getMusicVolume(), soundVolume = options->getSoundVolume();
        if (readU32(keys, "musicEnable", u))
            musicOn = u != 0;
        readF32(keys, "musicVolume", musicVolume);
        options->setMusicOn(musicOn);
        options->setMusicVolume(std::max(0.0f, std::min(100.0f, musicVolume)));
        if (readU32(keys, "soundEnable", u))
            soundOn = u != 0;
        readF32(keys, "soundVolume", soundVolume);
        options->setSoundOn(soundOn);
        options->setSoundVolume(std::max(0.0f, std::min(100.0f, soundVolume)));
    }

    _unknownItems.clear();
    if (MenuShopExt* shop = menu->getShopExt()) {
        // The loader has owned and selected the start items: they stay owned, and a saved choice
        // that is not owned falls back to them.
        const std::string startCharacter = selectedName(shop, MenuShopExt::KindCharacter);
        const std::string startTrain = selectedName(shop, MenuShopExt::KindTrain);
        const std::string startSkin = selectedName(shop, MenuShopExt::KindSkin);

        Reader r(keyOf(keys, "shop"));
        uint32_t count = 0;
        if (r.u32(count)) {
            // A count larger than the records there is no reason to keep reading: stop where the
            // data ends, and never act on a record cut short.
            for (uint32_t i = 0; i < count && r.left() > 0; ++i) {
                std::string item;
                int32_t level = -1;
                if (!r.str(item) || !r.i32(level))
                    break;
                MenuShopExt::ItemInfo info;
                if (shop->describeItem(info, item) != 1) {
                    _unknownItems.emplace_back(item, level);
                    continue;
                }
                level = std::max(-1, std::min(level, std::max(0, info.levelCount - 1)));
                shop->setItemState(item, level);
            }
        }
        for (const std::string* start : {&startCharacter, &startTrain, &startSkin})
            if (!start->empty() && !isOwned(shop, *start))
                shop->setItemState(*start, 0);

        struct Choice {
            const char* key;
            const std::string& start;
        };
        for (const Choice& choice : {Choice{"characterSelect", startCharacter}, Choice{"trainSelect", startTrain},
                                     Choice{"skinSelect", startSkin}}) {
            const std::string saved = readStr(keys, choice.key);
            if (isOwned(shop, saved))
                shop->selectItemByName(saved);
            else if (!choice.start.empty())
                shop->selectItemByName(choice.start);
        }

        int32_t coins = shop->getCoins(), tickets = shop->getTickets();
        _keychainValue = SocialPlatform::instance().keychainGetString(kKeychainAccount);
        if (_keychainValue.empty()) {
            int32_t v = 0;
            Reader rc(keyOf(keys, "coins"));
            if (rc.i32(v))
                coins = v;
            Reader rt(keyOf(keys, "tickets"));
            if (rt.i32(v))
                tickets = v;
        } else if (!readCheckString(_keychainValue, coins, tickets)) {
            Logger::error("[MyProfile::onLoad] the keychain's check of coins and tickets fails; the starting amounts stand");
        }
        shop->setCoins(coins);
        shop->setTickets(tickets);
        if (Stage* stage = Stage::get()) {
            stage->selectCharacter(selectedName(shop, MenuShopExt::KindCharacter));
            stage->selectPlayer(selectedName(shop, MenuShopExt::KindTrain));
            stage->selectSkin(selectedName(shop, MenuShopExt::KindSkin));
        }
    }

    if (MenuMapExt02* map = menu->getMapExt()) {
        const std::string continent = readStr(keys, "continentSelect");
        if (!continent.empty())
            map->selectContinent(continent);
    }

    if (MenuMissionExt* missions = menu->getMissionExt()) {
        Reader r(keyOf(keys, "mission"));
        float best = 0;
        if (!r.f32(best))
            best = 0;
        missions->setBestDistance(std::max(distanceValue(best), missions->getBestDistance()));
        uint32_t maps = 0;
        if (r.u32(maps)) {
            for (uint32_t i = 0; i < maps && r.left() > 0; ++i) {
                std::string mapName;
                float travelled = 0, mapBest = 0;
                uint32_t train = 0, waypoints = 0;
                if (!r.str(mapName) || !r.f32(travelled) || !r.f32(mapBest) || !r.u32(train) || !r.u32(waypoints))
                    break;
                missions->setMapBest(mapName, distanceValue(mapBest));
                MenuMissionExt::MissionMap* m = missions->findMap(mapName);
                if (!m) {
                    r.skip((uint64_t)waypoints * 4);
                    continue;
                }
                m->travelled = distanceValue(travelled);
                m->trainWaiting = train != 0;
                m->cameraFrame = std::max(m->cameraFrameMin, std::min(m->cameraFrameMax, m->progressValue()));
                if (waypoints == m->waypoints.size()) {
                    for (MenuMissionExt::Waypoint& waypoint : m->waypoints) {
                        uint32_t flag = 0;
                        waypoint.giftWaiting = r.u32(flag) && flag != 0;
                    }
                } else {
                    r.skip((uint64_t)waypoints * 4);
                }
            }
        }
    }
}

void MyProfile::onLoad(const std::string& name, FileBuffer& buffer) {
    (void)name;
    Menu* menu = stageMenu();
    if (SocialPlatform::instance().getSettings().skipPlayerData) {
        _loadedMenu = menu;
        return;
    }
    ProfileChunkMap nested;
    ProfileChunkMap::read(nested, buffer);
    _keys.clear();
    for (const auto& entry : nested)
        _keys[entry.first] = bufferBytes(entry.second);
    if (!menu)
        return;
    loadKeys(menu, _keys);
    _loadedMenu = menu;
    reportPlayer(menu);
}

// ---- Friends' scores ----

void MyProfile::onPlayerEvent(int event) {
    if (event != SOCIAL_GAMECENTER_FRIENDS && event != SOCIAL_COLLECTED)
        return;
    for (const std::string& id : _leaderboardIds)
        SocialPlatform::instance().gameCenterLoadScores(id, [id](PlayerProfile* profile, int64_t score) {
            if (FriendProfile* person = dynamic_cast<FriendProfile*>(profile))
                person->setBestDistance(id, (uint32_t)(uint64_t)score);
        });
}

// ---- Store credits ----

bool MyProfile::canCredit() const {
    const Menu* menu = stageMenu();
    return menu && menu == _loadedMenu && SocialPlatform::instance().isLoaded();
}

bool MyProfile::isTransactionCredited(const std::string& id) const {
    return std::find(_credits.ids.begin(), _credits.ids.end(), id) != _credits.ids.end();
}

bool MyProfile::markTransactionCredited(const std::string& id) {
    if (id.empty() || !canCredit() || isTransactionCredited(id))
        return false;
    _credits.ids.push_back(id);
    while (_credits.ids.size() > kMaxCredits)
        _credits.ids.pop_front();
    return true;
}

void MyProfile::Credits::onSave(const std::string& name, FileBuffer& buffer) {
    (void)name;
    Writer w;
    w.u32((uint32_t)ids.size());
    for (const std::string& id : ids)
        w.str(id);
    buffer.write(w.bytes.data(), w.bytes.size());
}

void MyProfile::Credits::onLoad(const std::string& name, FileBuffer& buffer) {
    (void)name;
    ids.clear();
    const std::string bytes = bufferBytes(buffer);
    Reader r(bytes);
    uint32_t count = 0;
    if (!r.u32(count))
        return;
    for (uint32_t i = 0; i < count && r.left() > 0; ++i) {
        std::string id;
        if (!r.str(id))
            break;
        if (!id.empty())
            ids.push_back(id);
    }
    while (ids.size() > kMaxCredits)
        ids.pop_front();
}

}  // namespace Zelvan
