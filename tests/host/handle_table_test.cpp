#include "framework/HandleTable.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// Distinct opaque handles and objects; the table never dereferences them.
int handleSlots[4];
int objectSlots[4];
const void* Handle(int index) {
    return &handleSlots[index];
}
void* Object(int index) {
    return &objectSlots[index];
}

std::vector<std::size_t> requestedSizes;

void* Recording_Reallocate(void* block, std::size_t bytes) {
    requestedSizes.push_back(bytes);
    return std::realloc(block, bytes);
}

void* Failing_Reallocate(void*, std::size_t) {
    return nullptr;
}

// Restores the default reallocator even when an assertion fails.
class HandleTableTest : public testing::Test {
protected:
    void TearDown() override { HandleTable::Set_Reallocator(nullptr); }
};

const std::size_t entryBytes = 2 * sizeof(void*);

} // namespace

TEST_F(HandleTableTest, FindsEachAddedObjectAndNothingElse) {
    HandleTable table;
    EXPECT_EQ(nullptr, table.Find(Handle(0)));
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    EXPECT_EQ(2, table.Count());
    EXPECT_EQ(Object(0), table.Find(Handle(0)));
    EXPECT_EQ(Object(1), table.Find(Handle(1)));
    EXPECT_EQ(nullptr, table.Find(Handle(2)));
    EXPECT_EQ(nullptr, table.Find(nullptr));
}

TEST_F(HandleTableTest, DuplicateHandleFindsAndRemovesTheOldestEntry) {
    HandleTable table;
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(0), Object(1)));
    EXPECT_EQ(Object(0), table.Find(Handle(0)));
    table.Remove(Handle(0));
    EXPECT_EQ(1, table.Count());
    EXPECT_EQ(Object(1), table.Find(Handle(0)));
}

TEST_F(HandleTableTest, RemovingTheFirstOfThreeKeepsTheOthersInOrder) {
    HandleTable table;
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    ASSERT_TRUE(table.Add(Handle(2), Object(2)));
    // Duplicates of the survivors show their order: the first one must win.
    ASSERT_TRUE(table.Add(Handle(1), Object(3)));
    table.Remove(Handle(0));
    EXPECT_EQ(3, table.Count());
    EXPECT_EQ(nullptr, table.Find(Handle(0)));
    EXPECT_EQ(Object(1), table.Find(Handle(1)));
    EXPECT_EQ(Object(2), table.Find(Handle(2)));
    table.Remove(Handle(1));
    EXPECT_EQ(Object(3), table.Find(Handle(1)));
    EXPECT_EQ(Object(2), table.Find(Handle(2)));
}

TEST_F(HandleTableTest, RemovingAnAbsentHandleChangesNothing) {
    HandleTable table;
    table.Remove(Handle(0)); // empty table
    EXPECT_EQ(0, table.Count());
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    HandleTable::Set_Reallocator(&Recording_Reallocate);
    requestedSizes.clear();
    table.Remove(Handle(2));
    EXPECT_TRUE(requestedSizes.empty());
    EXPECT_EQ(2, table.Count());
    EXPECT_EQ(Object(0), table.Find(Handle(0)));
    EXPECT_EQ(Object(1), table.Find(Handle(1)));
}

TEST_F(HandleTableTest, ArrayIsResizedToTheExactCountAndReleasedAtZero) {
    HandleTable::Set_Reallocator(&Recording_Reallocate);
    requestedSizes.clear();
    HandleTable table;
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    ASSERT_TRUE(table.Add(Handle(2), Object(2)));
    table.Remove(Handle(1));
    table.Remove(Handle(0));
    table.Remove(Handle(2)); // the last one frees the array instead
    EXPECT_EQ((std::vector<std::size_t>{entryBytes, 2 * entryBytes, 3 * entryBytes, 2 * entryBytes,
                                        entryBytes}),
              requestedSizes);
    EXPECT_EQ(0, table.Count());
    EXPECT_EQ(nullptr, table.Find(Handle(2)));

    // The released table starts again from nothing.
    requestedSizes.clear();
    ASSERT_TRUE(table.Add(Handle(3), Object(3)));
    EXPECT_EQ(std::vector<std::size_t>{entryBytes}, requestedSizes);
    EXPECT_EQ(1, table.Count());
    EXPECT_EQ(Object(3), table.Find(Handle(3)));
}

TEST_F(HandleTableTest, FailedGrowthLeavesTheTableAsItWas) {
    HandleTable table;
    HandleTable::Set_Reallocator(&Failing_Reallocate);
    EXPECT_FALSE(table.Add(Handle(0), Object(0))); // first allocation
    EXPECT_EQ(0, table.Count());
    EXPECT_EQ(nullptr, table.Find(Handle(0)));

    HandleTable::Set_Reallocator(nullptr);
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    HandleTable::Set_Reallocator(&Failing_Reallocate);
    EXPECT_FALSE(table.Add(Handle(2), Object(2))); // growth of a filled array
    EXPECT_EQ(2, table.Count());
    EXPECT_EQ(Object(0), table.Find(Handle(0)));
    EXPECT_EQ(Object(1), table.Find(Handle(1)));
    EXPECT_EQ(nullptr, table.Find(Handle(2)));
}

TEST_F(HandleTableTest, FailedShrinkStillRemovesTheEntry) {
    HandleTable table;
    ASSERT_TRUE(table.Add(Handle(0), Object(0)));
    ASSERT_TRUE(table.Add(Handle(1), Object(1)));
    ASSERT_TRUE(table.Add(Handle(2), Object(2)));
    HandleTable::Set_Reallocator(&Failing_Reallocate);
    table.Remove(Handle(0));
    EXPECT_EQ(2, table.Count());
    EXPECT_EQ(nullptr, table.Find(Handle(0)));
    EXPECT_EQ(Object(1), table.Find(Handle(1)));
    EXPECT_EQ(Object(2), table.Find(Handle(2)));
    HandleTable::Set_Reallocator(nullptr);
    ASSERT_TRUE(table.Add(Handle(3), Object(3)));
    EXPECT_EQ(Object(3), table.Find(Handle(3)));
}
