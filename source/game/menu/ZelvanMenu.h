#pragma once
// The menu controller: the one owner of every screen. It keeps the panel container "menu" with
// all panels, one behaviour (extension) per screen, a small world of menu actors with its particle
// system, and the list of named events that page buttons bind to. Which panel is on screen is
// decided here alone, through a queue of waiting panels and a back history of panel names; it
// also shows the shared message box, colours progress bars and turns the game's moments (entering
// the main menu, starting, restarting, continuing and pausing a run) into panel changes.
//
// The stage creates it once while it starts and drives it every frame. Main thread only.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "engine/math.h"
#include "engine/online/StoreManager.h"
#include "engine/render/PSParticleSystem.h"
#include "engine/services.h"
#include "engine/ui/UiEvent.h"

class Panel;
class View;
class World;

namespace Zelvan {

class MenuCreditsExt;
class MenuHudExt;
class MenuLoaderExt;
class MenuMainExt;
class MenuMapExt02;
class MenuMissionExt;
class MenuOptionsExt;
class MenuPauseExt;
class MenuResultsExt;
class MenuReviveExt;
class MenuShopExt;
class MenuSurpriseExt;
class MenuTutorialExt;
class MenuWorldExt;
class PanelContainer;

// The names of the menu's events, in the order of the event list (page files bind by these).
#define ZELVAN_MENU_EVENTS(X)                                                                                   \
    X(onTutorialStart) X(onMainStart) X(onMainOptions) X(onMainShop) X(onMainShopSelectCharacters)             \
    X(onMainShopSelectTrains) X(onMainMap) X(onMainMissions) X(onMapBack) X(onMapTicket) X(onMapStart)          \
    X(onMapSelect) X(onMapSelectLeft) X(onMapSelectRight) X(onMissionBack) X(onOptionsMusic) X(onOptionsSFX)    \
    X(onOptionsTutorial) X(onOptionsGamecenter) X(onOptionsFacebook) X(onOptionsTwitter) X(onOptionsMorefun)    \
    X(onOptionsKavelWeb) X(onOptionsRestorePurchases) X(onOptionsCredits) X(onOptionsBack) X(onCreditsBack)     \
    X(onShopCoin2) X(onShopTicket2) X(onShopItem) X(onShopBank) X(onShopSelectBoosts)                           \
    X(onShopSelectCharacters) X(onShopSelectTrains) X(onShopSelectSkin) X(onShopSelectBank) X(onShopBack)       \
    X(onMessageYes) X(onMessageOk) X(onMessageNo) X(onHudPause) X(onHudRecord) X(onHudPlayerSelect)            \
    X(onHudDebug) X(onReviveVideo) X(onReviveCoins) X(onReviveNo) X(onSurpriseboxOpen) X(onResultsCoin2)       \
    X(onResultsMap) X(onResultsMissions) X(onResultsRestart) X(onResultsShop) X(onResultsExit)                 \
    X(onResultsTwitter) X(onResultsPlayback) X(onResultsFacebook) X(onPauseBack) X(onPauseResume)              \
    X(onPauseExit) X(onPauseRestart)

class Menu : private UiEventHandler,
             public IStoreHandler,
             public VungleHandler,
             public LeadBoltHandler,
             public IEveryPlayEventHandler {
public:
    // A named action of the menu; it holds the menu it acts on.
    class MenuEvent : public UiEvent {
    public:
        MenuEvent(const char* eventName, Menu* menu) : UiEvent(eventName), _menu(menu) {}
        Menu* _menu;
    };
#define ZELVAN_MENU_EVENT_CLASS(event)                                        \
    class event##Event : public MenuEvent {                                   \
    public:                                                                   \
        explicit event##Event(Menu* menu) : MenuEvent(#event, menu) {}       \
        void execute(View* view) override;                                    \
    };
    ZELVAN_MENU_EVENTS(ZELVAN_MENU_EVENT_CLASS)
#undef ZELVAN_MENU_EVENT_CLASS

    // Gives the menu world's released emitters to the menu actors that hold them.
    class ParticleEvent : public IPSEventHandler {
    public:
        void onEmitterReleased(PSEmitter* emitter, PSParticleSystem* system) override;
        Menu* _menu = nullptr;
    };

    // One panel on screen (the front of the queue) or waiting to replace it.
    struct PanelEntry {
        Panel* panel = nullptr;
        bool back = false;
    };

    // What an answer of the message box calls with the answer (1 for OK and Yes, 0 for No): a
    // member operation of the menu (&Menu::closeMessage) or any callable taking the menu.
    typedef std::function<void(Menu*, int32_t)> MessageAnswer;
    // What runs when the rewarded video closes.
    typedef std::function<void(Menu*)> Action;

    enum MessageKind { MessageNoButtons = 0, MessageOk = 1, MessageYesNo = 2 };

    static Menu* create();
    ~Menu() override;
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // ---- Loading (the loader's steps) ----
    void loadConfig(const std::string& prefix);
    void loadTitle();
    void loadPanels();

    // ---- Panels ----
    // False when there is no container or no panel of that name (nothing queued).
    bool showPanel(const std::string& name, bool back);
    bool goToPanel(const std::string& name, bool back);
    bool goBack(bool back);
    bool dropHistory();
    // Caption and text are translated already; they are used as formats.
    void showMessage(int32_t kind, const std::string& caption, const std::string& text, MessageAnswer answer);
    // The answer that only returns to where the message came from.
    void closeMessage(int32_t answer);
    // Fill and colour value in percent.
    void setProgressBar(Panel* panel, const std::string& itemName, float fill, float colourValue);
    // The colour of a progress bar at a colour value in percent: red at 0, yellow at 50, green
    // at 100 and above.
    Vector4 progressColour(float colourValue) const;

    // ---- Per frame ----
    void touchBegan(int32_t finger, const Vector3& point);
    void touchMoved(int32_t finger, const Vector3& point);
    void touchEnded(int32_t finger, const Vector3& point);
    void update(float dt);
    // A panel change is under way: the front panel waits to leave or the next one to come.
    bool isChangePending() const { return _panelQueue.size() >= 2; }

    // ---- Run flow ----
    void enterMainMenu();
    void startRun();
    void restartRun();
    void continueRun();
    void pauseRun();
    void startTutorial();
    // The crash countdown of a run has run out: revive, surprise box and results, as they apply.
    void showRunEnd();
    // Moves the run's distance, coins and tickets into the totals (coins and tickets rounded half
    // up) and saves the profile. What was moved is cleared, so calling it again moves nothing.
    void collectRunGoods();

    // ---- Revive ----
    // Pays the revive price, the bank first and the run's coins for the rest; false (nothing
    // paid) when both together do not reach it.
    bool payRevive();
    void reviveByCoins();
    void onReviveCoinsAnswer(int32_t answer);
    void reviveByVideo();
    // The revive offer declined ("onReviveNo"): the countdown stops and the next run-end screen
    // follows.
    void declineRevive();
    // A rewarded video is cached and ready to play.
    bool isVideoCached() const;
    // A revive video plays: until it closes the revive buttons do nothing (the revive is decided).
    bool isVideoPending() const { return static_cast<bool>(_afterVideo); }

    // ---- Main menu, map and tutorial ----
    // The main menu's start: counts towards the rating question, then the map or the question.
    void onMainStart();
    void onRateGameAnswer(int32_t answer);
    void openShopCharacters();
    void openShopTrains();
    void startFromMap();
    void travelToContinent();
    void onNoTicketAnswer(int32_t answer);
    void replayTutorial();

    // ---- Shop and store purchases ----
    void buyShopItem(View* view);
    void buyBankItem(View* view);
    void onBuyItemAnswer(int32_t answer);
    void restorePurchases();
    void onProductInfo(int32_t code, const std::string& price) override;
    void onPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction& transaction) override;
    void onRestoreFinished(const std::string& text) override;
    // A bank purchase of the shop waiting for the store: the row touched and its product's code.
    // Only the store's final answer for that code (or a failure) ends it; whatever else the store
    // delivers meanwhile is credited by its own product code.
    struct PendingPurchase {
        View* view = nullptr;
        int32_t code = 0;
    };
    // A purchase the store delivered before the profile could take credits.
    struct WaitingCredit {
        int32_t code = 0;
        StoreTransaction transaction;
    };
    // Credits one purchase the store delivered: to the row given when it sells the product, else
    // to the catalogue's entry of the product. A transaction is credited once (the profile keeps
    // its id) and finished once the credit is saved; one that cannot be credited yet waits (before
    // the profile is loaded) or stays open in the store. True when something was credited.
    bool creditPurchase(int32_t code, const StoreTransaction& transaction, View* row);
    // Credits the purchases that waited for the profile; nothing while it cannot take credits.
    void creditWaitingPurchases();

    // ---- Gameplay recording (the platform may not support it: then nothing starts) ----
    bool isRecordingSupported() const;
    void startRecording();
    void pauseRecording();
    void resumeRecording();
    void stopRecording();
    // Stops a running recording and shows the last one when there is one.
    void playLastRecording();

    // ---- Sharing the run's distance ----
    void shareFacebook();
    void shareTwitter();

    // ---- Platform service callbacks ----
    void onVideoClosed() override;
    void onAdShown() override;
    void onAdClosed() override;
    void onAdFailed() override;
    void onOverlayShown() override;
    void onOverlayHidden() override;

    // ---- Advertising (nothing while advertising is off) ----
    // The banner at the bottom of the screen. A screen shows it with itself as the holder and lets
    // go of it when it has left; the banner goes only when no screen holds it any more, because the
    // next screen shows before the last one has left. Hiding without a holder hides at once and
    // whatever the switch says: the no-ads purchase turns advertising off while the banner may be
    // on screen.
    void showBanner(const void* holder = nullptr);
    void hideBanner(const void* holder = nullptr);
    // A cached interstitial, else an offer interstitial once.
    void showInterstitial();
    void hideInterstitial();

    // ---- Accessors ----
    // Off by configuration or once the player owns "zelvan_noads".
    bool isAdsEnabled() const;
    void setAdsEnabled(bool on) { _adsEnabled = on; }
    bool isRailsDebug() const { return _railsDebug; }
    void setRailsDebug(bool on) { _railsDebug = on; }
    // The interface world's text scale, which the game world copies.
    float getTextScale() const;
    const std::vector<UiEvent*>& getEvents() const { return events; }
    PanelContainer* getPanelContainer() const { return _panelContainer; }
    World* getMenuWorld() const { return _menuWorld; }
    PSParticleSystem* getParticles() const { return _particles; }
    // The name of the panel on screen; empty before the first.
    std::string currentPanelName() const;
    const std::deque<PanelEntry>& getPanelQueue() const { return _panelQueue; }
    const std::vector<std::string>& getHistory() const { return _history; }
    int32_t getCameraHandle() const { return _cameraHandle; }

    MenuLoaderExt* getLoaderExt() const { return _loaderExt; }
    MenuWorldExt* getWorldExt() const { return _worldExt; }
    MenuTutorialExt* getTutorialExt() const { return _tutorialExt; }
    MenuMainExt* getMainExt() const { return _mainExt; }
    MenuOptionsExt* getOptionsExt() const { return _optionsExt; }
    MenuCreditsExt* getCreditsExt() const { return _creditsExt; }
    MenuShopExt* getShopExt() const { return _shopExt; }
    MenuMapExt02* getMapExt() const { return _mapExt; }
    MenuMissionExt* getMissionExt() const { return _missionExt; }
    MenuHudExt* getHudExt() const { return _hudExt; }
    MenuReviveExt* getReviveExt() const { return _reviveExt; }
    MenuSurpriseExt* getSurpriseExt() const { return _surpriseExt; }
    MenuResultsExt* getResultsExt() const { return _resultsExt; }
    MenuPauseExt* getPauseExt() const { return _pauseExt; }

    // ---- Fields ----
    PanelContainer* _panelContainer = nullptr;
    World* _menuWorld = nullptr;
    PSParticleSystem* _particles = nullptr;  // made and destroyed through the menu world
    ParticleEvent _particleEvent;
    std::string _cameraName;
    std::string _musicFile;
    Vector4 _progressColour1{1, 0, 0, 1};
    Vector4 _progressColour2{1, 1, 0, 1};
    Vector4 _progressColour3{0, 1, 0, 1};
    MenuLoaderExt* _loaderExt = nullptr;
    MenuWorldExt* _worldExt = nullptr;
    MenuTutorialExt* _tutorialExt = nullptr;
    MenuMainExt* _mainExt = nullptr;
    MenuOptionsExt* _optionsExt = nullptr;
    MenuCreditsExt* _creditsExt = nullptr;
    MenuShopExt* _shopExt = nullptr;
    MenuMapExt02* _mapExt = nullptr;
    MenuMissionExt* _missionExt = nullptr;
    MenuHudExt* _hudExt = nullptr;
    MenuReviveExt* _reviveExt = nullptr;
    MenuSurpriseExt* _surpriseExt = nullptr;
    MenuResultsExt* _resultsExt = nullptr;
    MenuPauseExt* _pauseExt = nullptr;
    int32_t _cameraHandle = 0;
    std::deque<PanelEntry> _panelQueue;
    std::vector<std::string> _history;
    View* _purchaseView = nullptr;  // the row of an open buy question (coins)
    PendingPurchase _pendingPurchase;
    std::vector<WaitingCredit> _waitingCredits;
    bool _restoreWaiting = false;  // the restore message is up
    MessageAnswer _messageAnswer;
    bool _adsEnabled = true;
    bool _tutorialDue = true;
    int32_t _rateGameNum = 5;
    int32_t _startCount = 0;
    bool _reviveAvailable = true;
    bool _offerShown = false;
    std::vector<const void*> _bannerHolders;
    bool _recording = false;
    bool _recordingPaused = false;
    bool _recordingAvailable = false;
    Action _afterVideo;
    bool _railsDebug = false;

#define ZELVAN_MENU_EVENT_MEMBER(event) event##Event _##event{this};
    ZELVAN_MENU_EVENTS(ZELVAN_MENU_EVENT_MEMBER)
#undef ZELVAN_MENU_EVENT_MEMBER

private:
    // What starting and restarting a run share: the menu camera goes and the HUD is made ready.
    void prepareNewRun();
    Menu();
    void init();
    // Calls the stored answer once: it is taken and cleared first, so an answer that shows a new
    // message keeps that message's answer.
    void answerMessage(int32_t answer);
    // Shows a panel now and notes the screen change.
    void presentPanel(const PanelEntry& entry);
    // Clears the control's input edges, so the touch that changed the panel does not act again.
    void resetInputEdges();
    // Lets the panels know whether a change is pending (views then take no touches).
    void updateTouchGate();
};

}  // namespace Zelvan
