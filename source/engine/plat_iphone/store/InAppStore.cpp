#include "engine/plat_iphone/store/InAppStore.h"

#include <set>
#include <utility>

#include "engine/online/StoreManager.h"
#include "engine/utils.h"

using storekit::PaymentQueue;

const char* const kPurchaseDisabledText = "Purchase is disabled on this device.";
const char* const kStoreUnreachableText = "Can't reach the App Store. Please check connection.";
const char* const kProductNotFoundText = "Product was not found in the App Store. Please check connection.";
const char* const kWaitingForApprovalText = "The purchase is waiting for approval.";

const char* storeErrorText(int errorCode) {
    switch (errorCode) {
        case storekit::ErrorClientInvalid: return "The client is not allowed to perform the action.";
        case storekit::ErrorPaymentCancelled: return "The user cancelled the payment request.";
        case storekit::ErrorPaymentInvalid: return "A payment parameter was not recognized by the App Store.";
        case storekit::ErrorPaymentNotAllowed: return "The user is not allowed to authorize payments.";
        default: return "Unknown or unexpected error occured.";
    }
}

std::string priceLocalized(const storekit::Product& product) {
    storekit::NumberFormatter formatter;
    formatter.numberStyle = storekit::NumberFormatter::CurrencyStyle;
    formatter.locale = product.priceLocale;
    std::string currency = formatter.currencyCode();
    formatter.numberStyle = storekit::NumberFormatter::DecimalStyle;
    std::string number = formatter.stringFromNumber(product.price);
    return formatString("%s %s", number.c_str(), currency.c_str());
}

namespace {

std::unique_ptr<InAppStore> g_store;

// True while the observer is the one the live store object listens with; a handler may release
// the store in the middle of a delivery, and what is left of it then waits in the queue.
bool listening(const StoreObserver* observer) {
    return g_store && g_store->observer() == observer;
}

}  // namespace

InAppStore* inAppStore() { return g_store.get(); }

// ---- The store actions the game calls ----

void createInAppStore() {
    if (g_store) {
        Logger::message("[InAppStore] a store object exists already: it is replaced");
        g_store.reset();
    }
    g_store.reset(new InAppStore());
    g_store->initStore();
}

void releaseInAppStore() {
    g_store.reset();
}

void queryStoreProducts(StoreManager& manager) {
    if (manager.pricesKnown() || !g_store)
        return;
    std::vector<std::string> identifiers;
    for (const auto& entry : manager.products())
        if (!entry.second.id.empty())
            identifiers.push_back(entry.second.id);
    g_store->queryProducts(identifiers);
}

void startStorePurchase(StoreManager& manager, int32_t code) {
    std::string identifier = manager.product(code).id;
    if (!g_store) {
        // Nobody would ever answer: the purchase ends now, as when the store cannot be reached.
        manager.notifyPurchaseFinished(manager.findCodeById(identifier), kStoreUnreachableText);
        return;
    }
    g_store->startPurchase(identifier);
    // The purchase could not start because no price list came (or payments were off when it was
    // asked for): ask again, so that the next attempt can succeed once the store answers.
    if (g_store && !manager.pricesKnown() &&
        (g_store->error() == InAppStore::ErrorNoProductList || g_store->error() == InAppStore::ErrorDisabled))
        queryStoreProducts(manager);
}

void restoreStorePurchases(StoreManager& manager) {
    manager.setRestoring(true);
    if (!g_store) {
        manager.notifyRestoreFinished(kStoreUnreachableText);
        return;
    }
    g_store->restorePurchases();
}

void finishStoreTransaction(const std::string& transactionId) {
    PaymentQueue& queue = PaymentQueue::defaultQueue();
    for (const storekit::TransactionPtr& t : queue.transactions())
        if (t->transactionIdentifier == transactionId) {
            queue.finishTransaction(*t);
            return;
        }
}

// ---- InAppStore ----

InAppStore* InAppStore::initStore() {
    _error = ErrorNone;
    _products.clear();
    _observer.reset(new StoreObserver());
    PaymentQueue::defaultQueue().addTransactionObserver(_observer.get());
    _productsList = false;
    return this;
}

InAppStore::~InAppStore() {
    // Transactions that arrive from now on stay open in the queue for the next store object,
    // instead of reaching a manager that can no longer say which product they are.
    if (_observer)
        PaymentQueue::defaultQueue().removeTransactionObserver(_observer.get());
    if (_request)
        _request->cancel();
}

void InAppStore::queryProducts(const std::vector<std::string>& identifiers) {
    _productsList = false;
    _error = ErrorNone;
    if (!PaymentQueue::canMakePayments()) {
        _error = ErrorDisabled;
        return;
    }
    if (_request)
        _request->cancel();
    _request = std::make_shared<storekit::ProductsRequest>(
        std::set<std::string>(identifiers.begin(), identifiers.end()));
    _request->delegate = this;
    _request->start();
}

void InAppStore::productsRequestDidReceiveResponse(storekit::ProductsRequest* request,
                                                   const storekit::ProductsResponse& response) {
    if (request != _request.get())
        return;
    _products = response.products;
    std::vector<std::pair<std::string, std::string>> prices;
    for (const storekit::Product& p : _products)
        prices.emplace_back(p.productIdentifier, priceLocalized(p));
    _request.reset();
    _productsList = true;
    // Handlers run last: one of them may release this store object.
    StoreManager& manager = StoreManager::instance();
    for (const auto& price : prices)
        manager.setProductPrice(manager.findCodeById(price.first), price.second);
}

const storekit::Product* InAppStore::getProduct(const std::string& identifier) {
    if (_error == ErrorDisabled)
        return nullptr;
    if (!_productsList) {
        _error = ErrorNoProductList;
        return nullptr;
    }
    for (const storekit::Product& p : _products)
        if (p.productIdentifier == identifier) {
            _error = ErrorNone;
            return &p;
        }
    _error = ErrorNotFound;
    return nullptr;
}

void InAppStore::startPurchase(const std::string& identifier) {
    const storekit::Product* product = getProduct(identifier);
    if (product && _error == ErrorNone && PaymentQueue::canMakePayments()) {
        PaymentQueue::defaultQueue().addPayment(storekit::Payment{product->productIdentifier});
        return;
    }
    const char* text = kPurchaseDisabledText;
    if (!product && _error == ErrorNoProductList)
        text = kStoreUnreachableText;
    else if (!product && _error == ErrorNotFound)
        text = kProductNotFoundText;
    StoreManager& manager = StoreManager::instance();
    manager.notifyPurchaseFinished(manager.findCodeById(identifier), text);
}

void InAppStore::restorePurchases() {
    if (PaymentQueue::canMakePayments()) {
        PaymentQueue::defaultQueue().restoreCompletedTransactions();
        return;
    }
    // Nothing would ever end the restore the player waits for.
    StoreManager::instance().notifyRestoreFinished(kPurchaseDisabledText);
}

// ---- StoreObserver ----

void StoreObserver::paymentQueueUpdatedTransactions(PaymentQueue&, const std::vector<storekit::TransactionPtr>& transactions) {
    for (const storekit::TransactionPtr& t : transactions) {
        if (!listening(this))
            return;
        switch (t->transactionState) {
            case storekit::TransactionPurchased: complete(*t); break;
            case storekit::TransactionFailed: failed(*t); break;
            case storekit::TransactionRestored: restore(*t); break;
            case storekit::TransactionDeferred: deferred(*t); break;
            default: break;
        }
    }
}

void StoreObserver::complete(const storekit::Transaction& transaction) {
    StoreManager& manager = StoreManager::instance();
    StoreTransaction delivered;
    delivered.id = transaction.transactionIdentifier;
    manager.notifyPurchaseFinished(manager.findCodeById(transaction.payment.productIdentifier), "", delivered);
}

void StoreObserver::restore(const storekit::Transaction& transaction) {
    StoreManager& manager = StoreManager::instance();
    const storekit::Transaction& original =
        transaction.originalTransaction ? *transaction.originalTransaction : transaction;
    StoreTransaction delivered;
    delivered.id = transaction.transactionIdentifier;
    delivered.restored = true;
    manager.notifyPurchaseFinished(manager.findCodeById(original.payment.productIdentifier), "", delivered);
}

void StoreObserver::failed(const storekit::Transaction& transaction) {
    StoreManager::instance().notifyPurchaseFinished(-1, storeErrorText(transaction.error.code));
    // A failed payment carries nothing to credit.
    PaymentQueue::defaultQueue().finishTransaction(transaction);
}

void StoreObserver::deferred(const storekit::Transaction&) {
    // Ends the wait; the payment stays open and arrives as bought once it is approved.
    StoreManager::instance().notifyPurchaseFinished(-1, kWaitingForApprovalText);
}

void StoreObserver::paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue&) {
    if (listening(this))
        StoreManager::instance().notifyRestoreFinished("");
}

void StoreObserver::paymentQueueRestoreCompletedTransactionsFailedWithError(PaymentQueue&, const storekit::Error& error) {
    if (listening(this))
        StoreManager::instance().notifyRestoreFinished(error.localizedDescription);
}
