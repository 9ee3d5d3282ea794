#pragma once
// The shop: the game's catalogue (boosts, characters, trains, skins, objects, coin and ticket
// packs) with each entry's price and owned or level state, the player's coin and ticket
// balances, and the selected character, train and skin that the game takes over when the shop
// closes. Every entry shows as a copy of a template row of the shop panel.
//
// The catalogue is built once from the section "menu_shop_extension", one section per entry and
// the characters, trains and skins the game has loaded. The profile saves the balances, the
// selected keys and, per item, its name and describe level.
//
// Coins are paid here only for things sold for coins: a bank pack with a price of 0 or below is
// sold for real money and reaches the player through the store's credit (creditItemByName,
// creditItemAtObject), never through buy.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/math.h"
#include "game/menu/ZelvanMenuExtension.h"

class Camera;
class Object;
class Panel;
class PanelItem;
class PSParticleSystem;
class Scene;
class World;

namespace Zelvan {

class ActorMenu;
class LevelSkin;
class Stage;

class MenuShopExt : public MenuExtension {
public:
    // Kind codes: single bits. Any of 2..64 can be bought.
    enum Kind : uint32_t {
        KindNone = 0,
        KindHeader = 1,
        KindItem = 2,  // a boost with upgrade levels
        KindObject = 4,
        KindCharacter = 8,
        KindTrain = 16,
        KindSkin = 32,
        KindBank = 64,
        KindGroup = 128,
        KindBuyable = 0x7E,
    };

    // What describe tells of an item.
    struct ItemInfo {
        std::string name;
        std::string displayName;  // text key
        std::string description;  // text key
        int32_t levelCount = 0;
        int32_t level = -1;  // -1: nothing owned; what the profile saves
        int32_t price = 0;   // next step in coins; a real-money pack: 0 or below
        uint8_t canBuy = 0;
        uint8_t owned = 0;
    };

    // A tab: list indices of its heading and its last entry; first > last is an empty tab,
    // -1 both when the tab is absent.
    struct Range {
        int32_t first = -1;
        int32_t last = -1;
        bool isEmpty() const { return first < 0 || last < first; }
    };

    // What the game has loaded and the catalogue lists under "characters", "trains", "skins":
    // each definition's name and the skin the game holds for it.
    struct Roster {
        struct Entry {
            std::string name;
            LevelSkin* skin = nullptr;
        };
        std::vector<Entry> characters, trains, skins;
        // The stage's lists in load order (empty without a stage).
        static Roster fromStage(const Stage* stage);
    };

    // The keys of a character, a train and a skin (empty: none).
    struct Selection {
        std::string character, train, skin;
    };

    // A layout entry: anything that can stand in the shop list.
    class Node {
    public:
        Node(const std::string& key, const std::string& name, uint32_t kind)
            : _key(key), _name(name), _kind(kind) {}
        virtual ~Node() {}
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;

        // {lowest, highest} height of the row relative to its position.
        virtual Vector2 extent() const { return Vector2(0, 0); }
        virtual Vector3 position() const { return Vector3(0, 0, 0); }
        virtual void spin(float amount) { (void)amount; }
        virtual void update(MenuShopExt* shop, float shopTime, float dt) {
            (void)shop, (void)shopTime, (void)dt;
        }

        std::string _key;   // configuration word and section; empty for a tab heading
        std::string _name;  // ".name", default the key: every lookup goes by it
        uint32_t _kind = KindNone;
    };

    class Item;

    // Items whose rows show together; stands in the list as one entry.
    class Group : public Node {
    public:
        Group(const std::string& key, const std::string& name) : Node(key, name, KindGroup) {}
        void update(MenuShopExt* shop, float shopTime, float dt) override;
        std::vector<Item*> _members;  // not owned
    };

    // A catalogue entry with a row.
    class Item : public Node {
    public:
        Item(const std::string& key, const std::string& name, uint32_t kind, PanelItem* row)
            : Node(key, name, kind), _row(row) {}

        Vector2 extent() const override;
        Vector3 position() const override;

        // The base fills name and texts; each kind adds its state.
        virtual void describe(ItemInfo& info) const;
        virtual int32_t canBuy() const { return 0; }
        // Restores a saved level.
        virtual void setLevel(int32_t level) { (void)level; }
        // Pays from the shop's coins and grants; 1 on success, 0 with nothing changed.
        virtual int32_t buy(MenuShopExt* shop) {
            (void)shop;
            return 0;
        }
        virtual bool isSelected() const { return false; }
        // Whether the flag changed.
        virtual bool setSelected(bool selected) {
            (void)selected;
            return false;
        }
        // Brings the row's texts and nodes up to date.
        virtual void refresh(MenuShopExt* shop) { (void)shop; }

        PanelItem* _row = nullptr;  // owned by the panel; null in a catalogue without a panel
        std::string _textName;         // ".textMenuName"
        std::string _textDescription;  // ".textMenuDescription"
    };

    class ItemHeader : public Item {
    public:
        ItemHeader(const std::string& key, const std::string& name, PanelItem* row)
            : Item(key, name, KindHeader, row) {}
        void describe(ItemInfo& info) const override;
    };

    // An item whose icon or 3D object spins.
    class ItemRotate : public Item {
    public:
        using Item::Item;
        void spin(float amount) override;
        // The spin step, then place.
        void update(MenuShopExt* shop, float shopTime, float dt) override;
        // Puts the row's icon or 3D object where the row shows it.
        virtual void place(MenuShopExt* shop, float shopTime) {
            (void)shop;
            (void)shopTime;
        }

        float _angularVelocity = 0;  // radians per second
        float _angle = 0;            // radians
        uint8_t _spinQueued = 0;
        float _queuedImpulse = 0;
    };

    // A boost with a price per upgrade level.
    class ItemItem : public ItemRotate {
    public:
        ItemItem(const std::string& key, const std::string& name, PanelItem* row)
            : ItemRotate(key, name, KindItem, row) {}
        void describe(ItemInfo& info) const override;
        int32_t canBuy() const override;
        // Clamped to -1..count-1.
        void setLevel(int32_t level) override;
        int32_t buy(MenuShopExt* shop) override;
        void refresh(MenuShopExt* shop) override;
        int32_t count() const { return (int32_t)_prices.size(); }
        void place(MenuShopExt* shop, float shopTime) override;

        Object* _icon = nullptr;
        Object* _placeholder = nullptr;
        std::vector<int32_t> _prices;  // each 0 or more
        int32_t _level = -1;
    };

    // What every item with a 3D menu object keeps of it.
    struct MenuObject {
        ActorMenu* object = nullptr;  // null in a catalogue without a menu world
        float scale = 1;
        Vector3 centre;
    };

    // A 3D menu object taken once.
    class ItemObject : public ItemRotate {
    public:
        ItemObject(const std::string& key, const std::string& name, PanelItem* row)
            : ItemRotate(key, name, KindObject, row) {}
        ~ItemObject() override;
        void describe(ItemInfo& info) const override;
        int32_t canBuy() const override { return _available; }
        int32_t buy(MenuShopExt* shop) override;
        void place(MenuShopExt* shop, float shopTime) override;

        MenuObject _menu;
        int32_t _price = 0;
        uint8_t _available = 1;
    };

    // A riding character; also the base of trains and skins.
    class ItemCharacter : public ItemRotate {
    public:
        ItemCharacter(const std::string& key, const std::string& name, PanelItem* row,
                      uint32_t kind = KindCharacter)
            : ItemRotate(key, name, kind, row) {}
        ~ItemCharacter() override;
        void describe(ItemInfo& info) const override;
        int32_t canBuy() const override;
        // Owned for 0 or more.
        void setLevel(int32_t level) override;
        int32_t buy(MenuShopExt* shop) override;
        bool isSelected() const override { return _selected != 0; }
        bool setSelected(bool selected) override;
        void refresh(MenuShopExt* shop) override;
        bool isOwned() const { return !_notOwned; }
        void place(MenuShopExt* shop, float shopTime) override;
        // Scales the row's "selected" node while selected.
        void pulse(MenuShopExt* shop, float shopTime);

        MenuObject _menu;
        int32_t _price = 0;  // 0 or more
        uint8_t _notOwned = 1;
        uint8_t _selected = 0;
    };

    class ItemTrain : public ItemCharacter {
    public:
        ItemTrain(const std::string& key, const std::string& name, PanelItem* row)
            : ItemCharacter(key, name, row, KindTrain) {}
        void describe(ItemInfo& info) const override;
        int32_t canBuy() const override;
        int32_t buy(MenuShopExt* shop) override;
        void refresh(MenuShopExt* shop) override;
        void place(MenuShopExt* shop, float shopTime) override;

        uint8_t _menuLocked = 0;
    };

    class ItemSkin : public ItemCharacter {
    public:
        ItemSkin(const std::string& key, const std::string& name, PanelItem* row)
            : ItemCharacter(key, name, row, KindSkin) {}
    };

    // A pack of coins or tickets. A price above 0 is paid in coins; 0 or below is a pack sold
    // for real money that gives minus the price in coins.
    class ItemBank : public ItemRotate {
    public:
        ItemBank(const std::string& key, const std::string& name, PanelItem* row)
            : ItemRotate(key, name, KindBank, row) {}
        void describe(ItemInfo& info) const override;
        int32_t canBuy() const override { return _available; }
        void setLevel(int32_t level) override;
        // The coin path: refuses a real-money pack.
        int32_t buy(MenuShopExt* shop) override;
        // The store's path: a real-money pack that is available is granted; 1 then.
        int32_t credit(MenuShopExt* shop);
        void refresh(MenuShopExt* shop) override;
        bool isRealMoney() const { return _price <= 0; }
        void place(MenuShopExt* shop, float shopTime) override;

        Object* _icon = nullptr;
        Object* _placeholder = nullptr;
        int32_t _price = 0;
        int32_t _tickets = 0;
        uint8_t _available = 1;
        uint8_t _once = 0;
    };

    // The catalogue is empty and both balances 0 until reload. The panel may be null: the
    // catalogue then builds without rows and 3D objects (tools and tests that only need the
    // catalogue); with a panel, an entry whose row cannot be made is not created.
    MenuShopExt(const std::string& name, Panel* panel, World* menuWorld,
                PSParticleSystem* particles);
    ~MenuShopExt() override;

    // ---- Panel extension ----
    void onShow(bool back) override;
    void onHide(bool forward) override;
    bool touchBegan(int32_t finger, const Vector3& point) override;
    bool touchMoved(int32_t finger, const Vector3& point) override;
    bool touchEnded(int32_t finger, const Vector3& point) override;
    void update(float dt) override;
    // Hides the shop's 3D world and hands the selection to the game.
    void onHidden() override;

    // ---- Presentation ----
    // 1, or 0 (nothing changed) for an index outside the list or a separator. Ends a drag.
    int32_t focusListIndex(int32_t index);
    // Stacks the rows downwards from origin; total: the list's height; focusOffset (may be
    // null): the height above the focus entry; probed (may be null): the item whose row spans
    // the height probe.
    void layoutList(const Vector3& origin, float& total, float* focusOffset, int32_t focusIndex, Node** probed,
                    float probe);
    // Turns the icon by angle about the placeholder's third axis, in the placeholder's place.
    void placeIcon(Object* icon, Object* placeholder, float angle);
    // Puts the 3D object where the row's "view" node shows on screen, tilted by its height on
    // the screen and turned by angle.
    void placeObject(PanelItem* row, Object* object, const Vector3& centre, float scale, float angle);
    // Hides the texts, icons and figures of the rows whose middle lies above top or below bottom
    // (heights of the interface world) and shows those inside.
    void clipToWindow(float top, float bottom);
    void clipItem(Item* item, float top, float bottom);
    // The entry a tab button focuses: the next affordable entry after the focus inside the
    // tab, else the one after the focus (or after the heading).
    int32_t tabButtonIndex(const Range& tab) const;
    // The entry the main menu's way into a tab focuses: the first affordable one, else the
    // selected one (may be -1).
    int32_t tabEntryIndex(const Range& tab, int32_t selectedIndex) const;
    // The camera of the page the shop's rows live in (null without a page).
    Camera* interfaceCamera() const;
    Camera* getShopCamera() const { return _camera; }

    // ---- Catalogue ----
    // Builds the catalogue from configuration and the stage's lists, then refreshes the
    // balances. Once built, a further call leaves the catalogue as it is.
    void reload();
    void reload(const Roster& roster);
    bool isBuilt() const { return _built; }

    void setCoins(int32_t coins);
    void setTickets(int32_t tickets);
    Item* findItem(const std::string& name) const;
    // 1, or 0 past the end of the items (creation order).
    int32_t describeItemAt(ItemInfo& info, int32_t index) const;
    int32_t describeItem(ItemInfo& info, const std::string& name) const;
    int32_t setItemState(const std::string& name, int32_t level);
    // The coin path by name.
    int32_t buyItemByName(const std::string& name);
    // The store's path: grants the real-money pack of that name (price 0 or below), refreshes
    // and saves the profile. 1 when granted.
    int32_t creditItemByName(const std::string& name);
    int32_t refreshItemByName(const std::string& name);
    int32_t selectItemByName(const std::string& name);
    // 1 when the selection changed.
    int32_t selectItem(Item* item);
    Item* findItemAtObject(Object* object) const;
    int32_t describeItemAtObject(ItemInfo& info, Object* object) const;
    // The coin path of a confirmed purchase.
    int32_t buyItemAtObject(Object* object);
    // The store's path for the row that waited for the purchase.
    int32_t creditItemAtObject(Object* object);
    int32_t selectItemAtObject(Object* object);
    void playBuyAnimation(Object* object);
    void playSelectAnimation(Object* object);
    // List indices in either order.
    int32_t hasAffordableItem(int32_t first, int32_t last) const;
    // An empty or absent tab has nothing affordable.
    int32_t hasAffordableItem(const Range& tab) const;
    int32_t findListIndex(const std::string& name) const;
    void refreshCoins();
    void refreshTickets();

    // The selected keys that differ from the game's current ones (empty: leave that one).
    Selection selectionToHand(const Selection& current) const;
    // Makes the selected character, train and skin current in the stage where they differ.
    void handSelectionToGame(Stage* stage) const;

    // ---- Accessors ----
    Panel* getPanel() const { return _panel; }
    const std::vector<Item*>& getItems() const { return _items; }
    const std::vector<Group*>& getGroups() const { return _groups; }
    const std::vector<Node*>& getList() const { return _list; }
    int32_t getCoins() const { return _coins; }
    int32_t getTickets() const { return _tickets; }

    // ---- Fields ----
    Panel* _panel = nullptr;                   // not owned
    World* _menuWorld = nullptr;               // not owned
    PSParticleSystem* _particles = nullptr;    // not owned
    Scene* _scene = nullptr;                   // "Shop", in the menu world
    Object* _objectUp = nullptr;
    Object* _objectDown = nullptr;
    std::vector<Item*> _items;    // owned, creation order, tab headings included
    std::vector<Group*> _groups;  // owned
    std::vector<Node*> _list;     // not owned; display order, null is a separator

    // Presentation settings (angles in radians).
    float _spaceNode = 0;
    float _spaceSeparator = 1;
    float _pulseMin = 1;
    float _pulseMax = 1.02f;
    float _pulseSpeed = 8;
    float _faceAngle;
    float _faceAngleTop;
    float _faceAngleDown;
    float _angleStart = 0;
    float _angularVelocityDefault;
    float _angularVelocityMax;

    // Presentation state.
    Camera* _camera = nullptr;  // owned: the menu world's camera while the shop shows
    float _shopTime = 0;
    float _scroll = 0;  // how far the list is pushed up
    uint8_t _targetSet = 0;
    float _target = 0;
    int32_t _focus = -1;
    uint8_t _touching = 0;
    int32_t _dragMode = 0;  // DragNone, DragUndecided, DragSpin, DragScroll
    Vector3 _lastPoint;
    Vector3 _dragSum;
    Vector3 _dragVelocity;
    Node* _spunNode = nullptr;  // not owned
    enum DragMode { DragNone = 0, DragUndecided = 1, DragSpin = 2, DragScroll = 3 };

    Range _boosts, _characters, _trains, _skins, _bank;
    int32_t _ticketRow = 0;
    int32_t _characterIndex = -1, _trainIndex = -1, _skinIndex = -1;
    std::string _characterKey, _trainKey, _skinKey;
    int32_t _coins = 0;
    int32_t _tickets = 0;

private:
    void build(const Roster& roster);

    bool _built = false;
};

}  // namespace Zelvan
