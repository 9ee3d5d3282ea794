#pragma once
// A small stand-in for the platform's in-app store framework: products and their prices, a
// products request, the default payment queue with its transactions and observers, and the number
// formatter the price texts are made with. The platform layer's store code
// (source/engine/plat_iphone/store) is written against it.
//
// The store it simulates:
// - products come from a product file (setProductFile; by default "store/products.txt" of the
//   bundle's data folder), one line a product: identifier, price (digits with '.'), currency code,
//   decimal separator of the price locale, and optionally "once" for a product bought once
//   (otherwise "consumable"); '#' starts a comment line;
// - switches for tests: payments allowed, queries answered, the next purchase's outcome, a restore
//   failure text; a deferred purchase waits until approveDeferredPayments;
// - every answer arrives on the main thread on a later turn of the run loop, through the main-thread
//   task queue (postMainThreadTask), as the store's own answers do;
// - transactions that were bought, restored or deferred stay open until finished; they are kept in
//   "store_transactions.txt" in the documents folder (replaced durably at every change), together
//   with the once-only products the player owns, so a transaction left open when the program is
//   killed is delivered again to the first observer of the next start;
// - a restore delivers one restored transaction for each once-only product owned, and nothing for
//   consumable products.
// Everything here runs on the main thread.

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace storekit {

struct Locale {
    std::string currencyCode;   // "USD"
    char decimalSeparator = '.';
    char groupingSeparator = ',';
};

struct Product {
    std::string productIdentifier;
    std::string price;  // the decimal number as written in the product file: "0.99"
    Locale priceLocale;
    bool onceOnly = false;
};

// Formats numbers for a locale, as the framework's formatter does with the 10.4 behaviour.
class NumberFormatter {
public:
    enum Style { DecimalStyle, CurrencyStyle };
    Style numberStyle = DecimalStyle;
    Locale locale;
    // The locale's currency code (the same in every style).
    std::string currencyCode() const { return locale.currencyCode; }
    // The number in the locale's decimal style: the whole part grouped by thousands, the fraction
    // rounded to at most three digits without trailing zeros ("1,234.5"). Empty for a text that is
    // no decimal number. (Only the decimal style's text is used; currency style differs in
    // currencyCode alone here.)
    std::string stringFromNumber(const std::string& decimal) const;
};

enum TransactionState {
    TransactionPurchasing = 0,
    TransactionPurchased = 1,
    TransactionFailed = 2,
    TransactionRestored = 3,
    TransactionDeferred = 4,
};

enum ErrorCode {
    ErrorUnknown = 0,
    ErrorClientInvalid = 1,
    ErrorPaymentCancelled = 2,
    ErrorPaymentInvalid = 3,
    ErrorPaymentNotAllowed = 4,
};

struct Error {
    int code = ErrorUnknown;
    std::string localizedDescription;
};

struct Payment {
    std::string productIdentifier;
};

struct Transaction {
    std::string transactionIdentifier;
    TransactionState transactionState = TransactionPurchasing;
    Payment payment;
    Error error;  // a failed transaction's error
    // A restored transaction's original purchase.
    std::shared_ptr<const Transaction> originalTransaction;
};
using TransactionPtr = std::shared_ptr<const Transaction>;

class PaymentQueue;

class PaymentTransactionObserver {
public:
    virtual ~PaymentTransactionObserver() {}
    virtual void paymentQueueUpdatedTransactions(PaymentQueue& queue, const std::vector<TransactionPtr>& transactions) = 0;
    virtual void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue& queue) { (void)queue; }
    virtual void paymentQueueRestoreCompletedTransactionsFailedWithError(PaymentQueue& queue, const Error& error) {
        (void)queue, (void)error;
    }
};

class PaymentQueue {
public:
    static PaymentQueue& defaultQueue();
    static bool canMakePayments();

    // A new observer is sent the open bought and restored transactions on a later turn.
    void addTransactionObserver(PaymentTransactionObserver* observer);
    // From now on the observer is never called, also for answers already on their way.
    void removeTransactionObserver(PaymentTransactionObserver* observer);
    void addPayment(const Payment& payment);
    void restoreCompletedTransactions();
    // Forgets an open transaction for good (a deferred one cannot be finished until it completes).
    void finishTransaction(const Transaction& transaction);
    // The open transactions, oldest first.
    std::vector<TransactionPtr> transactions() const;
};

struct ProductsResponse {
    std::vector<Product> products;  // in the order of the product file
    std::vector<std::string> invalidProductIdentifiers;
};

class ProductsRequest;

class ProductsRequestDelegate {
public:
    virtual ~ProductsRequestDelegate() {}
    virtual void productsRequestDidReceiveResponse(ProductsRequest* request, const ProductsResponse& response) = 0;
};

class ProductsRequest : public std::enable_shared_from_this<ProductsRequest> {
public:
    explicit ProductsRequest(const std::set<std::string>& productIdentifiers) : _identifiers(productIdentifiers) {}
    ProductsRequestDelegate* delegate = nullptr;
    // The answer comes on a later turn (never, while queries go unanswered), unless cancelled or
    // released first.
    void start();
    void cancel() { delegate = nullptr; }

private:
    std::set<std::string> _identifiers;
};

// ---- The simulation's controls ----

enum class PurchaseOutcome { Success, Cancel, Error, Deferred };

// The product file; an empty path goes back to the bundle's "store/products.txt".
void setProductFile(const std::string& path);
// The products of the product file (read at every call; bad lines are logged and skipped).
std::vector<Product> loadProducts();

void setPaymentsAllowed(bool allowed);
void setQueriesAnswered(bool answered);
// The outcome of the next payment only (then Success again); Error fails with the error code.
void setNextPurchaseOutcome(PurchaseOutcome outcome, int errorCode = ErrorUnknown);
// A non-empty text makes restores fail with that description.
void setRestoreFailure(const std::string& text);
// Completes every deferred payment as bought (delivered on a later turn).
void approveDeferredPayments();

// The once-only products the player owns.
std::set<std::string> ownedProducts();
// The file of open transactions in the current documents folder.
std::string transactionFilePath();

// Back to a fresh start of the program: the switches take their defaults, the observers are
// dropped, and the open transactions and owned products are read again from the transaction file
// of the current documents folder. (The stand-in also reads them again by itself whenever the
// documents folder changed.)
void restart();

}  // namespace storekit
