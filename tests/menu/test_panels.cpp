#include "support_menu.h"

#include "game/menu/ZelvanPanel.h"
#include "game/menu/ZelvanPanelContainer.h"
#include "game/menu/ZelvanPanelItem.h"

using namespace menutest;

class Panels : public PanelFixture {};

TEST_F(Panels, LoadsBothSets) {
    loadBoth();
    ASSERT_EQ(_container->getPanels().size(), 3u);
    EXPECT_NE(panel("title"), nullptr);
    EXPECT_NE(panel("menu"), nullptr);
    EXPECT_EQ(panel("title")->getItems().size(), 2u);  // the missing node gives no item
}
