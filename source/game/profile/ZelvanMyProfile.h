#pragma once
// The player's own profile. It keeps almost nothing itself: a save collects the state of the menu
// controller and its panels (options, shop, world map, missions) into the "playerdata" chunk, a
// load hands each value back to the panel that owns it. Coins and tickets are also checked
// against a string in the platform keychain, so editing the file alone does not change them.
//
// The keychain item is written only once the file is in place (IProfileChunk::onSaved); while a
// changed file is being written the old item is removed first, so whatever happens in between
// (a kill, a failed write) the keychain never holds amounts the file does not: a missing item
// lets the file decide.
//
// Store purchases: the identifiers of credited transactions live in a chunk of their own
// ("storecredits"), saved together with the credit, so a transaction the store delivers again
// (killed after the save, before the store was told) is credited once. Nothing may be credited
// before the profile has been applied to the menus (canCredit), or the load would overwrite it.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/online/NetworkManager.h"
#include "engine/online/SocialPlatform.h"
#include "game/profile/ZelvanFriendProfile.h"

namespace Zelvan {

class Menu;

class MyProfile : public FriendProfile, public INetworkHandler, public ISocialEventHandler {
public:
    // The keychain account of the coins-and-tickets check string.
    static const char* const kKeychainAccount;
    // The chunk of credited store transactions.
    static const char* const kCreditsChunk;
    // How many credited transactions are remembered (the oldest go first).
    static const size_t kMaxCredits = 512;

    MyProfile();
    ~MyProfile() override;

    void onSave(const std::string& name, FileBuffer& buffer) override;
    void onLoad(const std::string& name, FileBuffer& buffer) override;
    void onSaved(const std::string& name, bool written) override;
    // Registers the credited-transactions chunk with the social platform.
    void onCreated() override;

    void onNetworkNodeDone(NetworkNode* node) override { (void)node; }
    // Game-centre friends loaded or collected identifiers applied: loads the friends' scores.
    void onPlayerEvent(int event) override;

    // "<coins>.<tickets>.<md5 of the two numbers written one after the other>".
    static std::string checkString(int32_t coins, int32_t tickets);
    // The amounts of a check string: true when it has the three parts and the md5 fits the two
    // numbers; coins and tickets are left alone otherwise.
    static bool readCheckString(const std::string& text, int32_t& coins, int32_t& tickets);
    // The decimal number at the start of the text (an optional sign, then digits), held inside
    // the signed 32 bits; 0 when the text starts with no number.
    static int32_t leadingNumber(const std::string& text);

    // True once the saved state has been handed to the stage's current menu controller: from
    // then on a credit to the shop is kept by the next save.
    bool canCredit() const;
    bool isTransactionCredited(const std::string& id) const;
    // Records a transaction about to be credited; the caller credits it and saves. False (nothing
    // recorded) when the profile cannot take credits yet, the id is empty, or it is recorded
    // already (then it must not be credited again; the store may be told it is finished).
    bool markTransactionCredited(const std::string& id);
    const std::deque<std::string>& creditedTransactions() const { return _credits.ids; }

private:
    // The credited transactions' chunk: u32 count, then that many strings.
    struct Credits : public IProfileChunk {
        void onSave(const std::string& name, FileBuffer& buffer) override;
        void onLoad(const std::string& name, FileBuffer& buffer) override;
        std::deque<std::string> ids;
    };

    void saveKeys(Menu* menu, std::map<std::string, std::string>& keys);
    void loadKeys(Menu* menu, const std::map<std::string, std::string>& keys);

    Credits _credits;
    bool _creditsRegistered = false;
    // The keys of the last load or save: those this version does not write (unknown keys, and
    // every key while a panel or the menu is missing) are written back unchanged.
    std::map<std::string, std::string> _keys;
    // Shop records of items the shop does not know, written back after the known ones.
    std::vector<std::pair<std::string, int32_t>> _unknownItems;
    // The menu controller the saved state was applied to.
    const Menu* _loadedMenu = nullptr;
    // What the keychain holds as far as this profile knows, and what the save in progress will
    // put there once its file is written.
    std::string _keychainValue;
    std::string _pendingCheck;
    bool _hasPendingCheck = false;
};

}  // namespace Zelvan
