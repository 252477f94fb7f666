#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "cadlink/com/bstr.h"
#include "cadlink/com/variant.h"

namespace morvane::com {
namespace {

struct TextCase {
    const char* name;
    std::u16string text;
};

class BstrTextTest : public testing::TestWithParam<TextCase> {};

// Rule: a text passes through a BSTR whole: counted, never cut at U+0000, any length.
TEST_P(BstrTextTest, RoundTripsWhole) {
    const std::u16string& text = GetParam().text;
    Bstr value = Bstr::FromText(text);
    ASSERT_TRUE(value);
    EXPECT_EQ(SysStringLen(value.Get()), text.size());
    EXPECT_EQ(value.Text(), text);
    Variant holder(std::move(value));
    EXPECT_FALSE(value);
    EXPECT_EQ(holder.Type(), VT_BSTR);
    EXPECT_EQ(TextOf(holder.Get()->bstrVal), text);
}

const TextCase kTexts[] = {
    {"Empty", u""},
    {"Plain", u"%%uNOTE"},
    {"EmbeddedNul", std::u16string(u"ab\0cd", 5)},
    {"OnlyNuls", std::u16string(3, u'\0')},
    {"TrailingNul", std::u16string(u"end\0", 4)},
    {"SurrogatePair", u"\U0001D400 x"},
    {"Long", std::u16string(100'000, u'x')},
};

INSTANTIATE_TEST_SUITE_P(Texts, BstrTextTest, testing::ValuesIn(kTexts),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: a null BSTR is the empty text.
TEST(BstrTest, NullIsEmptyText) {
    Bstr none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.Text(), u"");
    EXPECT_EQ(TextOf(nullptr), u"");
}

// Rule: moving a BSTR owner transfers the string; the old owner holds nothing.
TEST(BstrTest, MoveTransfers) {
    Bstr first = Bstr::FromText(u"abc");
    const BSTR raw = first.Get();
    Bstr second(std::move(first));
    EXPECT_EQ(second.Get(), raw);
    EXPECT_EQ(first.Get(), nullptr);
    Bstr third = Bstr::FromText(u"x");
    third = std::move(second);
    EXPECT_EQ(third.Get(), raw);
    EXPECT_EQ(third.Text(), u"abc");
}

// Rule: the slot for an [out] BSTR* starts empty.
TEST(BstrTest, OutSlotStartsEmpty) {
    Bstr value = Bstr::FromText(u"old");
    BSTR* slot = value.ReleaseAndGetAddressOf();
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocStringLen(L"new", 3);
    EXPECT_EQ(value.Text(), u"new");
}

// The smallest object that shows whether a VARIANT let go of it: a counting IUnknown.
class CountingObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
    ULONG STDMETHODCALLTYPE Release() override { return --count; }
    ULONG count = 0;
};

void Hold(Variant& variant, CountingObject& object) {
    VARIANT* slot = variant.ReleaseAndGetAddressOf();
    slot->vt = VT_UNKNOWN;
    slot->punkVal = &object;
    object.AddRef();
}

// Rule: a VARIANT owner releases what it holds once, when cleared, refilled or destroyed, and a
// move hands the reference over without touching it.
TEST(VariantTest, ReleasesWhatItHoldsOnce) {
    CountingObject object;
    {
        Variant first;
        Hold(first, object);
        EXPECT_EQ(object.count, 1u);
        Variant second(std::move(first));
        EXPECT_EQ(first.Type(), VT_EMPTY);
        EXPECT_EQ(object.count, 1u);
        Variant third;
        third = std::move(second);
        EXPECT_EQ(object.count, 1u);
        (void)third.ReleaseAndGetAddressOf();
        EXPECT_EQ(third.Type(), VT_EMPTY);
        EXPECT_EQ(object.count, 0u);
        Hold(third, object);
        Variant fourth;
        Hold(fourth, object);
        EXPECT_EQ(object.count, 2u);
        fourth = std::move(third);  // drops fourth's own reference, takes third's
        EXPECT_EQ(object.count, 1u);
    }
    EXPECT_EQ(object.count, 0u);
}

}  // namespace
}  // namespace morvane::com
