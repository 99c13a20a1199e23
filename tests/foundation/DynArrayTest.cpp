#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/DynArray.h"
#include "foundation/WideString.h"

namespace
{

// A record whose defaults are not zero, like the parameter selections.
struct Selection
{
    uint16_t connection = 1;
    uint16_t parameter = 1;
};

// Counts living elements, so that any spare element in a block shows.
struct Counted
{
    static inline int live = 0;
    int value = 0;
    Counted() { ++live; }
    Counted(const Counted& other) : value(other.value) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
};

std::vector<std::u16string> Texts(const CDynArray<CWideString>& array)
{
    std::vector<std::u16string> texts;
    for (uint32_t i = 0; i < array.GetCount(); ++i)
    {
        const char16_t* text = array[i];
        texts.push_back(text != nullptr ? text : u"<null>");
    }
    return texts;
}

CDynArray<CWideString> Strings(std::initializer_list<const char16_t*> texts)
{
    CDynArray<CWideString> array;
    for (const char16_t* text : texts)
        array.Add(CWideString(text));
    return array;
}

using Strs = std::vector<std::u16string>;

} // namespace

TEST(DynArray, SetSizeKeepsTheFirstElementsAndValueInitialisesNewOnes)
{
    CDynArray<float> values;
    EXPECT_EQ(values.GetTag(), DYNARRAY_TAG);
    ASSERT_TRUE(values.SetSize(2));
    values[0] = 1.5f;
    values[1] = 2.5f;
    const float* block = values.GetData();
    EXPECT_TRUE(values.SetSize(2));
    EXPECT_EQ(values.GetData(), block) << "the same count allocates nothing";

    ASSERT_TRUE(values.SetSize(3));
    EXPECT_EQ(values[0], 1.5f);
    EXPECT_EQ(values[2], 0.0f);
    ASSERT_TRUE(values.SetSize(0));
    EXPECT_EQ(values.GetData(), nullptr);
    EXPECT_EQ(values.GetCount(), 0u);
    ASSERT_TRUE(values.SetSize(3));
    EXPECT_EQ(values[1], 0.0f);

    CDynArray<Selection> selections;
    selections.SetSize(1);
    selections[0] = {4, 7};
    selections.SetSize(3);
    EXPECT_EQ(selections[0].connection, 4);
    EXPECT_EQ(selections[0].parameter, 7);
    EXPECT_EQ(selections[2].connection, 1);
    EXPECT_EQ(selections[2].parameter, 1);
}

TEST(DynArray, BlocksHoldExactlyTheCount)
{
    Counted::live = 0;
    {
        CDynArray<Counted> array;
        array.SetSize(5);
        EXPECT_EQ(Counted::live, 5);
        array.Add(Counted());
        EXPECT_EQ(Counted::live, 6);
        array.InsertAt(2, Counted());
        EXPECT_EQ(Counted::live, 7);
        array.RemoveAt(0);
        array.RemoveAt(array.GetCount() - 1);
        EXPECT_EQ(Counted::live, 5);
        array.RemoveAll();
        EXPECT_EQ(Counted::live, 0);
    }
    EXPECT_EQ(Counted::live, 0);
}

TEST(DynArray, InsertAtAndRemoveAt)
{
    CDynArray<CWideString> array = Strings({u"A", u"B"});
    EXPECT_TRUE(array.InsertAt(0, CWideString(u"X")));
    EXPECT_EQ(Texts(array), (Strs{u"X", u"A", u"B"}));
    EXPECT_TRUE(array.InsertAt(5, CWideString(u"Y")));
    EXPECT_EQ(Texts(array), (Strs{u"X", u"A", u"B", u"Y"}));
    EXPECT_TRUE(array.InsertAt(2, CWideString(u"Z")));
    EXPECT_EQ(Texts(array), (Strs{u"X", u"A", u"Z", u"B", u"Y"}));

    CDynArray<CWideString> abc = Strings({u"A", u"B", u"C"});
    EXPECT_TRUE(abc.RemoveAt(1));
    EXPECT_EQ(Texts(abc), (Strs{u"A", u"C"}));
    EXPECT_FALSE(abc.RemoveAt(3));
    EXPECT_FALSE(abc.RemoveAt(2));
    EXPECT_EQ(Texts(abc), (Strs{u"A", u"C"}));
    EXPECT_TRUE(abc.RemoveAt(1));
    EXPECT_TRUE(abc.RemoveAt(0));
    EXPECT_EQ(abc.GetData(), nullptr);

    CDynArray<CWideString> empty;
    EXPECT_TRUE(empty.InsertAt(3, CWideString(u"only")));
    EXPECT_EQ(Texts(empty), (Strs{u"only"}));
}

TEST(DynArray, AddingAnOwnElementCopiesItBeforeTheOldBlockGoes)
{
    CDynArray<CWideString> strings = Strings({u"first", u"last"});
    EXPECT_EQ(strings.Add(strings[0]), 2);
    EXPECT_EQ(strings.Add(strings[2]), 3);
    EXPECT_TRUE(strings.InsertAt(0, strings[1]));
    EXPECT_EQ(Texts(strings), (Strs{u"last", u"first", u"last", u"first", u"first"}));

    CDynArray<float> values;
    values.Add(0.5f);
    values.Add(values[0]);
    EXPECT_EQ(values.GetCount(), 2u);
    EXPECT_EQ(values[1], 0.5f);

    // The address list grows by one even when its own last address is added again.
    CDynArray<BYTE[4]> addresses;
    const BYTE local[4] = {127, 0, 0, 1};
    EXPECT_EQ(addresses.Add(local), 0);
    EXPECT_EQ(addresses.Add(addresses[0]), 1);
    ASSERT_EQ(addresses.GetCount(), 2u);
    EXPECT_EQ(addresses[1][0], 127);
    EXPECT_EQ(addresses[1][3], 1);
}

TEST(DynArray, CopiesAreDeepAndSelfAssignmentKeepsTheElements)
{
    CDynArray<CWideString> source = Strings({u"a", nullptr, u"c"});
    CDynArray<CWideString> copy;
    copy = source;
    copy[0] = u"changed";
    EXPECT_EQ(Texts(source), (Strs{u"a", u"<null>", u"c"}));
    EXPECT_EQ(Texts(copy), (Strs{u"changed", u"<null>", u"c"}));

    source = *&source;
    EXPECT_EQ(Texts(source), (Strs{u"a", u"<null>", u"c"}));

    CDynArray<CDynArray<CWideString>> table;
    table.Add(source);
    table.Add(table[0]);
    table[1][2] = u"z";
    EXPECT_EQ(Texts(table[0]), (Strs{u"a", u"<null>", u"c"}));
    EXPECT_EQ(Texts(table[1]), (Strs{u"a", u"<null>", u"z"}));
}

TEST(DynArray, CopyConstructorTakesTheFlagAndTheElements)
{
    CDynArray<float> betas;
    betas.SetCopyByMemory(TRUE);
    betas.SetSize(8);
    for (uint32_t i = 0; i < 8; ++i)
        betas[i] = float(i) / 4;
    const CDynArray<float> copy(betas);
    EXPECT_TRUE(copy.GetCopyByMemory());
    EXPECT_EQ(copy.GetTag(), DYNARRAY_TAG);
    ASSERT_EQ(copy.GetCount(), 8u);
    EXPECT_EQ(copy[7], 1.75f);
    EXPECT_NE(copy.GetData(), betas.GetData());

    CDynArray<float> assigned;
    assigned = betas; // the block copy of a flagged array
    EXPECT_EQ(assigned[3], 0.75f);
}

TEST(DynArray, RemoveAllClearsTheTagOnlyForFourBytePlainElements)
{
    CDynArray<float> values;
    values.Add(1.0f);
    values.RemoveAll();
    EXPECT_EQ(values.GetTag(), 0u);
    EXPECT_EQ(values.GetData(), nullptr);
    EXPECT_EQ(values.Add(2.0f), 0) << "the array stays usable";

    CDynArray<CWideString> strings = Strings({u"a"});
    strings.RemoveAll();
    EXPECT_EQ(strings.GetTag(), DYNARRAY_TAG);
    EXPECT_EQ(strings.GetCount(), 0u);
}

TEST(DynArray, IndexPastTheEndMeansTheLastAndAnEmptyArrayHasNone)
{
    CDynArray<uint16_t> ids;
    EXPECT_THROW(ids[0], std::out_of_range);
    ids.Add(3);
    ids.Add(9);
    EXPECT_EQ(ids[1], 9);
    EXPECT_EQ(ids[100], 9);
}
