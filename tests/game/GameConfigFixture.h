#pragma once
// A test with the global configuration store to itself: a bundle and a documents folder of its
// own, configuration texts written as fixtures or the sample content's configuration, and a
// store emptied before and after.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "engine/ConfigStore.h"

class GameConfigFixture : public ::testing::Test {
protected:
    void SetUp() override { ConfigStore::instance().resetForTests(); }
    void TearDown() override { ConfigStore::instance().resetForTests(); }

    // Adds the text's keys to the global store, as a configuration file of the bundle would.
    void loadConfig(const std::string& text) {
        const std::string name = "configs/fixture" + std::to_string(_files++) + ".txt";
        testsupport::writeFile(bundle.path() + "/data/" + name, text);
        ConfigStore::instance().loadFile(name.c_str(), "");
    }

    // The sample content's main configuration and every file it lists.
    void loadSampleConfig() {
        testsupport::ScopedStores content(testsupport::contentDir(), documents.path());
        ConfigStore& store = ConfigStore::instance();
        store.loadMainFile("configs/config.txt");
    }

    testsupport::TempDir bundle, documents;
    testsupport::ScopedStores stores{bundle.path(), documents.path()};

private:
    int _files = 0;
};
