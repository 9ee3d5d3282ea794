#include "support_font.h"

namespace fonttest {

Bundle::Bundle() : _stores(new testsupport::ScopedStores(_bundle.path(), _documents.path())) {}

void Bundle::write(const std::string& name, const std::string& bytes) {
    testsupport::writeFile(_bundle.path() + "/data/" + name, bytes);
}

void Bundle::write(const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::writeFile(_bundle.path() + "/data/" + name, bytes);
}

}  // namespace fonttest
