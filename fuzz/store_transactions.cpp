// The store stand-in's file of open transactions and owned products, read at a restart.
#include <cstdint>
#include <cstdio>

#include "FuzzSupport.h"
#include "engine/plat_linux/storekit/StoreKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    const std::string path = storekit::transactionFilePath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);
    storekit::restart();
    storekit::ownedProducts();
    storekit::PaymentQueue& queue = storekit::PaymentQueue::defaultQueue();
    for (const storekit::TransactionPtr& t : queue.transactions())
        queue.finishTransaction(*t);
    storekit::ownedProducts();
    std::remove(path.c_str());
    return 0;
}
