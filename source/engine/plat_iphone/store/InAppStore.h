#pragma once
// The platform half of the purchase bridge: asks the store for the products' localized prices,
// starts payments and restores, watches the payment queue, and reports every price and result to
// the StoreManager (engine/online/StoreManager.h), which implements nothing of the store itself.
// The store actions the game calls (createInAppStore ... finishStoreTransaction) are declared in
// StoreManager.h and defined here. Everything runs on the main thread.
//
// A bought or restored transaction is reported with its identifier and left open: the handler that
// credits it finishes it through the StoreManager once the credit is saved. A failed transaction
// carries nothing to credit and is finished at once; a deferred one ends the waiting purchase with
// code -1 and kWaitingForApprovalText and comes back as bought once it is approved.

#include <memory>
#include <string>
#include <vector>

#include "engine/plat_linux/storekit/StoreKit.h"

// The texts a purchase ends with.
extern const char* const kPurchaseDisabledText;     // payments disabled on the device
extern const char* const kStoreUnreachableText;     // no product list (or no store object)
extern const char* const kProductNotFoundText;      // the product is not in the product list
extern const char* const kWaitingForApprovalText;   // a deferred payment
// The text for a failed payment's error code.
const char* storeErrorText(int errorCode);

// The product's price as shown in the bank: the number in the locale's decimal style, a blank and
// the currency code ("0,99 EUR").
std::string priceLocalized(const storekit::Product& product);

class StoreObserver : public storekit::PaymentTransactionObserver {
public:
    void paymentQueueUpdatedTransactions(storekit::PaymentQueue& queue,
                                         const std::vector<storekit::TransactionPtr>& transactions) override;
    void paymentQueueRestoreCompletedTransactionsFinished(storekit::PaymentQueue& queue) override;
    void paymentQueueRestoreCompletedTransactionsFailedWithError(storekit::PaymentQueue& queue,
                                                                 const storekit::Error& error) override;

    void complete(const storekit::Transaction& transaction);
    void restore(const storekit::Transaction& transaction);
    void failed(const storekit::Transaction& transaction);
    void deferred(const storekit::Transaction& transaction);
};

class InAppStore : public storekit::ProductsRequestDelegate {
public:
    enum LookupError { ErrorNone = -1, ErrorDisabled = 0, ErrorNoProductList = 1, ErrorNotFound = 2 };

    // Sets the fields up and adds the observer to the default payment queue.
    InAppStore* initStore();
    // Removes the observer from the payment queue and drops a request still running.
    ~InAppStore() override;

    void queryProducts(const std::vector<std::string>& identifiers);
    void productsRequestDidReceiveResponse(storekit::ProductsRequest* request,
                                           const storekit::ProductsResponse& response) override;
    // The product of the last price answer with that identifier; null with the reason in error().
    const storekit::Product* getProduct(const std::string& identifier);
    void startPurchase(const std::string& identifier);
    void restorePurchases();

    int error() const { return _error; }
    bool productsList() const { return _productsList; }
    const std::vector<storekit::Product>& products() const { return _products; }
    const StoreObserver* observer() const { return _observer.get(); }

private:
    std::vector<storekit::Product> _products;
    int _error = ErrorNone;
    bool _productsList = false;
    std::unique_ptr<StoreObserver> _observer;
    std::shared_ptr<storekit::ProductsRequest> _request;
};

// The store object made by createInAppStore, null before it and after releaseInAppStore.
InAppStore* inAppStore();
