#include "platform/rtl/pointerlist.h"

#include <gtest/gtest.h>

TEST(PointerList, KeepsOrderChecksIndexesAndIgnoresAbsentItems)
{
    int a = 1, b = 2, c = 3;
    TPointerList<int> list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&c);
    list.Remove(&b);
    list.Remove(&b); // no longer listed: nothing happens
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(1), &c);
    EXPECT_EQ(list.IndexOf(&b), -1);
    for (int index : { -1, 2 }) {
        try {
            list.Items(index);
            ADD_FAILURE() << "index " << index << " was accepted";
        } catch (const EListError &e) {
            EXPECT_EQ(e.Message(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}
