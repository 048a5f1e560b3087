#include <gtest/gtest.h>

#include "comlite/activation.h"
#include "comlite/com_ptr.h"
#include "comlite/error_info.h"
#include "comlite/registry.h"
#include "support/scratch_dir.h"
#include "test_calculator.h"

namespace {

using comlite::Variant;

constexpr CLSID kUnservedClass = comlite::MakeGuid("{6A1E3C54-0B7D-4E59-9C1F-2D8B5A7E4F10}");

class ActivationTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Registered as a server's registration does it: both ProgIDs, the versioned one current.
        Register([](comlite::RegistryTree& t) {
            const std::string clsid = "HKCR\\CLSID\\" + comlite::GuidToString(CLSID_TestCalc);
            return t.SetValue(clsid, "", std::string("Comlite Test Calculator")) &&
                   t.SetValue(clsid + "\\InprocServer32", "", std::string(COMLITE_TEST_SERVER)) &&
                   t.SetValue(clsid + "\\InprocServer32", "ThreadingModel",
                              std::string("Apartment")) &&
                   t.SetValue(clsid + "\\ProgID", "", std::string("ComliteTest.Calculator.1")) &&
                   t.SetValue("HKCR\\ComliteTest.Calculator\\CurVer", "",
                              std::string("ComliteTest.Calculator.1")) &&
                   t.SetValue("HKCR\\ComliteTest.Calculator.1\\CLSID", "",
                              comlite::GuidToString(CLSID_TestCalc));
        });
    }
    void Register(const std::function<bool(comlite::RegistryTree&)>& change) {
        std::string error;
        ASSERT_TRUE(comlite::RegistryFile().Update(change, &error)) << error;
    }
    void RegisterServer(const CLSID& clsid, const std::string& path) {
        Register([&](comlite::RegistryTree& t) {
            return t.SetValue("HKCR\\CLSID\\" + comlite::GuidToString(clsid) + "\\InprocServer32",
                              "", path);
        });
    }

    tw::test::ScratchDir dir;
    tw::test::ScopedEnv registry{"COMLITE_REGISTRY", dir.File("registry.reg")};
    tw::test::ScopedEnv lockDir{"TIDEWELL_LOCK_DIR", dir.Path()};
};

TEST_F(ActivationTest, CreateByProgIdAndCallThroughDispatch) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"comlitetest.CALCULATOR", &clsid), S_OK)
        << comlite::LastActivationError();
    EXPECT_EQ(clsid, CLSID_TestCalc) << "found through CurVer, ignoring case";
    EXPECT_EQ(CLSIDFromString(u"ComliteTest.Calculator.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_TestCalc);

    LPOLESTR progId = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progId), S_OK);
    EXPECT_EQ(std::u16string_view(progId), u"ComliteTest.Calculator.1");
    CoTaskMemFree(progId);

    comlite::ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.PutVoid()), S_OK)
        << comlite::LastActivationError();
    LPOLESTR name = const_cast<LPOLESTR>(u"subtract");
    DISPID id = 0;
    ASSERT_EQ(object->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[0].vt = args[1].vt = VT_I4;
    args[0].lVal = 3;
    args[1].lVal = 10;
    DISPPARAMS params{args, nullptr, 2, 0};
    Variant result;
    ASSERT_EQ(object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(result.lVal, 7);
}

TEST_F(ActivationTest, TheServersErrorObjectReachesTheCaller) {
    // The server module and this program share libcomlite.so, hence one error slot.
    comlite::ComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                               object.PutVoid()),
              S_OK);
    Variant message = Variant::Text(u"Channel not open.");
    DISPPARAMS params{&message, nullptr, 1, 0};
    EXPECT_EQ(static_cast<std::uint32_t>(object->Invoke(kDispFail, IID_NULL, 0, DISPATCH_METHOD,
                                                        &params, nullptr, nullptr, nullptr)),
              0x8004201Eu);
    IErrorInfo* info = nullptr;
    ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
    comlite::Bstr text;
    info->GetDescription(text.Put());
    EXPECT_EQ(text.View(), u"Channel not open.");
    info->Release();
}

TEST_F(ActivationTest, EachFailureHasItsOwnCode) {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"QORCom.Nothing", &clsid), CO_E_CLASSSTRING);
    EXPECT_NE(comlite::LastActivationError().find("QORCom.Nothing"), std::string::npos);
    EXPECT_EQ(clsid, CLSID_NULL);
    EXPECT_EQ(CLSIDFromString(u"{6A1E3C54-0B7D-4E59-9C1F-2D8B5A7E4F1}", &clsid), CO_E_CLASSSTRING);

    comlite::ComPtr<IUnknown> object;
    EXPECT_EQ(CoCreateInstance(kUnservedClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                               object.PutVoid()),
              REGDB_E_CLASSNOTREG)
        << "only in-process servers exist here";

    RegisterServer(kUnservedClass, dir.File("missing.so"));
    EXPECT_EQ(CoCreateInstance(kUnservedClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              CO_E_DLLNOTFOUND);
    EXPECT_NE(comlite::LastActivationError().find("missing.so"), std::string::npos)
        << comlite::LastActivationError();

    RegisterServer(kUnservedClass, COMLITE_LIBRARY);  // a library without DllGetClassObject
    EXPECT_EQ(CoCreateInstance(kUnservedClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              CO_E_ERRORINDLL);

    RegisterServer(kUnservedClass, COMLITE_TEST_SERVER);  // loads, but does not serve that class
    EXPECT_EQ(CoCreateInstance(kUnservedClass, nullptr, CLSCTX_ALL, IID_IUnknown, object.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(object);

    comlite::ComPtr<IUnknown> outer;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, reinterpret_cast<IUnknown*>(&clsid), CLSCTX_ALL,
                               IID_IUnknown, object.PutVoid()),
              CLASS_E_NOAGGREGATION)
        << "the factory's answer comes through unchanged";

    tw::test::ScopedEnv broken("COMLITE_REGISTRY", dir.Write("broken.reg", "no key here\n"));
    EXPECT_EQ(CLSIDFromProgID(u"ComliteTest.Calculator", &clsid), REGDB_E_READREGDB);
}

}  // namespace
