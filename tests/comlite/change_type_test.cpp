#include <cmath>

#include <gtest/gtest.h>

#include "comlite/variant.h"
#include "counted_object.h"

namespace {

using comlite::Variant;

// Converts and returns the result code; the converted value lands in *out.
HRESULT Change(const VARIANT& in, VARTYPE vt, Variant& out, USHORT flags = 0) {
    return VariantChangeType(&out, &in, flags, vt);
}

std::u16string TextOf(const VARIANT& in, USHORT flags = 0) {
    Variant out;
    EXPECT_EQ(Change(in, VT_BSTR, out, flags), S_OK);
    return std::u16string(comlite::BstrView(out.bstrVal));
}

TEST(ChangeType, RealsRoundToEvenWhenBecomingIntegers) {
    const std::pair<double, LONG> cases[] = {{2.5, 2},  {3.5, 4},         {-2.5, -2},  {-3.5, -4},
                                             {0.5, 0},  {1.5, 2},         {2.4999, 2}, {2.5001, 3},
                                             {-0.5, 0}, {1e9, 1000000000}};
    for (const auto& [real, expected] : cases) {
        Variant out;
        ASSERT_EQ(Change(Variant::R8(real), VT_I4, out), S_OK) << real;
        EXPECT_EQ(out.lVal, expected) << real;
    }
    // Text is read as a number first, then rounded the same way.
    Variant out;
    ASSERT_EQ(Change(Variant::Text(u" 2.5 "), VT_I2, out), S_OK);
    EXPECT_EQ(out.iVal, 2);
}

TEST(ChangeType, RangeIsCheckedAfterRounding) {
    Variant out;
    EXPECT_EQ(Change(Variant::R8(255.4), VT_UI1, out), S_OK);
    EXPECT_EQ(out.bVal, 255);
    EXPECT_EQ(Change(Variant::R8(255.5), VT_UI1, out), DISP_E_OVERFLOW) << "rounds to 256";
    EXPECT_EQ(Change(Variant::I4(-1), VT_UI2, out), DISP_E_OVERFLOW) << "narrowing is checked";
    EXPECT_EQ(Change(Variant::I4(40000), VT_I2, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(Variant::R8(2147483647.5), VT_I4, out), DISP_E_OVERFLOW) << "rounds to 2^31";
    EXPECT_EQ(Change(Variant::R8(-2147483648.5), VT_I4, out), S_OK) << "rounds to -2^31";
    EXPECT_EQ(Change(Variant::R8(9223372036854775808.0), VT_I8, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(Variant::R8(NAN), VT_I4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(Variant::R8(1e300), VT_R4, out), DISP_E_OVERFLOW);
    EXPECT_EQ(Change(Variant::Text(u"1e999"), VT_R8, out), DISP_E_OVERFLOW);
    // A failed conversion leaves the destination as it was.
    Variant kept = Variant::I4(5);
    EXPECT_EQ(VariantChangeType(&kept, &kept, 0, VT_UI1), S_OK);
    EXPECT_EQ(Change(Variant::I4(300), VT_UI1, kept), DISP_E_OVERFLOW);
    EXPECT_EQ(kept.vt, VT_UI1);
    EXPECT_EQ(kept.bVal, 5);
}

TEST(ChangeType, TextToNumbers) {
    Variant out;
    ASSERT_EQ(Change(Variant::Text(u"-1,234"), VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, -1234);
    ASSERT_EQ(Change(Variant::Text(u"18446744073709551615"), VT_UI8, out), S_OK)
        << "exact beyond 2^53";
    EXPECT_EQ(out.ullVal, 18446744073709551615ull);
    ASSERT_EQ(Change(Variant::Text(u"1.5e3"), VT_R8, out), S_OK);
    EXPECT_EQ(out.dblVal, 1500.0);
    for (const char16_t* bad : {u"", u"  ", u"12abc", u"abc", u",5", u"1e", u"--1", u"1.2.3"})
        EXPECT_EQ(Change(Variant::Text(bad), VT_I4, out), DISP_E_TYPEMISMATCH)
            << comlite::BstrToUtf8(Variant::Text(bad).bstrVal);
    // An embedded NUL makes the text unreadable rather than cut short.
    Variant withNul;
    withNul.vt = VT_BSTR;
    withNul.bstrVal = SysAllocStringLen(
        u"12\0"
        "3",
        4);
    EXPECT_EQ(Change(withNul, VT_I4, out), DISP_E_TYPEMISMATCH);
}

TEST(ChangeType, BooleansFollowAutomationRules) {
    Variant out;
    ASSERT_EQ(Change(Variant::I4(2), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE) << "any non-zero value is true, stored as -1";
    ASSERT_EQ(Change(Variant::Bool(true), VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, -1);
    ASSERT_EQ(Change(Variant::Text(u"fAlSe"), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_FALSE);
    ASSERT_EQ(Change(Variant::Text(u"0.1"), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Change(Variant::Text(u"yes"), VT_BOOL, out), DISP_E_TYPEMISMATCH);

    EXPECT_EQ(TextOf(Variant::Bool(true)), u"-1");
    EXPECT_EQ(TextOf(Variant::Bool(false)), u"0");
    EXPECT_EQ(TextOf(Variant::Bool(true), VARIANT_ALPHABOOL), u"True");
}

TEST(ChangeType, NumbersToText) {
    EXPECT_EQ(TextOf(Variant::I4(-42)), u"-42");
    EXPECT_EQ(TextOf(Variant::R8(0.1)), u"0.1");
    EXPECT_EQ(TextOf(Variant::R8(1.0 / 3)), u"0.333333333333333");
    EXPECT_EQ(TextOf(Variant::R8(1e20)), u"1E+20");
    EXPECT_EQ(TextOf(Variant::R8(-0.0)), u"0");
    Variant single;
    single.vt = VT_R4;
    single.fltVal = 0.1f;
    EXPECT_EQ(TextOf(single), u"0.1");
    EXPECT_EQ(TextOf(Variant()), u"") << "EMPTY is the empty string";
}

TEST(ChangeType, DatesInTheEnglishForm) {
    Variant date;
    date.vt = VT_DATE;
    date.date = 45322.62783564815;  // 2024-01-31 15:04:05
    EXPECT_EQ(TextOf(date), u"1/31/2024 3:04:05 PM");
    date.date = 45322;
    EXPECT_EQ(TextOf(date), u"1/31/2024") << "midnight shows the date alone";
    date.date = 0.5;
    EXPECT_EQ(TextOf(date), u"12:00:00 PM") << "day 0 shows the time alone";

    Variant out;
    for (const char16_t* text : {u"1/31/2024 3:04:05 PM", u"2024-01-31 15:04:05",
                                 u"2024-01-31T15:04:05", u"01/31/24 15:04:05"}) {
        ASSERT_EQ(Change(Variant::Text(text), VT_DATE, out), S_OK)
            << comlite::BstrToUtf8(Variant::Text(text).bstrVal);
        EXPECT_NEAR(out.date, 45322.62783564815, 1e-9);
    }
    ASSERT_EQ(Change(Variant::Text(u"12:30 AM"), VT_DATE, out), S_OK);
    EXPECT_NEAR(out.date, 30.0 / 1440, 1e-12);
    for (const char16_t* bad : {u"2/30/2024", u"2024-01-31T", u"yesterday", u"45322"})
        EXPECT_EQ(Change(Variant::Text(bad), VT_DATE, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(Variant::R8(3e6), VT_DATE, out), DISP_E_OVERFLOW) << "past 9999-12-31";
}

TEST(ChangeType, NullEmptyAndObjects) {
    Variant null;
    null.vt = VT_NULL;
    Variant out;
    EXPECT_EQ(Change(null, VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(null, VT_BSTR, out), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(Change(Variant(), VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, 0);
    Variant error;
    error.vt = VT_ERROR;
    error.scode = DISP_E_PARAMNOTFOUND;
    EXPECT_EQ(Change(error, VT_I4, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Change(Variant::I4(1), VT_VARIANT, out), DISP_E_BADVARTYPE);
    EXPECT_EQ(Change(Variant::I4(1), VT_BYREF | VT_I4, out), DISP_E_BADVARTYPE);

    // An object becomes a value through its default member, unless told not to.
    CountedObject object;
    object.defaultValue = Variant::Text(u"17");
    Variant holder;
    holder.vt = VT_DISPATCH;
    holder.pdispVal = &object;
    object.AddRef();
    ASSERT_EQ(Change(holder, VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, 17);
    EXPECT_EQ(TextOf(holder), u"17");
    EXPECT_EQ(Change(holder, VT_I4, out, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(Change(holder, VT_UNKNOWN, out), S_OK);
    EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(&object));
    out.Clear();
    holder.Clear();
    EXPECT_EQ(object.Refs(), 1u);
}

TEST(ChangeType, ReadsThroughReferencesAndConvertsInPlace) {
    DOUBLE real = 3.5;
    Variant ref;
    ref.vt = VT_BYREF | VT_R8;
    ref.pdblVal = &real;
    Variant out;
    ASSERT_EQ(Change(ref, VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, 4);

    Variant inner = Variant::Text(u"12");
    Variant varRef;
    varRef.vt = VT_BYREF | VT_VARIANT;
    varRef.pvarVal = &inner;
    ASSERT_EQ(Change(varRef, VT_UI1, out), S_OK);
    EXPECT_EQ(out.bVal, 12);

    // In place: the source string is released and replaced by the number.
    Variant v = Variant::Text(u"99");
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I8), S_OK);
    EXPECT_EQ(v.vt, VT_I8);
    EXPECT_EQ(v.llVal, 99);
}

}  // namespace
