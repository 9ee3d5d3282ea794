#include "engine/online/StoreManager.h"

#include <algorithm>

#include "engine/utils.h"

namespace {

const StoreProduct kProducts[] = {
    {0x100, "zelvan_pack_1"},       {0x200, "zelvan_pack_2"},  {0x300, "zelvan_pack_3"},
    {0x400, "zelvan_pack_4"},       {0x500, "zelvan_ticket"},  {0x600, "zelvan_ticket_5"},
    {0xA00, "zelvan_double_coins"}, {0xB00, "zelvan_noads"},   {0xC00, "zelvan_donate"},
};

}  // namespace

// ---- StoreProduct ----

const StoreProduct* StoreProduct::findByCode(int32_t code) {
    for (const StoreProduct& p : kProducts)
        if (p.code == code)
            return &p;
    return nullptr;
}

const StoreProduct* StoreProduct::findById(const std::string& id) {
    for (const StoreProduct& p : kProducts)
        if (id == p.id)
            return &p;
    return nullptr;
}

void StoreProduct::buildCodeMap(std::map<int32_t, std::string>& out) {
    out.clear();
    for (const StoreProduct& p : kProducts)
        out[p.code] = p.id;
}

// ---- IStoreHandler ----

IStoreHandler::~IStoreHandler() {
    StoreManager::instance().removeHandler(this);
}

void IStoreHandler::onProductInfo(int32_t, const std::string&) {}
void IStoreHandler::onPurchaseFinished(int32_t, const std::string&, const StoreTransaction&) {}
void IStoreHandler::onRestoreFinished(const std::string&) {}

// ---- StoreManager ----

StoreManager& StoreManager::instance() {
    static StoreManager manager;
    return manager;
}

void StoreManager::setProducts(const std::string& pending, const std::map<int32_t, std::string>& products) {
    _restoring = 0;
    _pricesKnown = 0;
    for (const auto& entry : products) {
        Product& p = _products[entry.first];
        p.id = entry.second;
        p.price = pending;
    }
    createInAppStore();
    queryStoreProducts(*this);
}

void StoreManager::release() {
    releaseInAppStore();
    // Deliveries not finished yet stay open: a handler that saves their credit later may still
    // finish them, and otherwise the store delivers them again to the next store object.
    _products.clear();
}

void StoreManager::addHandler(IStoreHandler* handler, int32_t priority) {
    if (!handler || hasHandler(handler))
        return;
    auto at = std::find_if(_handlers.begin(), _handlers.end(),
                           [priority](const HandlerEntry& e) { return e.priority > priority; });
    _handlers.insert(at, HandlerEntry{priority, handler});
}

void StoreManager::removeHandler(IStoreHandler* handler) {
    auto at = std::find_if(_handlers.begin(), _handlers.end(),
                           [handler](const HandlerEntry& e) { return e.handler == handler; });
    if (at != _handlers.end())
        _handlers.erase(at);
}

bool StoreManager::hasHandler(const IStoreHandler* handler) const {
    for (const HandlerEntry& e : _handlers)
        if (e.handler == handler)
            return true;
    return false;
}

std::vector<IStoreHandler*> StoreManager::handlersToCall() const {
    std::vector<IStoreHandler*> list;
    list.reserve(_handlers.size());
    for (const HandlerEntry& e : _handlers)
        list.push_back(e.handler);
    return list;
}

const std::string& StoreManager::findProduct(int32_t code) const {
    auto it = _products.find(code);
    return it == _products.end() ? _noText : it->second.price;
}

int32_t StoreManager::findCodeById(const std::string& id) const {
    // No product has an empty identifier: entries added for unknown codes have one.
    if (id.empty())
        return -1;
    for (const auto& entry : _products)
        if (entry.second.id == id)
            return entry.first;
    return -1;
}

StoreManager::Product& StoreManager::product(int32_t code) {
    return _products[code];
}

void StoreManager::setProductPrice(int32_t code, const std::string& price) {
    _pricesKnown = 1;
    _products[code].price = price;
    for (IStoreHandler* h : handlersToCall())
        if (hasHandler(h))
            h->onProductInfo(code, price);
}

void StoreManager::notifyPurchaseFinished(int32_t code, const std::string& text, const StoreTransaction& transaction) {
    StoreTransaction delivered = transaction;
    if (!delivered.id.empty()) {
        if (code <= 0 || !text.empty()) {
            // Nobody can credit it: it stays open in the store and comes back at the next start.
            Logger::message("[StoreManager] transaction %s (code %d) left open: no product to credit",
                            delivered.id.c_str(), (int)code);
            delivered.id.clear();
        } else if (_handlers.empty()) {
            Logger::message("[StoreManager] transaction %s (code %d) left open: no store handler",
                            delivered.id.c_str(), (int)code);
            delivered.id.clear();
        } else {
            _open.insert(delivered.id);
        }
    }
    for (IStoreHandler* h : handlersToCall())
        if (hasHandler(h))
            h->onPurchaseFinished(code, text, delivered);
}

void StoreManager::notifyRestoreFinished(const std::string& text) {
    _restoring = 0;
    for (IStoreHandler* h : handlersToCall())
        if (hasHandler(h))
            h->onRestoreFinished(text);
}

void StoreManager::finishTransaction(const std::string& id) {
    auto it = _open.find(id);
    if (it == _open.end()) {
        Logger::message("[StoreManager] finish of transaction '%s' ignored: not an open delivery", id.c_str());
        return;
    }
    _open.erase(it);
    finishStoreTransaction(id);
}
