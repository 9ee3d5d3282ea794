#pragma once
// The purchase bridge's platform-independent half: the product table that ties each product code
// to its identifier in the store, the one StoreManager that keeps the store's prices and hands
// every price and result to the registered IStoreHandlers, and the store actions the platform half
// implements (createInAppStore ... finishStoreTransaction, at the end of this header).
//
// Everything here runs on the main thread (the store delivers its answers there); nothing locks.
//
// Transactions. A payment the store completes (bought now, in an earlier run, or restored) stays
// open in the store until it is finished, and an open transaction is delivered again at every start
// until then. The store half therefore never finishes a delivered purchase itself: the handler that
// credits it calls StoreManager::finishTransaction once the credit is saved. A purchase nobody can
// credit (an unknown product, no handler) stays open and comes back at the next start.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// One row of the fixed product table.
struct StoreProduct {
    int32_t code;
    const char* id;

    // The first row with that code, or null.
    static const StoreProduct* findByCode(int32_t code);
    // The first row whose identifier has the same bytes (case matters), or null.
    static const StoreProduct* findById(const std::string& id);
    // Empties the map, then enters every row: code -> identifier.
    static void buildCodeMap(std::map<int32_t, std::string>& out);
};

// One purchase result as the store delivered it.
struct StoreTransaction {
    // The store's identifier of the transaction to finish once its credit is saved; empty when
    // there is nothing to finish (the purchase could not start, failed, is waiting for approval,
    // or names a product nobody can credit).
    std::string id;
    // Delivered by a restore: the original purchase of a once-only product coming back, not a new
    // payment. Only once-only products are to be credited from such a delivery.
    bool restored = false;
};

class IStoreHandler {
public:
    // Removes the handler from the StoreManager.
    virtual ~IStoreHandler();
    // A product's localized price became known ("0.99 USD").
    virtual void onProductInfo(int32_t code, const std::string& price);
    // A purchase ended. An empty text means success; a failed, cancelled or deferred payment
    // arrives with code -1 (a purchase that could not start keeps its product's code). When
    // `transaction.id` is not empty, credit the product and, once the credit is saved, call
    // StoreManager::instance().finishTransaction(transaction.id); a credit that could not be saved
    // is left unfinished, and the store delivers the purchase again at the next start (so the same
    // id can arrive more than once).
    virtual void onPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction& transaction);
    // Restoring ended; an empty text means success.
    virtual void onRestoreFinished(const std::string& text);
};

class StoreManager {
public:
    struct Product {
        std::string id;
        std::string price;
    };

    // The one manager, made on first use.
    static StoreManager& instance();

    // restoring = 0, prices known = 0; each product of the map gets its identifier and the price
    // text `pending` (other entries stay); then the platform store is made and asked for prices.
    void setProducts(const std::string& pending, const std::map<int32_t, std::string>& products);
    // Releases the platform store (its observer stops listening, so later transactions wait in the
    // store for the next start) and empties the products.
    void release();

    // A handler already registered stays where it is; otherwise it goes after every handler of
    // the same or a lower priority.
    void addHandler(IStoreHandler* handler, int32_t priority);
    void removeHandler(IStoreHandler* handler);
    bool hasHandler(const IStoreHandler* handler) const;

    // The product's price text, or an empty text for a code the manager does not hold.
    const std::string& findProduct(int32_t code) const;
    // The first code, in increasing order, whose identifier has the same bytes; -1 when none (and
    // for the empty identifier, which entries added for unknown codes carry).
    int32_t findCodeById(const std::string& id) const;

    // Called by the platform half.
    void setProductPrice(int32_t code, const std::string& price);
    void notifyPurchaseFinished(int32_t code, const std::string& text,
                                const StoreTransaction& transaction = StoreTransaction());
    void notifyRestoreFinished(const std::string& text);

    // Called by a handler once the purchase `id` is credited and saved: the store may forget it.
    // Ids the manager never delivered to its handlers are ignored.
    void finishTransaction(const std::string& id);
    // Transactions delivered to the handlers and not finished yet.
    const std::set<std::string>& openTransactions() const { return _open; }

    // The entry of a code, added (empty identifier and price) when missing.
    Product& product(int32_t code);
    const std::map<int32_t, Product>& products() const { return _products; }

    bool restoring() const { return _restoring != 0; }
    void setRestoring(bool restoring) { _restoring = restoring ? 1 : 0; }
    bool pricesKnown() const { return _pricesKnown != 0; }

private:
    StoreManager() = default;
    StoreManager(const StoreManager&) = delete;
    StoreManager& operator=(const StoreManager&) = delete;

    struct HandlerEntry {
        int32_t priority;
        IStoreHandler* handler;
    };
    // The handlers to call for one event: a copy, so that a handler may add or remove handlers
    // (itself included) while it is called; each is checked again before its call.
    std::vector<IStoreHandler*> handlersToCall() const;

    const std::string _noText;
    std::map<int32_t, Product> _products;
    std::vector<HandlerEntry> _handlers;
    uint8_t _restoring = 0;
    uint8_t _pricesKnown = 0;
    std::set<std::string> _open;
};

// ---- The platform half (the platform layer implements these) ----

// Makes the platform store object and its payment-queue observer (replacing an earlier one); the
// observer at once receives the transactions still open from earlier runs.
void createInAppStore();
// Removes the observer from the payment queue and releases the store object; nothing when none.
void releaseInAppStore();
// Asks the store for the prices of all the manager's products, unless prices are already known.
void queryStoreProducts(StoreManager& manager);
// Buys the product of the code (its entry is added when missing). A purchase that cannot start
// (no store object, payments disabled, no price list yet, unknown product) reports at once.
void startStorePurchase(StoreManager& manager, int32_t code);
// Sets the manager's restoring flag and asks the store to deliver the once-only products bought
// earlier; a restore that cannot start (no store object, payments disabled) ends at once.
void restoreStorePurchases(StoreManager& manager);
// Finishes an open transaction in the payment queue (StoreManager::finishTransaction calls it).
void finishStoreTransaction(const std::string& transactionId);
