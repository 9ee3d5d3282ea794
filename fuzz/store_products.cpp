// The store stand-in's product file ("store/products.txt").
#include <cstdint>

#include "FuzzSupport.h"
#include "engine/plat_linux/storekit/StoreKit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::setUp();
    fuzz::writeInput("products.txt", data, size);
    storekit::setProductFile(fuzz::dataPath("fuzz/products.txt"));
    for (const storekit::Product& p : storekit::loadProducts())
        (void)p;
    storekit::setProductFile("");
    return 0;
}
