#include <vector>

#include <gtest/gtest.h>

#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "test_calculator.h"

namespace {

using comlite::Variant;

// One IDispatch::Invoke call. Arguments are listed as they go into rgvarg, so the last one
// listed is the method's first parameter.
struct Call {
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    Variant result;
    EXCEPINFO excep{};
    UINT argErr = 999;

    ~Call() {
        for (VARIANT& v : args) VariantClear(&v);
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    Call& Arg(Variant v) {
        args.push_back(v.Detach());
        return *this;
    }
    Call& Ref(VARTYPE vt, void* target) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BYREF | vt;
        v.byref = target;
        args.push_back(v);
        return *this;
    }
    HRESULT Run(IDispatch* object, DISPID id, WORD flags = DISPATCH_METHOD,
                bool wantResult = true) {
        DISPPARAMS params{args.data(), named.data(), static_cast<UINT>(args.size()),
                          static_cast<UINT>(named.size())};
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                              wantResult ? &result : nullptr, &excep, &argErr);
    }
};

Variant Missing() {
    Variant v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

class DispatchEngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        calc.Reset();
        EXPECT_EQ(LiveTestCalcs().load(), 0) << "a reference was leaked";
    }
    TestCalc* object = new TestCalc();
    comlite::ComPtr<ITestCalc> calc = comlite::ComPtr<ITestCalc>::Attach(object);
};

TEST_F(DispatchEngineTest, ArgumentsArriveInReverseOrder) {
    Call call;
    call.Arg(Variant::I4(3)).Arg(Variant::I4(10));  // Subtract(10, 3)
    ASSERT_EQ(call.Run(calc.Get(), kDispSubtract), S_OK);
    EXPECT_EQ(call.result.vt, VT_I4);
    EXPECT_EQ(call.result.lVal, 7);
}

TEST_F(DispatchEngineTest, NamedArgumentsGoToTheirParameters) {
    // b named, a positional.
    Call mixed;
    mixed.Arg(Variant::I4(3)).Arg(Variant::I4(10));
    mixed.named = {1};
    ASSERT_EQ(mixed.Run(calc.Get(), kDispSubtract), S_OK);
    EXPECT_EQ(mixed.result.lVal, 7);

    // Both named, listed b first.
    Call both;
    both.Arg(Variant::I4(3)).Arg(Variant::I4(10));
    both.named = {1, 0};
    ASSERT_EQ(both.Run(calc.Get(), kDispSubtract), S_OK);
    EXPECT_EQ(both.result.lVal, 7);

    // A parameter given twice, or one that does not exist, is reported at its rgvarg index.
    Call twice;
    twice.Arg(Variant::I4(1)).Arg(Variant::I4(2));
    twice.named = {0};
    EXPECT_EQ(twice.Run(calc.Get(), kDispSubtract), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(twice.argErr, 1u);
    Call unknown;
    unknown.Arg(Variant::I4(1)).Arg(Variant::I4(1)).Arg(Variant::I4(1));
    unknown.named = {0, 7};
    EXPECT_EQ(unknown.Run(calc.Get(), kDispSubtract), DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(unknown.argErr, 1u);
}

TEST_F(DispatchEngineTest, NamesResolveIgnoringCase) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"sUbTrAcT"), const_cast<LPOLESTR>(u"B"),
                        const_cast<LPOLESTR>(u"a")};
    DISPID ids[3];
    ASSERT_EQ(calc->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], kDispSubtract);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 0);

    LPOLESTR partly[] = {const_cast<LPOLESTR>(u"Concat"), const_cast<LPOLESTR>(u"nope"),
                         const_cast<LPOLESTR>(u"SECOND")};
    EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, partly, 3, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], kDispConcat);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);
    EXPECT_EQ(ids[2], 1) << "known names are still resolved";

    // The value parameter of a property's put counts for the shared DISPID.
    LPOLESTR property[] = {const_cast<LPOLESTR>(u"name"), const_cast<LPOLESTR>(u"Value")};
    EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, property, 2, 0, ids), S_OK);
    EXPECT_EQ(ids[1], 0);

    LPOLESTR missing[] = {const_cast<LPOLESTR>(u"Multiply")};
    EXPECT_EQ(calc->GetIDsOfNames(IID_NULL, missing, 1, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], DISPID_UNKNOWN);
    EXPECT_EQ(calc->GetIDsOfNames(IID_IDispatch, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchEngineTest, PropertyPutNeedsThePutDispidAndGetReadsItBack) {
    Call unnamed;
    unnamed.Arg(Variant::Text(u"pump 3"));
    EXPECT_EQ(unnamed.Run(calc.Get(), kDispName, DISPATCH_PROPERTYPUT), DISP_E_PARAMNOTFOUND);

    Call put;
    put.Arg(Variant::Text(u"pump 3"));
    put.named = {DISPID_PROPERTYPUT};
    ASSERT_EQ(put.Run(calc.Get(), kDispName, DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(put.result.vt, VT_EMPTY);

    // Script hosts read properties with METHOD | PROPERTYGET.
    Call get;
    ASSERT_EQ(get.Run(calc.Get(), kDispName, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
    ASSERT_EQ(get.result.vt, VT_BSTR);
    EXPECT_EQ(comlite::BstrView(get.result.bstrVal), u"pump 3");

    // The put DISPID is meaningless for anything but a put.
    Call wrong;
    wrong.Arg(Variant::I4(1)).Arg(Variant::I4(1));
    wrong.named = {DISPID_PROPERTYPUT};
    EXPECT_EQ(wrong.Run(calc.Get(), kDispSubtract), DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchEngineTest, MembersAreMatchedByDispidAndKind) {
    Call call;
    EXPECT_EQ(call.Run(calc.Get(), 4242), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(call.Run(calc.Get(), kDispThrow, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(calc->Invoke(kDispThrow, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                           nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST_F(DispatchEngineTest, OutParametersAcceptTypedAndVariantReferences) {
    LONG quotient = 0;
    Variant remainder = Variant::Text(u"old value, released when overwritten");
    Call call;
    call.Ref(VT_VARIANT, &remainder).Ref(VT_I4, &quotient).Arg(Variant::I4(5)).Arg(Variant::I4(17));
    ASSERT_EQ(call.Run(calc.Get(), kDispDivide), S_OK);
    EXPECT_EQ(quotient, 3);
    ASSERT_EQ(remainder.vt, VT_I4);
    EXPECT_EQ(remainder.lVal, 2);
    EXPECT_EQ(call.result.vt, VT_BOOL);
    EXPECT_EQ(call.result.boolVal, VARIANT_TRUE);

    BSTR text = nullptr;
    Variant value = Variant::I4(1);
    Call describe;
    describe.Ref(VT_VARIANT, &value).Ref(VT_BSTR, &text);
    ASSERT_EQ(describe.Run(calc.Get(), kDispDescribe), S_OK);
    EXPECT_EQ(comlite::BstrView(text), u"calculator");
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(comlite::BstrView(value.bstrVal), u"value");
    SysFreeString(text);

    Variant textAsVariant;
    Call viaVariant;
    viaVariant.Ref(VT_VARIANT, &value).Ref(VT_VARIANT, &textAsVariant);
    ASSERT_EQ(viaVariant.Run(calc.Get(), kDispDescribe), S_OK);
    ASSERT_EQ(textAsVariant.vt, VT_BSTR);
    EXPECT_EQ(comlite::BstrView(textAsVariant.bstrVal), u"calculator");
}

TEST_F(DispatchEngineTest, OutParametersOfTheWrongKindAreTypeMismatches) {
    SHORT small = 0;
    LONG other = 0;
    Call wrongType;
    wrongType.Ref(VT_I4, &other).Ref(VT_I2, &small).Arg(Variant::I4(5)).Arg(Variant::I4(17));
    EXPECT_EQ(wrongType.Run(calc.Get(), kDispDivide), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(wrongType.argErr, 1u);

    Call byValue;
    byValue.Arg(Variant::I4(0)).Ref(VT_I4, &other).Arg(Variant::I4(5)).Arg(Variant::I4(17));
    EXPECT_EQ(byValue.Run(calc.Get(), kDispDivide), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(byValue.argErr, 0u);
}

TEST_F(DispatchEngineTest, InOutParametersSeeAndReplaceTheCallersValue) {
    LONG counter = 41;
    Call typed;
    typed.Ref(VT_I4, &counter);
    ASSERT_EQ(typed.Run(calc.Get(), kDispBump), S_OK);
    EXPECT_EQ(counter, 42);

    // Through a VARIANT reference the value is coerced in and the result written back typed.
    Variant holder = Variant::Text(u"9");
    Call coerced;
    coerced.Ref(VT_VARIANT, &holder);
    ASSERT_EQ(coerced.Run(calc.Get(), kDispBump), S_OK);
    ASSERT_EQ(holder.vt, VT_I4);
    EXPECT_EQ(holder.lVal, 10);

    Variant notANumber = Variant::Text(u"nine");
    Call refused;
    refused.Ref(VT_VARIANT, &notANumber);
    EXPECT_EQ(refused.Run(calc.Get(), kDispBump), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(notANumber.vt, VT_BSTR) << "the caller's value is untouched after a failure";
}

TEST_F(DispatchEngineTest, ResultsAreReleasedWhenTheCallerWantsNone) {
    // LeakSanitizer fails the run if the returned BSTR or VARIANT is not freed.
    Call concat;
    concat.Arg(Variant::Text(u"b")).Arg(Variant::Text(u"a"));
    ASSERT_EQ(concat.Run(calc.Get(), kDispConcat, DISPATCH_METHOD, false), S_OK);
    Call echo;
    echo.Arg(Variant::Text(u"echo"));
    ASSERT_EQ(echo.Run(calc.Get(), kDispEcho, DISPATCH_METHOD, false), S_OK);
}

TEST_F(DispatchEngineTest, InArgumentsAreCoercedWithTheirIndexReportedOnFailure) {
    Call call;
    call.Arg(Variant::R8(2.5))              // byte: banker's rounding
        .Arg(Variant::Text(u"2024-01-31"))  // when
        .Arg(Variant::I4(7))                // real
        .Arg(Variant::Text(u"True"))        // flag
        .Arg(Variant::Text(u"-12"));        // small
    ASSERT_EQ(call.Run(calc.Get(), kDispStore), S_OK);
    EXPECT_EQ(object->small, -12);
    EXPECT_EQ(object->flag, VARIANT_TRUE);
    EXPECT_EQ(object->real, 7.0);
    EXPECT_EQ(object->when, 45322.0);
    EXPECT_EQ(object->byte, 2);

    Call mismatch;
    mismatch.Arg(Variant::I4(1)).Arg(Variant::Text(u"ten"));
    EXPECT_EQ(mismatch.Run(calc.Get(), kDispSubtract), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(mismatch.argErr, 1u) << "rgvarg index of the first parameter";

    Call overflow;
    overflow.Arg(Variant::I4(256)).Arg(Variant()).Arg(Variant()).Arg(Variant()).Arg(Variant());
    EXPECT_EQ(overflow.Run(calc.Get(), kDispStore), DISP_E_OVERFLOW);
    EXPECT_EQ(overflow.argErr, 0u);

    // Currency and decimal parameters: coerced in, written out whole and typed again.
    Variant negated = Variant::Text(u"old");
    Call decimal;
    decimal.Ref(VT_VARIANT, &negated).Arg(Variant::Text(u"-12.50"));
    ASSERT_EQ(decimal.Run(calc.Get(), kDispNegate), S_OK);
    ASSERT_EQ(decimal.result.vt, VT_DECIMAL);
    ASSERT_EQ(negated.vt, VT_DECIMAL);
    Variant text;
    ASSERT_EQ(VariantChangeType(&text, &decimal.result, 0, VT_BSTR), S_OK);
    EXPECT_EQ(comlite::BstrView(text.bstrVal), u"-12.5");
    ASSERT_EQ(VariantChangeType(&text, &negated, 0, VT_BSTR), S_OK);
    EXPECT_EQ(comlite::BstrView(text.bstrVal), u"12.5");
    Call price;
    price.named.push_back(DISPID_PROPERTYPUT);
    price.Arg(Variant::R8(2.67449));
    ASSERT_EQ(price.Run(calc.Get(), kDispPrice, DISPATCH_PROPERTYPUT, false), S_OK);
    Call total;
    total.Arg(Variant::Text(u"3"));
    ASSERT_EQ(total.Run(calc.Get(), kDispTotal), S_OK);
    ASSERT_EQ(total.result.vt, VT_CY);
    EXPECT_EQ(total.result.cyVal.int64, 80235) << "2.6745 (rounded to 4 places) times 3";

    // Script hosts pass variables by reference; the method still gets the plain value.
    Variant held = Variant::Text(u"x");
    Call byRef;
    byRef.Ref(VT_VARIANT, &held);
    ASSERT_EQ(byRef.Run(calc.Get(), kDispEcho), S_OK);
    ASSERT_EQ(byRef.result.vt, VT_BSTR);
    EXPECT_EQ(comlite::BstrView(byRef.result.bstrVal), u"x");
}

TEST_F(DispatchEngineTest, ArgumentCountsAndOptionalParameters) {
    Call tooMany;
    tooMany.Arg(Variant::I4(1)).Arg(Variant::I4(2)).Arg(Variant::I4(3));
    EXPECT_EQ(tooMany.Run(calc.Get(), kDispSubtract), DISP_E_BADPARAMCOUNT);
    Call tooFew;
    tooFew.Arg(Variant::I4(1));
    EXPECT_EQ(tooFew.Run(calc.Get(), kDispSubtract), DISP_E_BADPARAMCOUNT);

    Call omitted;
    omitted.Arg(Variant::I4(1));
    ASSERT_EQ(omitted.Run(calc.Get(), kDispEcho), S_OK);
    EXPECT_EQ(object->lastExtra.vt, VT_ERROR);
    EXPECT_EQ(object->lastExtra.scode, DISP_E_PARAMNOTFOUND);

    // A marked-missing argument is fine where optional, an error where required.
    Call markedOptional;
    markedOptional.Arg(Missing()).Arg(Variant::I4(1));
    EXPECT_EQ(markedOptional.Run(calc.Get(), kDispEcho), S_OK);
    Call markedRequired;
    markedRequired.Arg(Variant::I4(1)).Arg(Missing());
    EXPECT_EQ(markedRequired.Run(calc.Get(), kDispSubtract), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(markedRequired.argErr, 1u);
}

TEST_F(DispatchEngineTest, FailuresBecomeExceptionsFilledFromTheErrorObject) {
    Call fail;
    fail.Arg(Variant::Text(u"Queue is full!"));
    ASSERT_EQ(fail.Run(calc.Get(), kDispFail), DISP_E_EXCEPTION);
    EXPECT_EQ(static_cast<std::uint32_t>(fail.excep.scode), 0x8004201Eu);
    EXPECT_EQ(comlite::BstrView(fail.excep.bstrSource), u"QORCom.TestCalc");
    EXPECT_EQ(comlite::BstrView(fail.excep.bstrDescription), u"Queue is full!");
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE) << "the error object was handed over";

    // Without EXCEPINFO the caller gets the method's own code; the error object stays for it.
    Call bare;
    bare.Arg(Variant::Text(u"no room"));
    DISPPARAMS params{bare.args.data(), nullptr, 1, 0};
    EXPECT_EQ(static_cast<std::uint32_t>(calc->Invoke(kDispFail, IID_NULL, 0, DISPATCH_METHOD,
                                                      &params, nullptr, nullptr, nullptr)),
              0x8004201Eu);
    ASSERT_EQ(GetErrorInfo(0, &left), S_OK);
    comlite::Bstr description;
    left->GetDescription(description.Put());
    EXPECT_EQ(description.View(), u"no room");
    left->Release();

    Call thrown;
    ASSERT_EQ(thrown.Run(calc.Get(), kDispThrow), DISP_E_EXCEPTION);
    EXPECT_EQ(thrown.excep.scode, E_FAIL);
    EXPECT_EQ(comlite::BstrView(thrown.excep.bstrDescription), u"thrown from C++");
}

TEST_F(DispatchEngineTest, AStaleErrorObjectNeverDescribesALaterFailure) {
    comlite::ReportError(E_FAIL, u"earlier", u"an old problem");
    Call call;
    call.Arg(Variant::I4(1)).Arg(Variant::I4(2));
    ASSERT_EQ(call.Run(calc.Get(), kDispSubtract), S_OK);
    IErrorInfo* left = nullptr;
    EXPECT_EQ(GetErrorInfo(0, &left), S_FALSE) << "Invoke clears the slot before calling";
}

}  // namespace
