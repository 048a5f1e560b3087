#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <map>

#include "qorcom/frame/component_table.h"
#include "qorcom/frame/factory.h"
#include "qorcom/frame/lock_file.h"
#include "qorcom/frame/log_message.h"
#include "qorcom/remote/ras.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::ComPtr;
using comlite::Variant;
using test::Create;
using test::CreateDispatch;

// An aggregating object: hands out its own identity and delegates IQORLockFile to the inner
// object, whose non-delegating IUnknown it holds.
class Aggregator final : public IUnknown {
public:
    std::atomic<ULONG> refs{1};
    IUnknown* inner = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (riid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, object) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
};

TEST(QorcomFrameTest, ClassObjectsOnlyForTableClassesAndFactoryInterfaces) {
    ComPtr<IUnknown> object;
    EXPECT_EQ(DllGetClassObject(CLSID_QORLockFile, IID_IDispatch, object.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(object);
    EXPECT_EQ(DllGetClassObject(IID_IQORLockFile, IID_IClassFactory, object.PutVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(object);
    ASSERT_EQ(DllGetClassObject(CLSID_QORLockFile, IID_IUnknown, object.PutVoid()), S_OK);
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(object.As(IID_IClassFactory, factory), S_OK);
    ComPtr<IDispatch> notAFactory;
    EXPECT_EQ(object.As(IID_IDispatch, notAFactory), E_NOINTERFACE);
}

TEST(QorcomFrameTest, BothRasProgIdRowsServeOneClassAndTheFirstRowWins) {
    std::vector<std::string> rasProgIds;
    for (const ComponentRow& row : ComponentTable())
        if (*row.clsid == CLSID_QORRas)
            rasProgIds.push_back(row.progId);
    EXPECT_EQ(rasProgIds, (std::vector<std::string>{"QORPost.Ras", "QORCom.Ras"}));
    EXPECT_STREQ(FindComponent(CLSID_QORRas)->progId, "QORPost.Ras");
    // Whichever ProgID created it, the object raises errors as the "QORCom." component.
    auto ras = Create<IQORRas>(CLSID_QORRas, IID_IQORRas);
    ASSERT_TRUE(ras);
    EXPECT_EQ(static_cast<CRas*>(ras.Get())->ErrorSource(), "QORCom.Ras");
}

TEST(QorcomFrameTest, CreationCountsLiveObjectsAndServerLocksDecideUnloading) {
    const LONG before = LiveObjectCount();
    ASSERT_EQ(before, 0) << "another test leaked an object";
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(CLSID_QORLogMessage, IID_IClassFactory, factory.PutVoid()), S_OK);
    {
        ComPtr<IDispatch> object;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.PutVoid()), S_OK);
        EXPECT_EQ(LiveObjectCount(), before + 1);
        EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(LiveObjectCount(), before);
    EXPECT_EQ(DllCanUnloadNow(), S_OK) << "factories do not keep the library";

    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    factory->LockServer(FALSE);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);

    // An interface the class lacks: the object is made, refused, and destroyed.
    ComPtr<IUnknown> none;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, none.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(none);
    EXPECT_EQ(LiveObjectCount(), before);
}

TEST(QorcomFrameTest, AggregationHandsTheNondelegatingUnknownAndDelegatesTheRest) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(CLSID_QORLockFile, IID_IClassFactory, factory.PutVoid()), S_OK);
    Aggregator outer;
    void* refused = &outer;
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IQORLockFile, &refused), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(refused, nullptr);

    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
              S_OK);
    const ULONG outerRefs = outer.refs;

    // The inner unknown does not delegate: asking it for IUnknown gives itself.
    ComPtr<IUnknown> innerIdentity;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IUnknown, innerIdentity.PutVoid()), S_OK);
    EXPECT_EQ(innerIdentity.Get(), outer.inner);
    innerIdentity.Reset();

    // Interfaces reached through the inner object count on, and answer for, the outer one.
    IQORLockFile* lock = nullptr;
    ASSERT_EQ(outer.inner->QueryInterface(IID_IQORLockFile, reinterpret_cast<void**>(&lock)), S_OK);
    EXPECT_EQ(outer.refs, outerRefs + 1);
    ComPtr<IUnknown> identity;
    ASSERT_EQ(lock->QueryInterface(IID_IUnknown, identity.PutVoid()), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    lock->Release();
    EXPECT_EQ(outer.refs, outerRefs);

    const LONG live = LiveObjectCount();
    outer.inner->Release();
    EXPECT_EQ(LiveObjectCount(), live - 1);
}

TEST(QorcomFrameTest, QueryInterfaceAndErrorSupportPerComponent) {
    auto log = CreateDispatch(CLSID_QORLogMessage);
    ASSERT_TRUE(log);
    ComPtr<IUnknown> derived, base, dispatch;
    ASSERT_EQ(log.As(IID_IQORLogMessage, derived), S_OK);
    ASSERT_EQ(log.As(IID_IQOROutputMessage, base), S_OK);
    EXPECT_EQ(derived.Get(), base.Get()) << "the base interface shares the derived face";
    EXPECT_EQ(derived.Get(), static_cast<IUnknown*>(log.Get()));

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(log.As(IID_ISupportErrorInfo, support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IQORLogMessage), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IQORLockFile), S_FALSE);
    ComPtr<IUnknown> other;
    EXPECT_EQ(log.As(IID_IQORLockFile, other), E_NOINTERFACE);
}

TEST(QorcomFrameTest, TypeInformationAndInterfaceIdChecks) {
    auto lock = CreateDispatch(CLSID_QORLockFile);
    ASSERT_TRUE(lock);
    UINT count = 7;
    EXPECT_EQ(lock->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
    EXPECT_EQ(lock->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);

    std::u16string name = u"Lock";
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    EXPECT_EQ(lock->GetIDsOfNames(IID_IQORLockFile, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant result;
    EXPECT_EQ(lock->Invoke(0x60020000, IID_IQORLockFile, 0, DISPATCH_METHOD, &none, &result,
                           nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
}

TEST(QorcomFrameTest, RaisedErrorCarriesTheComponentNameAndTheNextInvokeClearsIt) {
    tw::test::ScratchDir dir;
    tw::test::ScopedEnv locks("TIDEWELL_LOCK_DIR", dir.Path());
    auto log = CreateDispatch(CLSID_QORLogMessage);
    auto lock = CreateDispatch(CLSID_QORLockFile);
    const std::string bad = dir.File("missing/dir/x.log");
    EXPECT_EQ(test::Put(log.Get(), "LogFile", Variant::TextUtf8(bad)), HRESULT(0x80040000));
    EXPECT_EQ(test::TakeError(), "QORCom.LogMessage: Unable to set log file to " + bad + ".");

    test::Put(log.Get(), "LogFile", Variant::TextUtf8(bad));
    Variant name;
    EXPECT_EQ(test::Call(lock.Get(), "Filename", {}, &name), S_OK);
    EXPECT_EQ(test::TakeError(), "") << "cleared by a call on another object";

    // Through EXCEPINFO, as script hosts ask for it.
    Variant path = Variant::TextUtf8(bad);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&path, &named, 1, 1};
    EXCEPINFO exception{};
    EXPECT_EQ(log->Invoke(test::IdOf(log.Get(), "LogFile"), IID_NULL, 0, DISPATCH_PROPERTYPUT,
                          &params, nullptr, &exception, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, HRESULT(0x80040000));
    EXPECT_EQ(comlite::BstrToUtf8(exception.bstrSource), "QORCom.LogMessage");
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

// A component whose second construction step fails, as a type library that cannot be loaded
// made it fail.
class FailingInit final : public GenericDispatchObject<IQORLockFile> {
public:
    static constexpr HRESULT kFailure = HRESULT(0x80029C4A);
    explicit FailingInit(IUnknown* outer) : GenericDispatchObject(outer, "QORCom.FailingInit") {}
    HRESULT Init() override { return kFailure; }
    HRESULT STDMETHODCALLTYPE Lock(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unlock(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Filename(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Filename(BSTR) override { return E_NOTIMPL; }
};

TEST(QorcomFrameTest, InitFailureReachesTheCreatorAndDestroysTheObject) {
    static constexpr CLSID kClass = comlite::MakeGuid("{5B0C1D2E-3F40-4A5B-8C6D-7E8F90A1B2C3}");
    static const ComponentRow row{&kClass,
                                  &CreateComponent<FailingInit>,
                                  "Failing",
                                  "QORCom.Failing",
                                  "QORCom.Failing.1",
                                  &LIBID_QORComLib,
                                  "Apartment"};
    const LONG before = LiveObjectCount();
    auto* factory = new CFactory(row);
    void* object = factory;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &object), FailingInit::kFailure);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(LiveObjectCount(), before);
    factory->Release();
}

// Every member of every built interface, by name, with its DISPID as the type library numbers
// them and the kind of access.
struct MemberRow {
    const CLSID* clsid;
    const char* name;
    DISPID dispid;
    WORD kinds;
};
constexpr WORD kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kMethod = DISPATCH_METHOD;
const MemberRow kMembers[] = {
    {&CLSID_QORLockFile, "Lock", 0x60020000, kMethod},
    {&CLSID_QORLockFile, "Unlock", 0x60020001, kMethod},
    {&CLSID_QORLockFile, "Filename", 0x60020002, kGet | kPut},
    {&CLSID_QORLogMessage, "NumMessages", 0x60020000, kGet},
    {&CLSID_QORLogMessage, "ResetNumMessages", 0x60020001, kMethod},
    {&CLSID_QORLogMessage, "Output", 0x60020002, kMethod},
    {&CLSID_QORLogMessage, "Site", 0x60030000, kGet | kPut},
    {&CLSID_QORLogMessage, "MaxSize", 0x60030002, kGet | kPut},
    {&CLSID_QORLogMessage, "ShrinkPercentage", 0x60030004, kGet | kPut},
    {&CLSID_QORLogMessage, "LogFile", 0x60030006, kGet | kPut},
    {&CLSID_QORLogMessage, "Header", 0x60030008, kGet | kPut},
    {&CLSID_QORLogMessage, "HeaderSeparator", 0x6003000a, kGet | kPut},
    {&CLSID_QORLogMessage, "ClearLog", 0x6003000c, kMethod},
    {&CLSID_QORLogMessage, "IsEmpty", 0x6003000d, kMethod},
    {&CLSID_QORLogMessage, "GetHeaderSize", 0x6003000e, kMethod},
    {&CLSID_QORRas, "Installed", 0x60020000, kGet},
    {&CLSID_QORRas, "GetFirstEntry", 0x60020001, kMethod},
    {&CLSID_QORRas, "GetNextEntry", 0x60020002, kMethod},
    {&CLSID_QORRas, "GetFirstConnection", 0x60020003, kMethod},
    {&CLSID_QORRas, "GetNextConnection", 0x60020004, kMethod},
    {&CLSID_QORRas, "Dial", 0x60020005, kMethod},
    {&CLSID_QORRas, "HangUp", 0x60020006, kMethod},
    {&CLSID_QORRas, "ConnectionNotification", 0x60020007, kMethod},
    {&CLSID_QORRas, "Connected", 0x60020008, kGet},
    {&CLSID_QORRas, "Connecting", 0x60020009, kGet},
    {&CLSID_QORRas, "Disconnected", 0x6002000a, kGet},
    {&CLSID_QORRas, "GetResultString", 0x6002000b, kMethod},
    {&CLSID_QORGlobalQueue, "Name", 0x60020000, kGet | kPut},
    {&CLSID_QORGlobalQueue, "Empty", 0x60020002, kGet},
    {&CLSID_QORGlobalQueue, "Add", 0x60020003, kMethod},
    {&CLSID_QORGlobalQueue, "Remove", 0x60020004, kMethod},
    {&CLSID_QORGlobalQueue, "Visibility", 0x60020005, kGet | kPut},
    {&CLSID_QORSoundex, "Soundex", 0x60020000, kMethod},
    {&CLSID_QORSoundex, "SoundexPercentage", 0x60020001, kMethod},
    {&CLSID_QORFindFiles, "Find", 0x60020000, kMethod},
    {&CLSID_QORDriveOverrider, "Add", 0x60020000, kMethod},
    {&CLSID_QORDriveOverrider, "OverridePath", 0x60020001, kMethod},
    {&CLSID_QORStdOutStatus, "Status", 0x60020000, kMethod},
    {&CLSID_QORStdOutStatus, "Cancel", 0x60020001, kMethod},
    {&CLSID_QORStdOutStatus, "SetCancel", 0x60020002, kMethod},
    {&CLSID_QORStdOutStatus, "CallCanceled", 0x60020003, kMethod},
    {&CLSID_QORSoftwareMessage, "Type", 0x60020000, kGet | kPut},
    {&CLSID_QORSoftwareMessage, "Message", 0x60020002, kGet | kPut},
    {&CLSID_QORSoftwareMessage, "Parameter", 0x60020004, kGet | kPut},
    {&CLSID_QORSoftwareMessage, "BinaryParameter", 0x60020006, kGet | kPut},
};

TEST(QorcomFrameTest, EveryMemberHasItsDispidNameAndKind) {
    std::map<const CLSID*, comlite::DispatchTable> tables = {
        {&CLSID_QORLockFile, InterfaceTraits<IQORLockFile>::kMembers},
        {&CLSID_QORLogMessage, InterfaceTraits<IQORLogMessage>::kMembers},
        {&CLSID_QORRas, InterfaceTraits<IQORRas>::kMembers},
        {&CLSID_QORGlobalQueue, members::kGlobalQueue},
        {&CLSID_QORSoundex, members::kSoundex},
        {&CLSID_QORFindFiles, members::kFindFiles},
        {&CLSID_QORDriveOverrider, members::kDriveOverrider},
        {&CLSID_QORStdOutStatus, members::kStatus},
        {&CLSID_QORSoftwareMessage, members::kSoftwareMessage},
    };
    std::map<const CLSID*, std::size_t> entries;
    for (const MemberRow& row : kMembers) {
        SCOPED_TRACE(row.name);
        auto object = CreateDispatch(*row.clsid);
        ASSERT_TRUE(object);
        EXPECT_EQ(test::IdOf(object.Get(), row.name), row.dispid);
        std::string upper = row.name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(test::IdOf(object.Get(), upper), row.dispid) << "names ignore case";
        WORD kinds = 0;
        for (const comlite::DispatchMember& m : tables[row.clsid]) {
            if (std::string_view(m.name) != row.name)
                continue;
            EXPECT_EQ(m.dispid, row.dispid);
            kinds |= static_cast<WORD>(m.kind);
            ++entries[row.clsid];
        }
        EXPECT_EQ(kinds, row.kinds);
    }
    for (const auto& [clsid, table] : tables)
        EXPECT_EQ(entries[clsid], table.size()) << "a member missing from this test's list";
}

}  // namespace
}  // namespace tw::qorcom
