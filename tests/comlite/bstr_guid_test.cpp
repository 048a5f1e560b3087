#include <cstring>

#include <gtest/gtest.h>

#include "comlite/bstr.h"
#include "comlite/guid.h"
#include "comlite/text.h"

namespace {

TEST(Bstr, LengthComesFromThePrefixNotTheTerminator) {
    const OLECHAR withNul[] = {u'a', 0, u'b'};
    BSTR s = SysAllocStringLen(withNul, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(comlite::BstrView(s), std::u16string_view(withNul, 3));
    EXPECT_EQ(s[3], 0) << "a terminator follows the counted characters";
    SysFreeString(s);
}

TEST(Bstr, OddByteLengthsKeepEveryByte) {
    const char bytes[] = {'\x01', '\0', '\xFF'};
    BSTR s = SysAllocStringByteLen(bytes, 3);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringByteLen(s), 3u);
    EXPECT_EQ(SysStringLen(s), 1u);
    EXPECT_EQ(std::memcmp(s, bytes, 3), 0);
    // The character after the data is a terminator even though the data ends mid-character.
    EXPECT_EQ(s[2], 0);
    SysFreeString(s);

    BSTR zeroed = SysAllocStringByteLen(nullptr, 5);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringByteLen(zeroed), 5u);
    const char zeros[5] = {};
    EXPECT_EQ(std::memcmp(zeroed, zeros, 5), 0);
    SysFreeString(zeroed);
}

TEST(Bstr, NullMeansEmpty) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    EXPECT_TRUE(comlite::BstrView(nullptr).empty());
    EXPECT_EQ(comlite::BstrToUtf8(nullptr), "");
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr) << "an empty string is not a null one";
    EXPECT_EQ(SysStringLen(empty), 0u);
    SysFreeString(empty);
}

TEST(Bstr, ReallocFromItsOwnCharacters) {
    BSTR s = SysAllocString(u"hello world");
    ASSERT_TRUE(SysReAllocString(&s, s + 6));
    EXPECT_EQ(comlite::BstrView(s), u"world");
    ASSERT_TRUE(SysReAllocStringLen(&s, s, 3));
    EXPECT_EQ(comlite::BstrView(s), u"wor");
    SysFreeString(s);
}

TEST(Bstr, Utf8RoundTripKeepsEmbeddedNulsAndAstralCharacters) {
    const std::string utf8 = std::string("Gr\xC3\xBC\xC3\x9F") + '\0' + "\xF0\x9F\x98\x80 end";
    comlite::Bstr b = comlite::Bstr::FromUtf8(utf8);
    EXPECT_EQ(b.Length(), 4u + 1 + 2 + 4) << "U+1F600 takes a surrogate pair";
    EXPECT_EQ(b.Utf8(), utf8);

    comlite::Bstr copy = b;
    EXPECT_NE(copy.Get(), b.Get());
    EXPECT_EQ(copy.View(), b.View());
}

TEST(Text, MalformedInputBecomesReplacementCharacters) {
    // A stray continuation byte, a truncated sequence and an over-long encoding; the valid text
    // around them survives.
    EXPECT_EQ(comlite::Utf8ToUtf16("a\x80"
                                   "b"),
              u"a\uFFFDb");
    EXPECT_EQ(comlite::Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");
    EXPECT_EQ(comlite::Utf8ToUtf16("\xC0\xAF"
                                   "x"),
              u"\uFFFD\uFFFDx");
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    EXPECT_EQ(comlite::Utf16ToUtf8(std::u16string_view(lone, 3)),
              "a\xEF\xBF\xBD"
              "b");
}

TEST(Guid, BracedUpperCaseTextRoundTrips) {
    constexpr GUID g = comlite::MakeGuid("{a532f892-189e-43e0-86c9-c8a3b6af4518}");
    EXPECT_EQ(g.Data1, 0xA532F892u);
    EXPECT_EQ(g.Data4[7], 0x18);
    EXPECT_EQ(comlite::GuidToString(g), "{A532F892-189E-43E0-86C9-C8A3B6AF4518}");
    EXPECT_EQ(comlite::ParseGuid("A532F892-189E-43E0-86C9-C8A3B6AF4518"), g);
    EXPECT_EQ(comlite::GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");

    OLECHAR buffer[39];
    EXPECT_EQ(StringFromGUID2(g, buffer, 38), 0) << "no room for the terminator";
    ASSERT_EQ(StringFromGUID2(g, buffer, 39), 39);
    EXPECT_EQ(std::u16string_view(buffer), u"{A532F892-189E-43E0-86C9-C8A3B6AF4518}");

    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(g, &allocated), S_OK);
    IID back{};
    EXPECT_EQ(IIDFromString(allocated, &back), S_OK);
    EXPECT_EQ(back, g);
    CoTaskMemFree(allocated);
}

TEST(Guid, MalformedTextIsRefused) {
    for (const char* bad :
         {"", "{A532F892-189E-43E0-86C9-C8A3B6AF451}", "{A532F892-189E-43E0-86C9-C8A3B6AF4518",
          "{A532F892+189E-43E0-86C9-C8A3B6AF4518}", "{G532F892-189E-43E0-86C9-C8A3B6AF4518}"})
        EXPECT_FALSE(comlite::ParseGuid(bad).has_value()) << bad;
    IID iid;
    EXPECT_EQ(IIDFromString(u"A532F892-189E-43E0-86C9-C8A3B6AF4518", &iid), E_INVALIDARG)
        << "braces required";
}

}  // namespace
