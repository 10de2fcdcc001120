#include <gtest/gtest.h>

#include "IdManager.h"

TEST(IdManager, IssuesFromOneAndReusesTheLowestFreed) {
    IdManager pool;
    EXPECT_EQ(pool.Size(), 1);
    EXPECT_EQ(pool.FindUnused(), 0);
    EXPECT_TRUE(pool.Check(0));
    EXPECT_EQ(pool.Apply(), 1);
    EXPECT_EQ(pool.Apply(), 2);
    EXPECT_EQ(pool.Apply(), 3);

    pool.Back(2);
    EXPECT_FALSE(pool.State(2));
    EXPECT_EQ(pool.Apply(), 2);
    EXPECT_EQ(pool.Size(), 4);

    pool.Back(3);
    pool.Back(1);
    EXPECT_EQ(pool.Apply(), 1);
    EXPECT_EQ(pool.Apply(), 3);
    EXPECT_EQ(pool.Apply(), 4);
    EXPECT_EQ(pool.Size(), 5);
}

TEST(IdManager, CheckComparesWithTheLowestFreeIdentifier) {
    IdManager pool;
    pool.Apply();
    pool.Apply();
    pool.Back(1);
    EXPECT_TRUE(pool.Check(1));
    EXPECT_FALSE(pool.Check(2));
    // Identifiers never issued are ignored rather than indexed.
    pool.Back(99);
    pool.Back(-1);
    EXPECT_EQ(pool.Size(), 3);
    EXPECT_FALSE(pool.State(99));
}
