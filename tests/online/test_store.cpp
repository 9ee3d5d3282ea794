// The purchase bridge over the store stand-in: the product table, handler order, price texts,
// purchases and their failures, deferred payments, restores, and transactions that survive a
// release of the store or the end of the program until a handler finishes them.

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "TestSupport.h"
#include "engine/online/StoreManager.h"
#include "engine/plat_iphone/store/InAppStore.h"
#include "engine/plat_linux/MainThreadQueue.h"
#include "engine/plat_linux/storekit/StoreKit.h"

using testsupport::LogCapture;
using testsupport::ScopedStores;
using testsupport::TempDir;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

// No "zelvan_donate": the store does not know it.
const char* const kProducts =
    "# fixture\n"
    "zelvan_pack_1        0.99    EUR ,\n"
    "zelvan_pack_2        1234.5  EUR ,\n"
    "zelvan_pack_3        4.99    USD .\n"
    "zelvan_pack_4        9.99    USD . consumable\n"
    "zelvan_ticket        0.99    USD .\n"
    "zelvan_ticket_5      2.99    USD .\n"
    "zelvan_double_coins  2.99    USD . once\n"
    "zelvan_noads         1.99    USD . once\n";

struct Purchase {
    int code;
    std::string text;
    StoreTransaction transaction;
    std::thread::id thread;
};

// Records every event; credits a delivered purchase and finishes it (its credit "saved") unless
// told not to.
class Handler : public IStoreHandler {
public:
    explicit Handler(std::string name_ = "h", std::vector<std::string>* order_ = nullptr)
        : name(std::move(name_)), order(order_) {}
    void onProductInfo(int32_t code, const std::string& price) override {
        prices.emplace_back(code, price);
        if (order)
            order->push_back(name);
    }
    void onPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction& t) override {
        purchases.push_back(Purchase{code, text, t, std::this_thread::get_id()});
        if (code > 0 && text.empty() && !t.id.empty()) {
            credited.push_back(code);
            if (finish)
                StoreManager::instance().finishTransaction(t.id);
        }
        if (onPurchase)
            onPurchase();
    }
    void onRestoreFinished(const std::string& text) override { restores.push_back(text); }

    std::string name;
    std::vector<std::string>* order;
    bool finish = true;
    std::function<void()> onPurchase;
    std::vector<std::pair<int, std::string>> prices;
    std::vector<Purchase> purchases;
    std::vector<int> credited;
    std::vector<std::string> restores;
};

std::map<int32_t, std::string> productMap() {
    std::map<int32_t, std::string> m;
    StoreProduct::buildCodeMap(m);
    return m;
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::clearMainThreadTasks();
        StoreManager::instance().release();
        writeFile(docs.file("products.txt"), kProducts);
        storekit::setProductFile(docs.file("products.txt"));
        storekit::restart();
        StoreManager::instance().addHandler(&handler, 0);
    }
    void TearDown() override {
        StoreManager::instance().release();
        platform::clearMainThreadTasks();
        storekit::setProductFile("");
        storekit::restart();
    }
    // One turn of the run loop.
    void frame(int n = 1) {
        for (int i = 0; i < n; ++i)
            platform::runMainThreadTasks();
    }
    // The store made and its prices answered, as after the load step.
    void startStore() {
        StoreManager::instance().setProducts("requesting...", productMap());
        frame();
    }
    std::vector<storekit::TransactionPtr> openTransactions() {
        return storekit::PaymentQueue::defaultQueue().transactions();
    }

    TempDir docs;
    ScopedStores stores{testsupport::contentDir(), docs.path()};
    Handler handler;
};

TEST(StoreProductTable, CodesIdentifiersAndLookups) {
    std::map<int32_t, std::string> m;
    m[7] = "stale";
    StoreProduct::buildCodeMap(m);
    std::vector<int32_t> codes;
    for (const auto& e : m)
        codes.push_back(e.first);
    EXPECT_EQ((std::vector<int32_t>{256, 512, 768, 1024, 1280, 1536, 2560, 2816, 3072}), codes);
    EXPECT_EQ("zelvan_double_coins", m[2560]);

    ASSERT_NE(nullptr, StoreProduct::findById("zelvan_ticket"));
    EXPECT_EQ(1280, StoreProduct::findById("zelvan_ticket")->code);
    EXPECT_EQ(1536, StoreProduct::findById("zelvan_ticket_5")->code);
    EXPECT_EQ(nullptr, StoreProduct::findById("Zelvan_Ticket"));
    EXPECT_EQ(nullptr, StoreProduct::findById("zelvan_ticket "));
    EXPECT_EQ(nullptr, StoreProduct::findById(""));
    ASSERT_NE(nullptr, StoreProduct::findByCode(2816));
    EXPECT_STREQ("zelvan_noads", StoreProduct::findByCode(2816)->id);
    EXPECT_EQ(nullptr, StoreProduct::findByCode(-1));
    EXPECT_EQ(nullptr, StoreProduct::findByCode(0x700));
}

TEST(StoreManagerHandlers, PriorityOrderAndRegistration) {
    StoreManager& m = StoreManager::instance();
    std::vector<std::string> order;
    Handler five("5", &order), zeroA("0a", &order), zeroB("0b", &order);
    m.addHandler(&five, 5);
    m.addHandler(&zeroA, 0);
    m.addHandler(&zeroB, 0);
    m.addHandler(&zeroA, 9);  // already there: stays where it is
    m.setProductPrice(256, "x");
    EXPECT_EQ((std::vector<std::string>{"0a", "0b", "5"}), order);

    m.removeHandler(&zeroA);
    m.removeHandler(&zeroA);  // absent: nothing
    order.clear();
    m.setProductPrice(256, "y");
    EXPECT_EQ((std::vector<std::string>{"0b", "5"}), order);
    {
        Handler gone("gone", &order);
        m.addHandler(&gone, 1);
    }  // its destructor takes it out
    order.clear();
    m.setProductPrice(256, "z");
    EXPECT_EQ((std::vector<std::string>{"0b", "5"}), order);
    m.release();
}

TEST(StoreManagerHandlers, RestoreFinishedClearsTheFlagWithoutHandlers) {
    StoreManager& m = StoreManager::instance();
    m.setRestoring(true);
    m.notifyRestoreFinished("");
    EXPECT_FALSE(m.restoring());
}

TEST(StoreManagerHandlers, HandlerRemovingItselfAndAnotherDuringAnEvent) {
    StoreManager& m = StoreManager::instance();
    Handler a("a"), b("b"), c("c");
    a.onPurchase = [&] {
        m.removeHandler(&a);
        m.removeHandler(&b);
    };
    m.addHandler(&a, 0);
    m.addHandler(&b, 1);
    m.addHandler(&c, 2);
    m.notifyPurchaseFinished(-1, "failed");
    EXPECT_EQ(1u, a.purchases.size());
    EXPECT_EQ(0u, b.purchases.size());
    EXPECT_EQ(1u, c.purchases.size());
}

TEST(StoreNumberFormatter, DecimalStyleForTheLocale) {
    storekit::NumberFormatter f;
    struct Case {
        const char* number;
        char decimal, grouping;
        const char* text;
    } cases[] = {
        {"0.99", '.', ',', "0.99"},      {"0.99", ',', '.', "0,99"},   {"1.00", '.', ',', "1"},
        {"1234.5", ',', '.', "1.234,5"}, {"1234567", '.', ',', "1,234,567"}, {"007.10", '.', ',', "7.1"},
        {"1999.9995", '.', ',', "2,000"}, {"0.0004", '.', ',', "0"},   {".5", '.', ',', "0.5"},
        {"1.", '.', ',', ""},            {"1.2.3", '.', ',', ""},      {"-1", '.', ',', ""},
        {"", '.', ',', ""},              {"12a", '.', ',', ""},
    };
    for (const Case& c : cases) {
        f.locale.decimalSeparator = c.decimal;
        f.locale.groupingSeparator = c.grouping;
        EXPECT_EQ(c.text, f.stringFromNumber(c.number)) << c.number;
    }
}

TEST_F(StoreTest, PricesArriveAsTextWithCurrencyOnALaterFrame) {
    StoreManager& m = StoreManager::instance();
    m.setProducts("requesting...", productMap());
    EXPECT_EQ("requesting...", m.findProduct(256));
    EXPECT_EQ("requesting...", m.findProduct(3072));
    EXPECT_EQ("", m.findProduct(0x700));
    EXPECT_FALSE(m.pricesKnown());
    EXPECT_TRUE(handler.prices.empty());

    frame();
    EXPECT_TRUE(m.pricesKnown());
    EXPECT_EQ("0,99 EUR", m.findProduct(256));
    EXPECT_EQ("1.234,5 EUR", m.findProduct(512));
    EXPECT_EQ("4.99 USD", m.findProduct(768));
    EXPECT_EQ("1.99 USD", m.findProduct(2816));
    EXPECT_EQ("requesting...", m.findProduct(3072));  // the store does not know it
    ASSERT_EQ(8u, handler.prices.size());
    EXPECT_EQ(std::make_pair(256, std::string("0,99 EUR")), handler.prices[0]);
    EXPECT_EQ(std::make_pair(2816, std::string("1.99 USD")), handler.prices[7]);

    // Known prices are not asked for again.
    queryStoreProducts(m);
    frame(2);
    EXPECT_EQ(8u, handler.prices.size());
}

TEST_F(StoreTest, SampleProductFileSellsEveryProduct) {
    storekit::setProductFile("");
    startStore();
    for (const auto& e : productMap())
        EXPECT_NE(std::string::npos, StoreManager::instance().findProduct(e.first).find(" USD")) << e.second;
}

TEST_F(StoreTest, BadProductLinesAreSkippedWithAMessage) {
    writeFile(docs.file("products.txt"),
              "zelvan_pack_1 0.99 EUR ,\n"
              "zelvan_pack_2 1,99 EUR ,\n"      // price with a comma
              "zelvan_pack_3 4.99 usd .\n"      // currency
              "zelvan_pack_4 9.99 USD ;\n"      // separator
              "zelvan_ticket 0.99 USD . twice\n"
              "zelvan_ticket_5\n"
              "zelvan_pack_1 5.00 USD .\n");   // listed twice
    LogCapture log;
    startStore();
    EXPECT_EQ(6u, log.errors().size()) << log.all();
    EXPECT_EQ("0,99 EUR", StoreManager::instance().findProduct(256));
    EXPECT_EQ("requesting...", StoreManager::instance().findProduct(512));
    EXPECT_EQ(1u, handler.prices.size());
}

TEST_F(StoreTest, PurchaseGivesOneAnswerOnTheMainThreadOnALaterFrame) {
    startStore();
    startStorePurchase(StoreManager::instance(), 256);
    EXPECT_TRUE(handler.purchases.empty());
    frame();
    ASSERT_EQ(1u, handler.purchases.size());
    const Purchase& p = handler.purchases[0];
    EXPECT_EQ(256, p.code);
    EXPECT_EQ("", p.text);
    EXPECT_FALSE(p.transaction.id.empty());
    EXPECT_FALSE(p.transaction.restored);
    EXPECT_EQ(std::this_thread::get_id(), p.thread);
    frame(3);
    EXPECT_EQ(1u, handler.purchases.size());
    // Credited and finished: nothing stays open, on the disk either.
    EXPECT_TRUE(openTransactions().empty());
    EXPECT_EQ(std::string::npos, readFile(storekit::transactionFilePath()).find("open "));
}

TEST_F(StoreTest, TransactionStaysOpenUntilTheHandlerFinishesIt) {
    handler.finish = false;
    startStore();
    startStorePurchase(StoreManager::instance(), 1280);
    frame();
    ASSERT_EQ(1u, handler.purchases.size());
    std::string id = handler.purchases[0].transaction.id;
    ASSERT_EQ(1u, openTransactions().size());
    EXPECT_EQ(id, openTransactions()[0]->transactionIdentifier);
    EXPECT_NE(std::string::npos, readFile(storekit::transactionFilePath()).find("open " + id + " purchased zelvan_ticket"));
    EXPECT_EQ(1u, StoreManager::instance().openTransactions().count(id));

    StoreManager::instance().finishTransaction("someone else's");
    EXPECT_EQ(1u, openTransactions().size());
    StoreManager::instance().finishTransaction(id);
    EXPECT_TRUE(openTransactions().empty());
    EXPECT_TRUE(StoreManager::instance().openTransactions().empty());
}

// Every way a purchase can fail ends the wait with exactly one answer.
TEST_F(StoreTest, EveryFailureEndsTheWait) {
    struct Case {
        const char* name;
        std::function<void()> beforeStart;     // before the store is made and asked for prices
        std::function<void()> beforePurchase;  // once the prices are in
        int32_t code;
        int expectCode;
        std::string expectText;
        bool later;  // answered on a later frame (else within the call)
    };
    using storekit::PurchaseOutcome;
    const std::string unreachable = "Can't reach the App Store. Please check connection.";
    const std::string notFound = "Product was not found in the App Store. Please check connection.";
    const std::string disabled = "Purchase is disabled on this device.";
    std::vector<Case> cases = {
        {"cancel", nullptr, [] { storekit::setNextPurchaseOutcome(PurchaseOutcome::Cancel); }, 256, -1,
         "The user cancelled the payment request.", true},
        {"error", nullptr, [] { storekit::setNextPurchaseOutcome(PurchaseOutcome::Error, storekit::ErrorPaymentInvalid); },
         256, -1, "A payment parameter was not recognized by the App Store.", true},
        {"unknown error", nullptr, [] { storekit::setNextPurchaseOutcome(PurchaseOutcome::Error, 77); }, 256, -1,
         "Unknown or unexpected error occured.", true},
        {"deferred", nullptr, [] { storekit::setNextPurchaseOutcome(PurchaseOutcome::Deferred); }, 256, -1,
         "The purchase is waiting for approval.", true},
        {"disabled at the query", [] { storekit::setPaymentsAllowed(false); }, nullptr, 512, 512, disabled, false},
        {"disabled after the query", nullptr, [] { storekit::setPaymentsAllowed(false); }, 512, 512, disabled, false},
        {"unknown to the store", nullptr, nullptr, 3072, 3072, notFound, false},
        {"unknown code", nullptr, nullptr, 0x700, -1, notFound, false},
        {"no price answer", [] { storekit::setQueriesAnswered(false); }, nullptr, 256, 256, unreachable, false},
        {"no store", nullptr, [] { StoreManager::instance().release(); }, 256, -1, unreachable, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        handler.purchases.clear();
        if (c.beforeStart)
            c.beforeStart();
        startStore();
        if (c.beforePurchase)
            c.beforePurchase();
        startStorePurchase(StoreManager::instance(), c.code);
        EXPECT_EQ(c.later ? 0u : 1u, handler.purchases.size());
        frame(3);
        ASSERT_EQ(1u, handler.purchases.size());
        EXPECT_EQ(c.expectCode, handler.purchases[0].code);
        EXPECT_EQ(c.expectText, handler.purchases[0].text);
        EXPECT_TRUE(handler.purchases[0].transaction.id.empty());
        EXPECT_TRUE(handler.credited.empty());
        TearDown();
    }
}

TEST_F(StoreTest, PurchaseWorksOnceTheStoreAnswersAfterAnUnansweredQuery) {
    storekit::setQueriesAnswered(false);
    startStore();
    startStorePurchase(StoreManager::instance(), 256);
    ASSERT_EQ(1u, handler.purchases.size());
    EXPECT_EQ("Can't reach the App Store. Please check connection.", handler.purchases[0].text);
    // The store is reachable again: the failed attempt asked for prices once more.
    storekit::setQueriesAnswered(true);
    startStorePurchase(StoreManager::instance(), 256);
    frame();
    EXPECT_EQ("0,99 EUR", StoreManager::instance().findProduct(256));
    startStorePurchase(StoreManager::instance(), 256);
    frame();
    ASSERT_EQ(3u, handler.purchases.size());
    EXPECT_EQ((std::vector<int>{256}), handler.credited);
}

TEST_F(StoreTest, DeferredPaymentEndsTheWaitStaysOpenAndIsCreditedWhenApproved) {
    startStore();
    storekit::setNextPurchaseOutcome(storekit::PurchaseOutcome::Deferred);
    startStorePurchase(StoreManager::instance(), 2816);
    frame();
    ASSERT_EQ(1u, handler.purchases.size());
    EXPECT_EQ(-1, handler.purchases[0].code);
    EXPECT_EQ("The purchase is waiting for approval.", handler.purchases[0].text);
    ASSERT_EQ(1u, openTransactions().size());
    EXPECT_EQ(storekit::TransactionDeferred, openTransactions()[0]->transactionState);
    std::string id = openTransactions()[0]->transactionIdentifier;
    // A finish cannot drop it while it waits.
    StoreManager::instance().finishTransaction(id);
    storekit::PaymentQueue::defaultQueue().finishTransaction(*openTransactions()[0]);
    ASSERT_EQ(1u, openTransactions().size());

    storekit::approveDeferredPayments();
    EXPECT_EQ(1u, handler.purchases.size());
    frame();
    ASSERT_EQ(2u, handler.purchases.size());
    EXPECT_EQ(2816, handler.purchases[1].code);
    EXPECT_EQ("", handler.purchases[1].text);
    EXPECT_EQ(id, handler.purchases[1].transaction.id);
    EXPECT_EQ((std::vector<int>{2816}), handler.credited);
    EXPECT_TRUE(openTransactions().empty());
    EXPECT_EQ((std::set<std::string>{"zelvan_noads"}), storekit::ownedProducts());
}

TEST_F(StoreTest, DeferredPaymentApprovedWhileTheProgramWasNotRunning) {
    startStore();
    storekit::setNextPurchaseOutcome(storekit::PurchaseOutcome::Deferred);
    startStorePurchase(StoreManager::instance(), 256);
    frame();
    StoreManager::instance().release();
    storekit::restart();  // the next start reads the deferred payment back
    storekit::approveDeferredPayments();
    frame();
    startStore();
    ASSERT_EQ(2u, handler.purchases.size());
    EXPECT_EQ(256, handler.purchases[1].code);
    EXPECT_EQ((std::vector<int>{256}), handler.credited);
    EXPECT_TRUE(openTransactions().empty());
}

TEST_F(StoreTest, RestoreDeliversEachOnceOnlyProductOnce) {
    startStore();
    StoreManager& m = StoreManager::instance();
    for (int32_t code : {2816, 256, 2560, 2816, 1280}) {
        startStorePurchase(m, code);
        frame();
    }
    EXPECT_EQ((std::set<std::string>{"zelvan_double_coins", "zelvan_noads"}), storekit::ownedProducts());
    handler.purchases.clear();
    handler.credited.clear();

    for (bool finish : {false, true, true}) {
        SCOPED_TRACE(finish);
        handler.finish = finish;
        handler.purchases.clear();
        handler.restores.clear();
        restoreStorePurchases(m);
        EXPECT_TRUE(m.restoring());
        EXPECT_TRUE(handler.purchases.empty());
        frame();
        ASSERT_EQ(2u, handler.purchases.size());
        std::multiset<int> codes;
        for (const Purchase& p : handler.purchases) {
            codes.insert(p.code);
            EXPECT_TRUE(p.transaction.restored);
            EXPECT_FALSE(p.transaction.id.empty());
            EXPECT_EQ("", p.text);
        }
        EXPECT_EQ((std::multiset<int>{2560, 2816}), codes);
        EXPECT_EQ((std::vector<std::string>{""}), handler.restores);
        EXPECT_FALSE(m.restoring());
        frame(2);
        EXPECT_EQ(2u, handler.purchases.size());
        EXPECT_EQ(finish ? 0u : 2u, openTransactions().size());
    }
}

TEST_F(StoreTest, RestoreEndsWithTheStoresMessage) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        std::string text;
        int framesToAnswer;
    };
    std::vector<Case> cases = {
        {"failure", [] { storekit::setRestoreFailure("Cannot connect to the store."); }, "Cannot connect to the store.",
         1},
        {"payments disabled", [] { storekit::setPaymentsAllowed(false); }, "Purchase is disabled on this device.", 0},
        {"no store", [] { StoreManager::instance().release(); },
         "Can't reach the App Store. Please check connection.", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        handler.restores.clear();
        startStore();
        c.prepare();
        restoreStorePurchases(StoreManager::instance());
        if (c.framesToAnswer > 0) {
            EXPECT_TRUE(handler.restores.empty());
            EXPECT_TRUE(StoreManager::instance().restoring());
            frame(c.framesToAnswer);
        }
        EXPECT_EQ((std::vector<std::string>{c.text}), handler.restores);
        EXPECT_FALSE(StoreManager::instance().restoring());
        TearDown();
    }
}

TEST_F(StoreTest, ReleaseFollowedByALateTransactionLosesNothing) {
    startStore();
    startStorePurchase(StoreManager::instance(), 256);
    StoreManager::instance().release();  // the stage shuts down before the store answers
    frame(3);
    EXPECT_TRUE(handler.purchases.empty());
    ASSERT_EQ(1u, openTransactions().size());
    EXPECT_EQ(storekit::TransactionPurchased, openTransactions()[0]->transactionState);

    // The next store object hears of it, with the product's code, and its credit finishes it.
    startStore();
    ASSERT_EQ(1u, handler.purchases.size());
    EXPECT_EQ(256, handler.purchases[0].code);
    EXPECT_EQ((std::vector<int>{256}), handler.credited);
    EXPECT_TRUE(openTransactions().empty());
}

TEST_F(StoreTest, ReleaseDuringADeliveryLeavesTheRestOpen) {
    startStore();
    handler.finish = false;
    StoreManager& m = StoreManager::instance();
    startStorePurchase(m, 256);
    startStorePurchase(m, 512);
    frame();
    ASSERT_EQ(2u, openTransactions().size());
    // Both come back at the next store; the handler shuts the store down after the first.
    handler.purchases.clear();
    handler.finish = true;
    m.release();
    handler.onPurchase = [&] { m.release(); };
    startStore();
    EXPECT_EQ(1u, handler.purchases.size());
    EXPECT_EQ(1u, openTransactions().size());
    handler.onPurchase = nullptr;
    startStore();
    EXPECT_EQ(2u, handler.purchases.size());
    EXPECT_TRUE(openTransactions().empty());
}

TEST_F(StoreTest, NobodyToCreditLeavesTheTransactionOpen) {
    // A transaction for a product this version does not sell, left by an earlier run.
    writeFile(storekit::transactionFilePath(),
              "next 9\nopen 100.7 purchased zelvan_retired\nopen 100.8 purchased zelvan_pack_3\nnonsense line\n");
    storekit::restart();
    LogCapture log;
    StoreManager::instance().removeHandler(&handler);
    startStore();  // no handler at all
    EXPECT_EQ(2u, openTransactions().size());
    EXPECT_TRUE(log.contains("left open"));

    StoreManager::instance().release();
    StoreManager::instance().addHandler(&handler, 0);
    startStore();
    ASSERT_EQ(2u, handler.purchases.size());
    EXPECT_EQ(-1, handler.purchases[0].code);
    EXPECT_TRUE(handler.purchases[0].transaction.id.empty());
    EXPECT_EQ(768, handler.purchases[1].code);
    EXPECT_EQ("100.8", handler.purchases[1].transaction.id);
    StoreManager::instance().finishTransaction("100.7");
    ASSERT_EQ(1u, openTransactions().size());
    EXPECT_EQ("100.7", openTransactions()[0]->transactionIdentifier);
}

TEST_F(StoreTest, TransactionLeftOpenIsDeliveredAgainAtTheNextStart) {
    handler.finish = false;
    startStore();
    startStorePurchase(StoreManager::instance(), 1024);
    frame();
    ASSERT_EQ(1u, handler.purchases.size());
    std::string id = handler.purchases[0].transaction.id;
    // The program ends before the credit is saved: nothing is finished.
    StoreManager::instance().release();
    platform::clearMainThreadTasks();
    storekit::restart();

    handler.finish = true;
    startStore();
    ASSERT_EQ(2u, handler.purchases.size());
    EXPECT_EQ(1024, handler.purchases[1].code);
    EXPECT_EQ(id, handler.purchases[1].transaction.id);
    EXPECT_TRUE(openTransactions().empty());
    // Finished for good: a further start delivers nothing.
    StoreManager::instance().release();
    storekit::restart();
    startStore();
    EXPECT_EQ(2u, handler.purchases.size());
}

TEST_F(StoreTest, TransactionOfAKilledProgramIsDeliveredAgain) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        handler.finish = false;
        startStore();
        startStorePurchase(StoreManager::instance(), 2560);
        frame();
        bool delivered = handler.purchases.size() == 1 && !handler.purchases[0].transaction.id.empty();
        if (write(ready[1], delivered ? "d" : "x", 1) != 1)
            _exit(1);
        for (;;)
            pause();  // killed here, the credit never saved
    }
    close(ready[1]);
    char got = 0;
    ASSERT_EQ(1, read(ready[0], &got, 1));
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ('d', got);

    storekit::restart();
    startStore();
    ASSERT_EQ(1u, handler.purchases.size());
    EXPECT_EQ(2560, handler.purchases[0].code);
    EXPECT_FALSE(handler.purchases[0].transaction.restored);
    EXPECT_TRUE(openTransactions().empty());
    EXPECT_EQ((std::set<std::string>{"zelvan_double_coins"}), storekit::ownedProducts());
}

}  // namespace
