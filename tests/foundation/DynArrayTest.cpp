#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/DynArray.h"
#include "foundation/ParameterRecords.h"
#include "tests/foundation/WideText.h"

namespace
{

// Counts living elements, so that any spare element in a block shows.
struct Counted
{
    static inline int live = 0;
    Counted() { ++live; }
    Counted(const Counted&) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
};

using Strs = std::vector<std::u16string>;

Strs Texts(const CDynArray<CWideString>& array)
{
    Strs texts;
    for (uint32_t i = 0; i < array.GetCount(); ++i)
        texts.push_back(testsupport::Show(array[i]));
    return texts;
}

CDynArray<CWideString> Strings(std::initializer_list<const char16_t*> texts)
{
    CDynArray<CWideString> array;
    for (const char16_t* text : texts)
        array.Add(CWideString(text));
    return array;
}

} // namespace

TEST(DynArray, SetSizeKeepsTheFirstElementsAndValueInitialisesNewOnes)
{
    CDynArray<sParamSelection> selections; // defaults that are not zero
    selections.SetSize(1);
    selections[0] = {4, 7};
    ASSERT_TRUE(selections.SetSize(3));
    EXPECT_EQ(selections[0].ParameterNumber, 7);
    EXPECT_EQ(selections[2].Connection, 1);
    EXPECT_EQ(selections[2].ParameterNumber, 1);
    ASSERT_TRUE(selections.SetSize(0));
    EXPECT_EQ(selections.GetData(), nullptr);

    // Blocks hold exactly the count: no spare element is ever constructed.
    Counted::live = 0;
    {
        CDynArray<Counted> array;
        array.SetSize(5);
        EXPECT_EQ(Counted::live, 5);
        array.Add(Counted());
        array.InsertAt(2, Counted());
        EXPECT_EQ(Counted::live, 7);
        array.RemoveAt(0);
        EXPECT_EQ(Counted::live, 6);
    }
    EXPECT_EQ(Counted::live, 0);
}

TEST(DynArray, InsertAtClipsAndAddingAnOwnElementCopiesItBeforeTheOldBlockGoes)
{
    CDynArray<CWideString> array = Strings({u"A", u"B"});
    EXPECT_TRUE(array.InsertAt(0, CWideString(u"X")));
    EXPECT_TRUE(array.InsertAt(5, CWideString(u"Y")));
    EXPECT_TRUE(array.InsertAt(2, CWideString(u"Z")));
    EXPECT_EQ(Texts(array), (Strs{u"X", u"A", u"Z", u"B", u"Y"}));
    EXPECT_TRUE(array.RemoveAt(1));
    EXPECT_FALSE(array.RemoveAt(4));
    EXPECT_EQ(Texts(array), (Strs{u"X", u"Z", u"B", u"Y"}));

    CDynArray<uint16_t> ids;
    EXPECT_THROW(ids[0], std::out_of_range);
    ids.Add(3);
    ids.Add(9);
    EXPECT_EQ(ids[100], 9) << "an index past the end means the last";

    CDynArray<CWideString> strings = Strings({u"first", u"last"});
    EXPECT_EQ(strings.Add(strings[0]), 2);
    EXPECT_EQ(strings.Add(strings[2]), 3);
    EXPECT_TRUE(strings.InsertAt(0, strings[1]));
    EXPECT_EQ(Texts(strings), (Strs{u"last", u"first", u"last", u"first", u"first"}));

    // The address list grows by one even when its own last address is added again.
    CDynArray<BYTE[4]> addresses;
    const BYTE local[4] = {127, 0, 0, 1};
    EXPECT_EQ(addresses.Add(local), 0);
    EXPECT_EQ(addresses.Add(addresses[0]), 1);
    ASSERT_EQ(addresses.GetCount(), 2u);
    EXPECT_EQ(addresses[1][0], 127);
    EXPECT_EQ(addresses[1][3], 1);

    CDynArray<CDynArray<CWideString>> table;
    table.Add(Strings({u"a", nullptr, u"c"}));
    table.Add(table[0]);
    table[1][2] = u"z";
    EXPECT_EQ(Texts(table[0]), (Strs{u"a", u"<null>", u"c"}));
    EXPECT_EQ(Texts(table[1]), (Strs{u"a", u"<null>", u"z"}));
}

TEST(DynArray, CopiesAreDeepAndKeepTheCopyFlagAndRemoveAllClearsTheTag)
{
    CDynArray<CWideString> source = Strings({u"a", nullptr});
    CDynArray<CWideString> copy;
    copy = source;
    copy[0] = u"changed";
    source = *&source;
    EXPECT_EQ(Texts(source), (Strs{u"a", u"<null>"}));
    EXPECT_EQ(Texts(copy), (Strs{u"changed", u"<null>"}));

    CDynArray<float> betas;
    betas.SetCopyByMemory(TRUE);
    betas.SetSize(8);
    betas[7] = 1.75f;
    const CDynArray<float> constructed(betas);
    EXPECT_TRUE(constructed.GetCopyByMemory());
    ASSERT_EQ(constructed.GetCount(), 8u);
    EXPECT_EQ(constructed[7], 1.75f);
    EXPECT_NE(constructed.GetData(), betas.GetData());

    // RemoveAll clears the tag only for four-byte plain elements; the array stays usable.
    EXPECT_EQ(betas.GetTag(), DYNARRAY_TAG);
    betas.RemoveAll();
    EXPECT_EQ(betas.GetTag(), 0u);
    EXPECT_EQ(betas.Add(2.0f), 0);
    source.RemoveAll();
    EXPECT_EQ(source.GetTag(), DYNARRAY_TAG);
}
