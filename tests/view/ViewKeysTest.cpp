#include "view/ViewKeys.h"

#include "app/KeyBindings.h"

#include <gtest/gtest.h>

#include <set>

using namespace spheres;

TEST(ViewKeysTest, EachKeyIsBoundOnceAndNoneIsTheDemosOrEscape) {
    registerKeyBindings();
    std::set<unsigned char> keys;
    std::set<ViewAction> actions;
    for (const ViewKey& key : viewKeys()) {
        EXPECT_TRUE(keys.insert(key.key).second) << key.key;
        EXPECT_EQ(KeyBindings::keyTable.count(key.key), 0u) << key.key;
        EXPECT_NE(key.key, 27);
        EXPECT_EQ(findViewKey(key.key), &key);
        actions.insert(key.action);
    }
    EXPECT_EQ(actions.size(), static_cast<std::size_t>(ViewAction::SwitchCamera) + 1);
    EXPECT_EQ(findViewKey('q'), nullptr);
}
