#pragma once
// Helpers of the font tests: a temporary bundle to write font files into, and log capture.

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace fonttest {

// A temporary bundle (files under "<bundle>/data/") and documents folder for one test.
class Bundle {
public:
    Bundle();
    // Writes data/<name> in the bundle.
    void write(const std::string& name, const std::string& bytes);
    void write(const std::string& name, const std::vector<uint8_t>& bytes);

private:
    testsupport::TempDir _bundle, _documents;
    std::unique_ptr<testsupport::ScopedStores> _stores;
};

using testsupport::LogCapture;

}  // namespace fonttest
