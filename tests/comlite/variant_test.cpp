#include <cstring>

#include <gtest/gtest.h>

#include "comlite/variant.h"
#include "counted_object.h"

namespace {

using comlite::Variant;

SAFEARRAY* VectorOf(std::initializer_list<VARIANT*> values) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
    LONG i = 0;
    for (VARIANT* v : values) {
        EXPECT_EQ(SafeArrayPutElement(array, &i, v), S_OK);
        ++i;
    }
    return array;
}

TEST(VariantCopy, DuplicatesStringsExactlyIncludingOddLengths) {
    Variant source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringByteLen("a\0bcd", 5);
    Variant copy;
    ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, source.bstrVal) << "a deep copy, not a shared pointer";
    EXPECT_EQ(SysStringByteLen(copy.bstrVal), 5u);
    EXPECT_EQ(std::memcmp(copy.bstrVal, "a\0bcd", 5), 0);
}

TEST(VariantCopy, TakesInterfaceReferencesAndClearReleasesThem) {
    CountedObject object;
    {
        Variant held;
        held.vt = VT_DISPATCH;
        held.pdispVal = &object;
        object.AddRef();
        Variant copy = held;
        EXPECT_EQ(object.Refs(), 3u);
        // Copying over a variant that already holds a reference releases that one first.
        copy = held;
        EXPECT_EQ(object.Refs(), 3u);
    }
    EXPECT_EQ(object.Refs(), 1u);
}

TEST(VariantCopy, CopiesArraysDeeplyAndReferencesShallowly) {
    CountedObject object;
    Variant text = Variant::Text(u"first");
    Variant ref;
    ref.vt = VT_UNKNOWN;
    ref.punkVal = &object;
    object.AddRef();
    Variant array;
    array.vt = VT_ARRAY | VT_VARIANT;
    array.parray = VectorOf({&text, &ref});
    EXPECT_EQ(object.Refs(), 3u);

    Variant copy = array;
    ASSERT_EQ(copy.vt, VT_ARRAY | VT_VARIANT);
    ASSERT_NE(copy.parray, array.parray);
    EXPECT_EQ(object.Refs(), 4u);
    // Changing the original's element leaves the copy alone.
    LONG zero = 0;
    Variant replaced = Variant::Text(u"changed");
    ASSERT_EQ(SafeArrayPutElement(array.parray, &zero, &replaced), S_OK);
    Variant element;
    ASSERT_EQ(SafeArrayGetElement(copy.parray, &zero, &element), S_OK);
    EXPECT_EQ(comlite::BstrView(element.bstrVal), u"first");

    // A VT_BYREF variant copies the reference; VariantCopyInd copies the value.
    LONG number = 7;
    Variant byref;
    byref.vt = VT_BYREF | VT_I4;
    byref.plVal = &number;
    Variant sameRef, value;
    ASSERT_EQ(VariantCopy(&sameRef, &byref), S_OK);
    EXPECT_EQ(sameRef.plVal, &number);
    ASSERT_EQ(VariantCopyInd(&value, &byref), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 7);

    copy.Clear();
    array.Clear();
    ref.Clear();
    EXPECT_EQ(object.Refs(), 1u);
}

TEST(VariantCopy, DereferencesAVariantReferenceInPlace) {
    Variant target = Variant::Text(u"inner");
    Variant v;
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = &target;
    ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
    ASSERT_EQ(v.vt, VT_BSTR);
    EXPECT_NE(v.bstrVal, target.bstrVal);
    EXPECT_EQ(comlite::BstrView(v.bstrVal), u"inner");
}

TEST(VariantClear, RefusesUnsupportedTypesAndLockedArrays) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_RECORD;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    v.vt = VT_VARIANT;  // only legal by reference
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    Variant other;
    EXPECT_EQ(VariantCopy(&other, &v), DISP_E_BADVARTYPE);

    v.vt = VT_ARRAY | VT_BSTR;
    v.parray = SafeArrayCreateVector(VT_BSTR, 0, 1);
    ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_BSTR) << "nothing released while locked";
    ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(SafeArray, BoundsAndElementAccess) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 1, 3);
    ASSERT_NE(array, nullptr);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(array, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(lower, 1);
    EXPECT_EQ(upper, 3);
    EXPECT_EQ(SafeArrayGetLBound(array, 2, &lower), DISP_E_BADINDEX);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array, &vt), S_OK);
    EXPECT_EQ(vt, VT_BSTR);

    // For BSTR arrays the string itself is passed, and a copy is stored.
    comlite::Bstr text(u"two");
    LONG index = 2;
    ASSERT_EQ(SafeArrayPutElement(array, &index, text.Get()), S_OK);
    BSTR out = nullptr;
    ASSERT_EQ(SafeArrayGetElement(array, &index, &out), S_OK);
    EXPECT_NE(out, text.Get());
    EXPECT_EQ(comlite::BstrView(out), u"two");
    SysFreeString(out);

    for (LONG bad : {0, 4}) {
        EXPECT_EQ(SafeArrayGetElement(array, &bad, &out), DISP_E_BADINDEX) << bad;
        EXPECT_EQ(SafeArrayPutElement(array, &bad, text.Get()), DISP_E_BADINDEX) << bad;
    }

    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(comlite::BstrView(static_cast<BSTR*>(data)[1]), u"two");
    ASSERT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED) << "unlocking more than locked";
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(SafeArray, OnlyOneDimensionAndKnownElementTypes) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_I4, 2, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 1), nullptr);
    SAFEARRAY* empty = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    ASSERT_NE(empty, nullptr);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    SAFEARRAY* copy = nullptr;
    EXPECT_EQ(SafeArrayCopy(empty, &copy), S_OK);
    SafeArrayDestroy(copy);
    SafeArrayDestroy(empty);
}

}  // namespace
