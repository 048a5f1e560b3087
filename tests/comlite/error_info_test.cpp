#include <thread>

#include <gtest/gtest.h>

#include "comlite/bstr.h"
#include "comlite/error_info.h"

namespace {

std::u16string DescriptionOf(IErrorInfo* info) {
    comlite::Bstr text;
    EXPECT_EQ(info->GetDescription(text.Put()), S_OK);
    return std::u16string(text.View());
}

TEST(ErrorInfo, GetHandsTheObjectOverOnce) {
    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(CreateErrorInfo(&create), S_OK);
    create->SetSource(const_cast<LPOLESTR>(u"QORCom.LockFile"));
    create->SetDescription(const_cast<LPOLESTR>(u"Lock failed"));
    create->SetHelpContext(12);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
    ASSERT_EQ(SetErrorInfo(0, info), S_OK);
    info->Release();
    create->Release();

    IErrorInfo* got = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
    EXPECT_EQ(DescriptionOf(got), u"Lock failed");
    comlite::Bstr source;
    got->GetSource(source.Put());
    EXPECT_EQ(source.View(), u"QORCom.LockFile");
    DWORD context = 0;
    got->GetHelpContext(&context);
    EXPECT_EQ(context, 12u);
    got->Release();

    EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
    EXPECT_EQ(got, nullptr);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
    comlite::ReportError(E_FAIL, u"main", u"set on the main thread");
    std::thread other([] {
        IErrorInfo* info = nullptr;
        EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE) << "another thread's error is invisible";
        // Left set when the thread ends: released then (LeakSanitizer checks).
        comlite::ReportError(E_FAIL, u"worker", u"set on the worker");
    });
    other.join();
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    EXPECT_EQ(DescriptionOf(info), u"set on the main thread");
    info->Release();
}

TEST(ErrorInfo, ReplacingAndClearingReleaseTheOldObject) {
    EXPECT_EQ(comlite::ReportErrorUtf8(E_ABORT, "first", "erste"), E_ABORT);
    EXPECT_EQ(comlite::ReportErrorUtf8(E_FAIL, "second", "zweite \xC3\xBC"), E_FAIL);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    EXPECT_EQ(DescriptionOf(info), u"zweite \u00FC");
    info->Release();

    comlite::ReportError(E_FAIL, u"x", u"cleared below");
    EXPECT_EQ(SetErrorInfo(0, nullptr), S_OK);
    EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
    EXPECT_EQ(SetErrorInfo(1, nullptr), E_INVALIDARG);
}

}  // namespace
