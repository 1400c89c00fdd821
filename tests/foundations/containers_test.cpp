#include "foundations/containers.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "foundations/my_string.h"

namespace {

// ---------------------------------------------------------------------------
// Value array

TEST(ValueArray, GrowsByTheGrowthStepKeepingItsValues) {
    MY_TArrayAsVector<my_string> array(0, 10);
    EXPECT_EQ(array.size(), 1);
    const struct {
        int adds;  // total Adds so far
        int size;
    } steps[] = {{1, 1}, {2, 11}, {11, 11}, {12, 21}, {21, 21}, {22, 31}};
    int added = 0;
    for (const auto& step : steps) {
        while (added < step.adds) {
            my_string value;
            value = added;
            EXPECT_EQ(array.Add(value), added + 1);
            ++added;
        }
        SCOPED_TRACE(step.adds);
        EXPECT_EQ(array.size(), step.size);
        EXPECT_EQ(array.count(), step.adds);
    }
    for (int i = 0; i < added; ++i) EXPECT_EQ(array[i].toInt(), i);
}

TEST(ValueArray, FlushReturnsToTheInitialSize) {
    MY_TArrayAsVector<int> array(0, 10);
    for (int i = 0; i < 12; ++i) array.Add(i);
    ASSERT_EQ(array.size(), 21);
    array.Flush();
    EXPECT_EQ(array.size(), 1);
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.GetItemsInContainer(), 0);
    EXPECT_EQ(array.Add(7), 1);
    EXPECT_EQ(array[0], 7);
}

TEST(ValueArray, DefaultHoldsElevenSlotsAndEmptyArraysWork) {
    MY_TArrayAsVector<double> byDefault;
    EXPECT_EQ(byDefault.size(), 11);
    EXPECT_EQ(byDefault.growthStep(), 10);
    EXPECT_EQ(byDefault.count(), 0);

    MY_TArrayAsVector<int> noSlots(-1, 10);  // initial size 0
    EXPECT_EQ(noSlots.size(), 0);
    EXPECT_EQ(noSlots.Add(3), 1);
    EXPECT_EQ(noSlots.size(), 10);
    noSlots.Flush();
    EXPECT_EQ(noSlots.size(), 0);
}

TEST(ValueArray, FullArrayWithoutGrowthStepGrowsByOneSlot) {
    MY_TArrayAsVector<double> array(0, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(array.Add(0.5 * i), i + 1);
        EXPECT_EQ(array.size(), i + 1);
    }
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(array[i], 0.5 * i);
}

TEST(ValueArray, AddingOwnElementWhileGrowing) {
    MY_TArrayAsVector<my_string> array(0, 1);
    array.Add("first");
    array.Add(array[0]);  // the array is full: the value must survive the regrowth
    EXPECT_STREQ(array[1].c_str(), "first");
}

TEST(ValueArray, ResizeKeepsSlotsAndReallocateLosesThem) {
    MY_TArrayAsVector<int> array(2, 10);
    for (int i = 1; i <= 3; ++i) array.Add(i * 10);
    array.Resize(6);
    EXPECT_EQ(array.size(), 6);
    EXPECT_EQ(array.count(), 3);
    EXPECT_EQ(array[2], 30);
    array[5] = 60;  // sized in advance: slots beyond the count are writable
    EXPECT_EQ(array[5], 60);

    array.Resize(2);  // fewer slots than in use: the count is cut to what fits
    EXPECT_EQ(array.size(), 2);
    EXPECT_EQ(array.count(), 2);
    EXPECT_EQ(array[1], 20);
    EXPECT_EQ(array.Add(99), 3);

    array.Reallocate(4);
    EXPECT_EQ(array.size(), 4);
    EXPECT_EQ(array.count(), 0);
    EXPECT_EQ(array.initialSize(), 3);
}

TEST(ValueArray, AssignmentCopiesDeeplyAndKeepsOwnInitialSize) {
    MY_TArrayAsVector<my_string> source(0, 5);
    source.Add("a");
    source.Add("b");
    MY_TArrayAsVector<my_string> target(3, 10);
    target.Add("old");
    target = source;
    EXPECT_EQ(target.count(), 2);
    EXPECT_EQ(target.size(), source.size());
    EXPECT_EQ(target.growthStep(), 5);
    source[0] += "changed";
    EXPECT_STREQ(target[0].c_str(), "a");
    EXPECT_STREQ(target[1].c_str(), "b");
    target = target;
    EXPECT_STREQ(target[1].c_str(), "b");
    target.Flush();
    EXPECT_EQ(target.size(), 4);

    const MY_TArrayAsVector<my_string> copy(source);
    EXPECT_STREQ(copy[0].c_str(), "achanged");
    EXPECT_EQ(copy.count(), 2);
}

// ---------------------------------------------------------------------------
// Pointer array

struct Counted {
    explicit Counted(int* deletions) : deletions_(deletions) {}
    virtual ~Counted() = default;
    int* deletions_;
};

struct CountedChild : Counted {
    using Counted::Counted;
    ~CountedChild() override { ++*deletions_; }
};

TEST(PointerArray, IndexBeyondCountExtendsItAndBeyondSizeGivesNullSpare) {
    MY_TIArrayAsVector<int> array(4, 10, false);  // size 5
    int a = 1;
    int b = 2;
    array.Add(&a);
    array.Add(&b);
    ASSERT_EQ(array.size(), 5);

    EXPECT_EQ(array[3], nullptr);
    EXPECT_EQ(array.count(), 4);

    int* const& spare = array[7];
    EXPECT_EQ(spare, nullptr);
    EXPECT_EQ(array.count(), 4);
    array[7] = &a;  // written into the spare slot, which does not keep it
    EXPECT_EQ(array[9], nullptr);
    EXPECT_EQ(array[-1], nullptr);
    EXPECT_EQ(array.count(), 4);
    EXPECT_EQ(array[1], &b);

    const MY_TIArrayAsVector<int>& readOnly = array;
    EXPECT_EQ(readOnly[4], nullptr);
    EXPECT_EQ(array.count(), 4);
}

TEST(PointerArray, GrowsAndKeepsPointers) {
    const struct {
        int upper;
        int delta;
        std::vector<int> sizes;  // size after each Add
    } cases[] = {
        {0, 10, {1, 11, 11}},
        {0, 0, {1, 2, 3}},
        {1, 1, {2, 2, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.upper) + " " + std::to_string(c.delta));
        MY_TIArrayAsVector<int> array(c.upper, c.delta, false);
        std::vector<int> values(c.sizes.size());
        for (size_t i = 0; i < c.sizes.size(); ++i) {
            EXPECT_EQ(array.Add(&values[i]), static_cast<int64_t>(i + 1));
            EXPECT_EQ(array.size(), c.sizes[i]);
        }
        for (size_t i = 0; i < values.size(); ++i) EXPECT_EQ(array[i], &values[i]);
    }
}

TEST(PointerArray, OwningArrayDeletesThroughVirtualDestructor) {
    int deletions = 0;
    {
        MY_TIArrayAsVector<Counted> owning(0, 2);  // owning by default
        EXPECT_TRUE(owning.isOwning());
        owning.Add(new CountedChild(&deletions));
        owning.Add(nullptr);
        owning.Add(new CountedChild(&deletions));
        owning.Flush();
        EXPECT_EQ(deletions, 2);
        EXPECT_EQ(owning.count(), 0);
        EXPECT_EQ(owning.size(), 1);
        EXPECT_EQ(owning[0], nullptr);
        owning.Add(new CountedChild(&deletions));
    }
    EXPECT_EQ(deletions, 3);

    CountedChild kept(&deletions);
    {
        MY_TIArrayAsVector<Counted> borrowing(3, 3, false);
        borrowing.Add(&kept);
        borrowing.Flush();
        borrowing.Add(&kept);
        MY_TIArrayAsVector<Counted> cleared(3, 3);
        cleared.setOwning(false);
        cleared.Add(&kept);
    }
    EXPECT_EQ(deletions, 3);
}

// ---------------------------------------------------------------------------
// Chain

class ChainTest : public ::testing::Test {
protected:
    // Elements are named by a single letter; the chain borrows them.
    std::string contents(const TISimpleChain<char>& chain) {
        std::string walked;
        for (char* c = chain.first(); c != nullptr; c = chain.next()) walked += *c;
        std::string indexed;
        for (int64_t i = 0; i < chain.count(); ++i) indexed += *chain.elementAt(i);
        EXPECT_EQ(walked, indexed);
        EXPECT_EQ(static_cast<int64_t>(walked.size()), chain.count());
        return walked;
    }

    void fill(TISimpleChain<char>& chain, const std::string& letters) {
        for (char c : letters) chain.append(&pool_[c - 'A']);
    }

    char* letter(char c) { return &pool_[c - 'A']; }

    char pool_[26] = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M',
                      'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z'};
};

TEST_F(ChainTest, AppendGivesPositionsAndWalkingEndsInNull) {
    TISimpleChain<char> chain;
    EXPECT_EQ(chain.first(), nullptr);
    EXPECT_EQ(chain.append(letter('A')), 0);
    EXPECT_EQ(chain.append(letter('B')), 1);
    EXPECT_EQ(chain.append(letter('C')), 2);
    EXPECT_EQ(contents(chain), "ABC");
    EXPECT_EQ(*chain.first(), 'A');
    EXPECT_EQ(*chain.next(), 'B');
    EXPECT_EQ(*chain.current(), 'B');
    EXPECT_EQ(*chain.next(), 'C');
    EXPECT_EQ(chain.next(), nullptr);  // off the end: the cursor is null and stays so
    EXPECT_EQ(chain.current(), nullptr);
    EXPECT_EQ(chain.next(), nullptr);
    EXPECT_EQ(chain.elementAt(3), nullptr);
    EXPECT_EQ(chain.elementAt(-1), nullptr);
    EXPECT_EQ(*chain.elementAt(1), 'B');
    EXPECT_EQ(*chain.elementAt(0), 'A');  // behind the cursor
}

TEST_F(ChainTest, MergeReplacesLowerPositionAndRemovesHigher) {
    const struct {
        int pos1;
        int pos2;
        const char* left;
        char first;
        char second;
    } cases[] = {
        {0, 2, "NBD", 'A', 'C'}, {2, 0, "NBD", 'A', 'C'},
        {3, 1, "ANC", 'B', 'D'},  // the last link goes
        {0, 1, "NCD", 'A', 'B'}, {2, 3, "ABN", 'C', 'D'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pos1) + "," + std::to_string(c.pos2));
        TISimpleChain<char> chain;
        fill(chain, "ABCD");
        chain.elementAt(3);  // a cursor left behind by an earlier walk
        char* first = nullptr;
        char* second = nullptr;
        char* merged = letter('N');
        EXPECT_EQ(
            chain.returnTwoElemsAndReplaceFirstByNewElem(first, second, merged, c.pos1, c.pos2), 1);
        EXPECT_EQ(*first, c.first);
        EXPECT_EQ(*second, c.second);
        EXPECT_EQ(chain.count(), 3);
        EXPECT_EQ(contents(chain), c.left);
        chain.append(letter('E'));  // the last link is still right
        EXPECT_EQ(contents(chain), std::string(c.left) + "E");
    }
}

TEST_F(ChainTest, BadPositionsPrintTheErrorAndChangeNothingWithoutReadingInput) {
    const struct {
        int pos1;
        int pos2;
        const char* printed;
    } cases[] = {
        {2, 0,
         "2 0\nError: object with a rank higher than the size of the chain list\n"
         "Close the window (advised) or press any key to continue\n"},
        {0, 5,
         "0 5\nError: object with a rank higher than the size of the chain list\n"
         "Close the window (advised) or press any key to continue\n"},
        {-1, 1,
         "-1 1\nError: object with a rank higher than the size of the chain list\n"
         "Close the window (advised) or press any key to continue\n"},
        {1, 1,
         "1 1\nError: two different ranks are needed to take two objects from the chain list\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pos1) + "," + std::to_string(c.pos2));
        TISimpleChain<char> chain;
        fill(chain, "AB");
        char* first = letter('X');
        char* second = letter('Y');
        char* merged = letter('N');

        std::ostringstream printed;
        std::istringstream typed("5\n");
        std::streambuf* oldOut = std::cout.rdbuf(printed.rdbuf());
        std::streambuf* oldIn = std::cin.rdbuf(typed.rdbuf());
        const int result =
            chain.returnTwoElemsAndReplaceFirstByNewElem(first, second, merged, c.pos1, c.pos2);
        std::cout.rdbuf(oldOut);
        std::cin.rdbuf(oldIn);

        EXPECT_EQ(result, 0);
        EXPECT_EQ(printed.str(), c.printed);
        EXPECT_EQ(typed.tellg(), std::streampos(0));  // standard input untouched
        EXPECT_EQ(*first, 'X');
        EXPECT_EQ(*second, 'Y');
        EXPECT_EQ(*merged, 'N');
        EXPECT_EQ(contents(chain), "AB");
    }
}

TEST_F(ChainTest, DetachAndTruncateKeepLinksAndCursorConsistent) {
    TISimpleChain<char> chain;
    fill(chain, "ABCDE");
    chain.elementAt(2);
    EXPECT_EQ(*chain.detachAt(0), 'A');  // cursor behind the removal point moves with it
    EXPECT_EQ(*chain.elementAt(1), 'C');
    EXPECT_EQ(*chain.detachAt(3), 'E');  // the last link
    EXPECT_EQ(chain.detachAt(3), nullptr);
    EXPECT_EQ(contents(chain), "BCD");
    chain.append(letter('F'));
    EXPECT_EQ(contents(chain), "BCDF");
    chain.elementAt(3);
    chain.truncate(2);  // the cursor was on a freed link
    EXPECT_EQ(contents(chain), "BC");
    chain.append(letter('G'));
    EXPECT_EQ(contents(chain), "BCG");
    EXPECT_EQ(*chain.detachAt(0), 'B');
    EXPECT_EQ(*chain.detachAt(0), 'C');
    EXPECT_EQ(*chain.detachAt(0), 'G');
    EXPECT_EQ(chain.count(), 0);
    EXPECT_EQ(chain.append(letter('H')), 0);
    EXPECT_EQ(contents(chain), "H");
}

TEST(OwningChain, DeletesSecondOnMergeAndEverythingOnDeleteChain) {
    int deletions = 0;
    {
        TISimpleChain<Counted> chain(true);
        std::vector<Counted*> nodes;
        for (int i = 0; i < 4; ++i) {
            nodes.push_back(new CountedChild(&deletions));
            chain.append(nodes.back());
        }
        Counted* first = nullptr;
        Counted* second = nullptr;
        Counted* parent = new CountedChild(&deletions);
        ASSERT_EQ(chain.returnTwoElemsAndReplaceFirstByNewElem(first, second, parent, 1, 3), 1);
        EXPECT_EQ(second, nullptr);
        EXPECT_EQ(deletions, 1);  // the element at position 3
        EXPECT_EQ(first, nodes[1]);
        delete first;  // handed back to the caller, no longer in the chain
        EXPECT_EQ(deletions, 2);

        chain.truncate(2);  // drops the element at position 2
        EXPECT_EQ(deletions, 3);
        Counted* detached = chain.detachAt(0);
        EXPECT_EQ(deletions, 3);
        delete detached;
        EXPECT_EQ(chain.deleteChain(), 1);
        EXPECT_EQ(deletions, 5);
        EXPECT_EQ(chain.count(), 0);
        EXPECT_EQ(chain.first(), nullptr);
        chain.append(new CountedChild(&deletions));
    }
    EXPECT_EQ(deletions, 6);  // destruction deletes what is left
}

}  // namespace
