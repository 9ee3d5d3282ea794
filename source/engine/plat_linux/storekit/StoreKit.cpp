#include "engine/plat_linux/storekit/StoreKit.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <fstream>
#include <map>
#include <sstream>

#include "engine/online/SafeFiles.h"
#include "engine/platform.h"
#include "engine/utils.h"

namespace storekit {

namespace {

const char* const kTransactionFile = "store_transactions.txt";
const char* const kDefaultProductFile = "store/products.txt";

using MutableTransaction = std::shared_ptr<Transaction>;

struct Store {
    std::string productFile;
    bool paymentsAllowed = true;
    bool queriesAnswered = true;
    PurchaseOutcome nextOutcome = PurchaseOutcome::Success;
    int nextErrorCode = ErrorUnknown;
    std::string restoreFailure;

    std::vector<PaymentTransactionObserver*> observers;
    // Open transactions, oldest first; failed ones are kept in memory only (nothing to deliver
    // again), the others are in the transaction file too.
    std::vector<MutableTransaction> open;
    // Once-only product -> the identifier of the transaction that bought it.
    std::map<std::string, std::string> owned;
    unsigned long long nextNumber = 1;
    // The transaction file the state above was read from; another path means another documents
    // folder, whose file is read before the next use.
    std::string loadedFrom;
    bool loaded = false;
    // Answers on their way belong to one generation of the store; a restart makes them void.
    unsigned generation = 0;
};

Store& store() {
    static Store s;
    return s;
}

const char* stateName(TransactionState state) {
    switch (state) {
        case TransactionPurchased: return "purchased";
        case TransactionRestored: return "restored";
        case TransactionDeferred: return "deferred";
        default: return nullptr;
    }
}

bool stateFromName(const std::string& name, TransactionState& state) {
    for (TransactionState s : {TransactionPurchased, TransactionRestored, TransactionDeferred})
        if (name == stateName(s)) {
            state = s;
            return true;
        }
    return false;
}

bool persistent(const Transaction& t) { return stateName(t.transactionState) != nullptr; }

// A product identifier or transaction identifier as the file keeps it: one word of printable ASCII.
bool isWord(const std::string& s) {
    if (s.empty() || s.size() > 200)
        return false;
    for (unsigned char c : s)
        if (c <= ' ' || c >= 127)
            return false;
    return true;
}

void save() {
    Store& s = store();
    std::ostringstream out;
    out << "# Open store transactions and the once-only products owned (store stand-in)\n";
    out << "next " << s.nextNumber << "\n";
    for (const auto& o : s.owned)
        out << "owned " << o.first << " " << o.second << "\n";
    for (const MutableTransaction& t : s.open) {
        if (!persistent(*t))
            continue;
        out << "open " << t->transactionIdentifier << " " << stateName(t->transactionState) << " "
            << t->payment.productIdentifier;
        if (t->originalTransaction)
            out << " " << t->originalTransaction->transactionIdentifier;
        out << "\n";
    }
    const std::string text = out.str();
    if (!writeFileDurably(s.loadedFrom, text.data(), text.size()))
        Logger::error("[StoreKit] could not write the transaction file '%s'", s.loadedFrom.c_str());
}

void load(const std::string& path) {
    Store& s = store();
    s.open.clear();
    s.owned.clear();
    s.nextNumber = 1;
    s.loadedFrom = path;
    s.loaded = true;
    ++s.generation;
    std::ifstream in(path);
    if (!in)
        return;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream words(line);
        std::string kind;
        if (!(words >> kind) || kind[0] == '#')
            continue;
        std::string a, b, c, d, extra;
        words >> a >> b >> c >> d >> extra;
        bool ok = false;
        if (kind == "next") {
            char* end = nullptr;
            unsigned long long n = std::strtoull(a.c_str(), &end, 10);
            ok = !a.empty() && *end == 0 && b.empty();
            if (ok)
                s.nextNumber = std::max(s.nextNumber, n);
        } else if (kind == "owned") {
            ok = isWord(a) && isWord(b) && c.empty();
            if (ok)
                s.owned[a] = b;
        } else if (kind == "open") {
            TransactionState state;
            ok = isWord(a) && stateFromName(b, state) && isWord(c) && extra.empty() &&
                 (state == TransactionRestored ? isWord(d) : d.empty());
            if (ok) {
                auto t = std::make_shared<Transaction>();
                t->transactionIdentifier = a;
                t->transactionState = state;
                t->payment.productIdentifier = c;
                if (state == TransactionRestored) {
                    auto original = std::make_shared<Transaction>();
                    original->transactionIdentifier = d;
                    original->transactionState = TransactionPurchased;
                    original->payment.productIdentifier = c;
                    t->originalTransaction = original;
                }
                s.open.push_back(t);
            }
        }
        if (!ok)
            Logger::error("[StoreKit] %s:%d: line not understood, skipped: %s", path.c_str(), lineNo, line.c_str());
    }
}

Store& loadedStore() {
    Store& s = store();
    std::string path = transactionFilePath();
    if (!s.loaded || path != s.loadedFrom)
        load(path);
    return s;
}

std::string newTransactionId() {
    Store& s = store();
    return formatString("%lld.%llu", (long long)std::time(nullptr), s.nextNumber++);
}

bool isObserver(PaymentTransactionObserver* o) {
    const auto& list = store().observers;
    return std::find(list.begin(), list.end(), o) != list.end();
}

// Runs `deliver` for every observer registered when the answer arrives.
template <typename F>
void postToObservers(F deliver) {
    unsigned generation = store().generation;
    postMainThreadTask([generation, deliver]() {
        Store& s = store();
        if (s.generation != generation)
            return;
        std::vector<PaymentTransactionObserver*> list = s.observers;
        for (PaymentTransactionObserver* o : list)
            if (isObserver(o))
                deliver(*o);
    });
}

void deliverUpdate(const std::vector<TransactionPtr>& transactions) {
    postToObservers([transactions](PaymentTransactionObserver& o) {
        o.paymentQueueUpdatedTransactions(PaymentQueue::defaultQueue(), transactions);
    });
}

const Product* findProduct(const std::vector<Product>& products, const std::string& id) {
    for (const Product& p : products)
        if (p.productIdentifier == id)
            return &p;
    return nullptr;
}

// Splits a decimal text ("1234.5") into its whole and fraction digits; false when it is none.
bool splitDecimal(const std::string& text, std::string& whole, std::string& fraction) {
    size_t dot = text.find('.');
    whole = text.substr(0, dot);
    fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    if (whole.empty() && fraction.empty())
        return false;
    if (dot != std::string::npos && fraction.empty())
        return false;
    for (const std::string* part : {&whole, &fraction})
        for (char c : *part)
            if (!std::isdigit((unsigned char)c))
                return false;
    return whole.size() <= 30 && fraction.size() <= 30;
}

}  // namespace

// ---- NumberFormatter ----

std::string NumberFormatter::stringFromNumber(const std::string& decimal) const {
    std::string whole, fraction;
    if (!splitDecimal(decimal, whole, fraction))
        return std::string();
    // At most three fraction digits, rounded half up.
    if (fraction.size() > 3) {
        bool up = fraction[3] >= '5';
        fraction.resize(3);
        std::string digits = whole + fraction;
        for (size_t i = digits.size(); up && i-- > 0;) {
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                up = false;
            }
        }
        if (up)
            digits.insert(digits.begin(), '1');
        whole = digits.substr(0, digits.size() - 3);
        fraction = digits.substr(digits.size() - 3);
    }
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    size_t firstDigit = whole.find_first_not_of('0');
    whole = firstDigit == std::string::npos ? "0" : whole.substr(firstDigit);
    std::string out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0)
            out += locale.groupingSeparator;
        out += whole[i];
    }
    if (!fraction.empty()) {
        out += locale.decimalSeparator;
        out += fraction;
    }
    return out;
}

// ---- Products ----

void setProductFile(const std::string& path) { store().productFile = path; }

std::vector<Product> loadProducts() {
    std::string path = store().productFile;
    if (path.empty())
        getBundleDataPath(path, kDefaultProductFile);
    std::vector<Product> products;
    std::ifstream in(path);
    if (!in) {
        // A store that knows none of the products is a state the game handles (every purchase
        // reports the product as not found); tests with content of their own meet it often.
        Logger::message("[StoreKit] no product file '%s': the store sells nothing", path.c_str());
        return products;
    }
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::istringstream words(line);
        std::string id, price, currency, separator, kind, extra;
        if (!(words >> id) || id[0] == '#')
            continue;
        words >> price >> currency >> separator >> kind >> extra;
        std::string whole, fraction;
        bool currencyOk = currency.size() == 3 && std::all_of(currency.begin(), currency.end(),
                                                              [](char c) { return std::isupper((unsigned char)c); });
        bool ok = isWord(id) && splitDecimal(price, whole, fraction) && currencyOk &&
                  (separator == "." || separator == ",") &&
                  (kind.empty() || kind == "once" || kind == "consumable") && extra.empty();
        if (!ok) {
            Logger::error("[StoreKit] %s:%d: expected 'identifier price currency separator [once|consumable]', "
                          "skipped: %s", path.c_str(), lineNo, line.c_str());
            continue;
        }
        if (findProduct(products, id)) {
            Logger::error("[StoreKit] %s:%d: product '%s' listed twice, the first one counts", path.c_str(),
                          lineNo, id.c_str());
            continue;
        }
        Product p;
        p.productIdentifier = id;
        p.price = price;
        p.priceLocale.currencyCode = currency;
        p.priceLocale.decimalSeparator = separator[0];
        p.priceLocale.groupingSeparator = separator[0] == ',' ? '.' : ',';
        p.onceOnly = kind == "once";
        products.push_back(p);
    }
    return products;
}

void ProductsRequest::start() {
    if (!store().queriesAnswered)
        return;
    std::weak_ptr<ProductsRequest> self = shared_from_this();
    unsigned generation = store().generation;
    postMainThreadTask([self, generation]() {
        std::shared_ptr<ProductsRequest> request = self.lock();
        if (!request || !request->delegate || store().generation != generation)
            return;
        ProductsResponse response;
        std::vector<Product> all = loadProducts();
        for (const Product& p : all)
            if (request->_identifiers.count(p.productIdentifier))
                response.products.push_back(p);
        for (const std::string& id : request->_identifiers)
            if (!findProduct(all, id))
                response.invalidProductIdentifiers.push_back(id);
        request->delegate->productsRequestDidReceiveResponse(request.get(), response);
    });
}

// ---- PaymentQueue ----

PaymentQueue& PaymentQueue::defaultQueue() {
    static PaymentQueue queue;
    return queue;
}

bool PaymentQueue::canMakePayments() { return store().paymentsAllowed; }

void PaymentQueue::addTransactionObserver(PaymentTransactionObserver* observer) {
    Store& s = loadedStore();
    if (!observer || isObserver(observer))
        return;
    s.observers.push_back(observer);
    // The store hands a new observer what is still open: payments completed while nobody
    // listened, or delivered and never finished (the program ended first).
    unsigned generation = s.generation;
    postMainThreadTask([observer, generation]() {
        Store& st = store();
        if (st.generation != generation || !isObserver(observer))
            return;
        std::vector<TransactionPtr> pending;
        for (const MutableTransaction& t : st.open)
            if (t->transactionState == TransactionPurchased || t->transactionState == TransactionRestored)
                pending.push_back(t);
        if (!pending.empty())
            observer->paymentQueueUpdatedTransactions(PaymentQueue::defaultQueue(), pending);
    });
}

void PaymentQueue::removeTransactionObserver(PaymentTransactionObserver* observer) {
    auto& list = store().observers;
    list.erase(std::remove(list.begin(), list.end(), observer), list.end());
}

void PaymentQueue::addPayment(const Payment& payment) {
    Store& s = loadedStore();
    PurchaseOutcome outcome = s.nextOutcome;
    int errorCode = s.nextErrorCode;
    s.nextOutcome = PurchaseOutcome::Success;
    s.nextErrorCode = ErrorUnknown;
    if (!s.paymentsAllowed) {
        outcome = PurchaseOutcome::Error;
        errorCode = ErrorPaymentNotAllowed;
    }
    unsigned generation = s.generation;
    postMainThreadTask([payment, outcome, errorCode, generation]() {
        Store& st = store();
        if (st.generation != generation)
            return;
        std::vector<Product> products = loadProducts();
        const Product* product = findProduct(products, payment.productIdentifier);
        auto t = std::make_shared<Transaction>();
        t->transactionIdentifier = newTransactionId();
        t->payment = payment;
        PurchaseOutcome result = product ? outcome : PurchaseOutcome::Error;
        switch (result) {
            case PurchaseOutcome::Success:
                t->transactionState = TransactionPurchased;
                if (product->onceOnly)
                    st.owned.emplace(payment.productIdentifier, t->transactionIdentifier);
                break;
            case PurchaseOutcome::Deferred:
                t->transactionState = TransactionDeferred;
                break;
            case PurchaseOutcome::Cancel:
                t->transactionState = TransactionFailed;
                t->error = Error{ErrorPaymentCancelled, "Cancelled"};
                break;
            case PurchaseOutcome::Error:
                t->transactionState = TransactionFailed;
                t->error = product ? Error{errorCode, "Payment failed"}
                                   : Error{ErrorPaymentInvalid, "Unknown product identifier"};
                break;
        }
        st.open.push_back(t);
        // The payment is on the disk before anyone hears of it.
        save();
        for (PaymentTransactionObserver* o : std::vector<PaymentTransactionObserver*>(st.observers))
            if (isObserver(o))
                o->paymentQueueUpdatedTransactions(PaymentQueue::defaultQueue(), {t});
    });
}

void PaymentQueue::restoreCompletedTransactions() {
    Store& s = loadedStore();
    std::string failure = s.restoreFailure;
    if (failure.empty() && !s.paymentsAllowed)
        failure = "Payments are not allowed on this device.";
    unsigned generation = s.generation;
    postMainThreadTask([failure, generation]() {
        Store& st = store();
        if (st.generation != generation)
            return;
        if (!failure.empty()) {
            Error error{ErrorUnknown, failure};
            for (PaymentTransactionObserver* o : std::vector<PaymentTransactionObserver*>(st.observers))
                if (isObserver(o))
                    o->paymentQueueRestoreCompletedTransactionsFailedWithError(PaymentQueue::defaultQueue(), error);
            return;
        }
        // One restored transaction a once-only product owned; one still open from an earlier
        // restore is delivered again in its place.
        std::vector<TransactionPtr> restored;
        for (const auto& o : st.owned) {
            MutableTransaction found;
            for (const MutableTransaction& t : st.open)
                if (t->transactionState == TransactionRestored && t->payment.productIdentifier == o.first)
                    found = t;
            if (!found) {
                found = std::make_shared<Transaction>();
                found->transactionIdentifier = newTransactionId();
                found->transactionState = TransactionRestored;
                found->payment.productIdentifier = o.first;
                auto original = std::make_shared<Transaction>();
                original->transactionIdentifier = o.second;
                original->transactionState = TransactionPurchased;
                original->payment.productIdentifier = o.first;
                found->originalTransaction = original;
                st.open.push_back(found);
            }
            restored.push_back(found);
        }
        if (!restored.empty())
            save();
        for (PaymentTransactionObserver* o : std::vector<PaymentTransactionObserver*>(st.observers)) {
            if (!isObserver(o))
                continue;
            if (!restored.empty())
                o->paymentQueueUpdatedTransactions(PaymentQueue::defaultQueue(), restored);
            if (isObserver(o))
                o->paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue::defaultQueue());
        }
    });
}

void PaymentQueue::finishTransaction(const Transaction& transaction) {
    Store& s = loadedStore();
    for (auto it = s.open.begin(); it != s.open.end(); ++it) {
        if ((*it)->transactionIdentifier != transaction.transactionIdentifier)
            continue;
        if ((*it)->transactionState == TransactionDeferred) {
            Logger::error("[StoreKit] transaction %s is waiting for approval and cannot be finished",
                          transaction.transactionIdentifier.c_str());
            return;
        }
        bool wasSaved = persistent(**it);
        s.open.erase(it);
        if (wasSaved)
            save();
        return;
    }
}

std::vector<TransactionPtr> PaymentQueue::transactions() const {
    Store& s = loadedStore();
    return std::vector<TransactionPtr>(s.open.begin(), s.open.end());
}

// ---- Controls ----

void setPaymentsAllowed(bool allowed) { store().paymentsAllowed = allowed; }
void setQueriesAnswered(bool answered) { store().queriesAnswered = answered; }

void setNextPurchaseOutcome(PurchaseOutcome outcome, int errorCode) {
    store().nextOutcome = outcome;
    store().nextErrorCode = errorCode;
}

void setRestoreFailure(const std::string& text) { store().restoreFailure = text; }

void approveDeferredPayments() {
    Store& s = loadedStore();
    std::vector<Product> products = loadProducts();
    std::vector<TransactionPtr> approved;
    for (MutableTransaction& t : s.open) {
        if (t->transactionState != TransactionDeferred)
            continue;
        // A new object: observers may still hold the deferred one.
        auto bought = std::make_shared<Transaction>(*t);
        bought->transactionState = TransactionPurchased;
        const Product* product = findProduct(products, bought->payment.productIdentifier);
        if (product && product->onceOnly)
            s.owned.emplace(bought->payment.productIdentifier, bought->transactionIdentifier);
        t = bought;
        approved.push_back(bought);
    }
    if (approved.empty())
        return;
    save();
    deliverUpdate(approved);
}

std::set<std::string> ownedProducts() {
    std::set<std::string> out;
    for (const auto& o : loadedStore().owned)
        out.insert(o.first);
    return out;
}

std::string transactionFilePath() {
    std::string path;
    getDocumentsPath(path, kTransactionFile);
    return path;
}

void restart() {
    Store& s = store();
    s.paymentsAllowed = true;
    s.queriesAnswered = true;
    s.nextOutcome = PurchaseOutcome::Success;
    s.nextErrorCode = ErrorUnknown;
    s.restoreFailure.clear();
    s.observers.clear();
    load(transactionFilePath());
}

}  // namespace storekit
