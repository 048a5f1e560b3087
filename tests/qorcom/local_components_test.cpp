#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "comlite/bstr.h"
#include "comlite/variant.h"
#include "qorcom/common/base64.h"
#include "qorcom/interfaces/local.h"
#include "qorcom/local/find_files.h"
#include "qorcom/local/soundex.h"
#include "qorcom_test_support.h"
#include "support/scratch_dir.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;
using comlite::ComPtr;
using comlite::Variant;

// ---- Soundex ----

TEST(QorcomSoundexTest, CodesOfNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"Robert", "R163 "},
        {"Rupert", "R163 "},
        {"robert", "R163 "},
        {"Lee", "L    "},
        {"Tymczak", "T52  "},
        {"Pfister", "P123 "},
        {"Ashcraft", "A261 "},
        {"9 Lives", ""},
        {"Ann Smith", "A5   "},
        {"", ""},
        {"Q", "Q    "},
        {"Washington", "W252 "},
        // Anything but A to Z is a non-letter, in any locale and whatever its bytes.
        {"\xC9mile", ""},        // Latin-1 É
        {"\xC3\x89mile", ""},    // UTF-8 É
        {"M\xFCller", "M    "},  // Latin-1 ü ends the word
        {"M\xC3\xBCller", "M    "},
        {"Stra\xC3\x9F"
         "e",
         "S36  "},
        {"\xFF\xFE", ""},
    };
    for (const auto& [text, code] : cases) EXPECT_EQ(SoundexCode(text), code) << text;
}

TEST(QorcomSoundexTest, PercentageCountsEqualCodesBothWaysWithABonusInPlace) {
    EXPECT_DOUBLE_EQ(SoundexPercentage("Robert", "Rupert"), 1 + kSameIndexBonus);
    EXPECT_DOUBLE_EQ(SoundexPercentage("Ann Smith", "Smith Ann"), 1.0);
    EXPECT_DOUBLE_EQ(SoundexPercentage("Robert Lee", "Rupert"), (2 + 2 * kSameIndexBonus) / 3);
    EXPECT_DOUBLE_EQ(SoundexPercentage("Ann Smith", ""), 0.0);
    EXPECT_DOUBLE_EQ(SoundexPercentage("", ""), 0.0);
    // Words without a letter to start them have no code, and no code matches another.
    EXPECT_DOUBLE_EQ(SoundexPercentage("12", "34"), 0.0);
    EXPECT_DOUBLE_EQ(SoundexPercentage("12 Smith", "34 Smith"), (2 + 2 * kSameIndexBonus) / 4);
}

TEST(QorcomSoundexTest, ThroughTheInterface) {
    auto soundex = test::Create<IQORSoundex>(CLSID_QORSoundex, IID_IQORSoundex);
    ASSERT_TRUE(soundex);
    Bstr code;
    ASSERT_EQ(soundex->Soundex(Bstr(u"Tymczak").Get(), code.Put()), S_OK);
    EXPECT_EQ(code.Utf8(), "T52  ");
    ASSERT_EQ(soundex->Soundex(Bstr(u"\u00C9mile").Get(), code.Put()), S_OK);
    EXPECT_EQ(code.Utf8(), "");
    double score = -1;
    EXPECT_EQ(soundex->SoundexPercentage(Bstr(u"12").Get(), Bstr(u"34").Get(), &score), S_OK);
    EXPECT_EQ(score, 0.0);
    EXPECT_EQ(soundex->Soundex(nullptr, code.Put()), E_POINTER);
    EXPECT_EQ(soundex->SoundexPercentage(Bstr(u"a").Get(), nullptr, &score), E_POINTER);
}

// ---- FindFiles ----

std::vector<std::string> Paths(const VARIANT& list) {
    std::vector<std::string> paths;
    EXPECT_EQ(list.vt, VT_ARRAY | VT_VARIANT);
    if (list.vt != (VT_ARRAY | VT_VARIANT))
        return paths;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(list.parray, 1, &lower);
    SafeArrayGetUBound(list.parray, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        Variant element;
        EXPECT_EQ(SafeArrayGetElement(list.parray, &i, &element), S_OK);
        EXPECT_EQ(element.vt, VT_BSTR);
        paths.push_back(comlite::BstrToUtf8(element.bstrVal));
    }
    return paths;
}

TEST(QorcomFindFilesTest, MasksIgnoreCaseAndResultsAreFullPathsInByteOrder) {
    tw::test::ScratchDir dir;
    for (const char* name : {"ilg002.xml", "ILG001.XML", "Ilg003.Xml.bak", "other.txt", "ILG"})
        dir.Write(name, "x");
    std::filesystem::create_directory(dir.File("ILGDIR.XML"));
    const std::string d = dir.Path() + "/";

    auto files = test::CreateDispatch(CLSID_QORFindFiles);
    ASSERT_TRUE(files);
    auto find = [&](const std::string& mask) {
        Variant maskValue = Variant::TextUtf8(mask), list;
        EXPECT_EQ(test::Call(files.Get(), "Find", {&maskValue}, &list), S_OK);
        return Paths(list);
    };
    EXPECT_EQ(find(d + "ILG*.XML"),
              (std::vector<std::string>{d + "ILG001.XML", d + "ILGDIR.XML", d + "ilg002.xml"}));
    EXPECT_EQ(find(d + "*.*"), (std::vector<std::string>{
                                   d + ".", d + "..", d + "ILG", d + "ILG001.XML", d + "ILGDIR.XML",
                                   d + "Ilg003.Xml.bak", d + "ilg002.xml", d + "other.txt"}));
    EXPECT_EQ(find(d + "?lg00?.xml"),
              (std::vector<std::string>{d + "ILG001.XML", d + "ilg002.xml"}));
    EXPECT_EQ(find(d + ".."), (std::vector<std::string>{d + ".."}));
    EXPECT_EQ(find(d + "nothing*"), std::vector<std::string>{});
    EXPECT_EQ(find(d + "missing/*.*"), std::vector<std::string>{});
    EXPECT_EQ(find(d), std::vector<std::string>{}) << "a directory alone selects nothing";

    // No ISupportErrorInfo face on this component.
    ComPtr<ISupportErrorInfo> support;
    EXPECT_EQ(files.As(IID_ISupportErrorInfo, support), E_NOINTERFACE);
}

// ---- DriveOverrider ----

TEST(QorcomDriveOverriderTest, TheFirstPrefixInOrderIsReplacedAndTheRestKeepsItsCase) {
    auto overrider =
        test::Create<IQORDriveOverrider>(CLSID_QORDriveOverrider, IID_IQORDriveOverrider);
    ASSERT_TRUE(overrider);
    auto override = [&](const char16_t* path) {
        Bstr result;
        EXPECT_EQ(overrider->OverridePath(Bstr(path).Get(), result.Put()), S_OK);
        return result.Utf8();
    };
    ASSERT_EQ(overrider->Add(Bstr(u"c:").Get(), Bstr(u"d:\\shared").Get()), S_OK);
    EXPECT_EQ(override(u"c:\\Data\\File.txt"), "D:\\SHARED\\Data\\File.txt");
    EXPECT_EQ(override(u"C:\\Data"), "D:\\SHARED\\Data");
    EXPECT_EQ(override(u"e:\\Data\\File.txt"), "e:\\Data\\File.txt");
    EXPECT_EQ(override(u"c"), "c") << "shorter than every search string";

    // "C:" sorts before "C:\DATA" and wins, as it always did.
    ASSERT_EQ(overrider->Add(Bstr(u"C:\\DATA").Get(), Bstr(u"\\\\server\\data").Get()), S_OK);
    EXPECT_EQ(override(u"c:\\data\\x"), "D:\\SHARED\\data\\x");
    // Adding a search string again replaces its replacement.
    ASSERT_EQ(overrider->Add(Bstr(u"C:").Get(), Bstr(u"/srv/qor").Get()), S_OK);
    EXPECT_EQ(override(u"c:\\data\\x"), "/SRV/QOR\\data\\x");
    EXPECT_EQ(overrider->OverridePath(Bstr(u"x").Get(), nullptr), E_POINTER);
}

// ---- StdOutStatus ----

// What the body writes to standard output.
template <class Body>
std::string CaptureStdout(Body body) {
    tw::test::ScratchDir dir;
    const std::string path = dir.File("out");
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDOUT_FILENO);
    close(file);
    body();
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    return tw::test::ReadAll(path);
}

TEST(QorcomStdOutStatusTest, StatusLinesGoToStandardOutputAndCancelIsRemembered) {
    auto status = test::Create<IQORStatus>(CLSID_QORStdOutStatus, IID_IQORStatus);
    ASSERT_TRUE(status);
    EXPECT_EQ(CaptureStdout([&] {
                  status->Status(Bstr(u"100% sent: %s %d").Get());
                  status->Status(Bstr(u"\u00C9tape 2").Get());
              }),
              "100% sent: %s %d\n\xC3\x89tape 2\n");
    VARIANT_BOOL cancel = VARIANT_TRUE, called = VARIANT_TRUE;
    EXPECT_EQ(status->Cancel(&cancel), S_OK);
    EXPECT_EQ(cancel, VARIANT_FALSE);
    EXPECT_EQ(status->SetCancel(VARIANT_TRUE), S_OK);
    EXPECT_EQ(status->CallCanceled(&called), S_OK);
    EXPECT_EQ(called, VARIANT_TRUE);
    EXPECT_EQ(status->Cancel(&cancel), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

// ---- SoftwareMessage ----

TEST(QorcomSoftwareMessageTest, TextAndBinaryParametersByName) {
    auto message =
        test::Create<IQORSoftwareMessage>(CLSID_QORSoftwareMessage, IID_IQORSoftwareMessage);
    ASSERT_TRUE(message);
    auto get = [&](HRESULT (STDMETHODCALLTYPE IQORSoftwareMessage::*getter)(BSTR, BSTR*),
                   const char16_t* name) {
        Bstr value;
        EXPECT_EQ((message.Get()->*getter)(Bstr(name).Get(), value.Put()), S_OK);
        return std::u16string(value.View());
    };
    ASSERT_EQ(message->put_Type(Bstr(u"PriceChange").Get()), S_OK);
    Bstr type;
    ASSERT_EQ(message->get_Type(type.Put()), S_OK);
    EXPECT_EQ(type.Utf8(), "PriceChange");

    ASSERT_EQ(message->put_Parameter(Bstr(u"Site").Get(), Bstr(u"12").Get()), S_OK);
    EXPECT_EQ(get(&IQORSoftwareMessage::get_Parameter, u"Site"), u"12");
    EXPECT_EQ(get(&IQORSoftwareMessage::get_Parameter, u"SITE"), u"") << "names are exact";
    EXPECT_EQ(get(&IQORSoftwareMessage::get_BinaryParameter, u"Site"), u"12");

    const std::u16string bytes(u"\x00\x01\x7F\x80\xFE\xFF", 6);
    ASSERT_EQ(message->put_BinaryParameter(Bstr(u"Blob").Get(), Bstr(bytes).Get()), S_OK);
    EXPECT_EQ(get(&IQORSoftwareMessage::get_BinaryParameter, u"Blob"), bytes);
    EXPECT_EQ(get(&IQORSoftwareMessage::get_Parameter, u"Blob"), u"AAF/gP7/");
    EXPECT_EQ(message->put_BinaryParameter(Bstr(u"Blob").Get(), Bstr(u"\u0100").Get()),
              E_INVALIDARG);
    EXPECT_EQ(get(&IQORSoftwareMessage::get_BinaryParameter, u"Blob"), bytes);

    // A parameterised property through late binding: the value is named DISPID_PROPERTYPUT.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(message.As(IID_IDispatch, dispatch), S_OK);
    Variant args[2] = {Variant::TextUtf8("late"), Variant::TextUtf8("Mode")};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{args, &named, 2, 1};
    ASSERT_EQ(dispatch->Invoke(test::IdOf(dispatch.Get(), "Parameter"), IID_NULL, 0,
                               DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr),
              S_OK);
    Variant name = Variant::TextUtf8("Mode"), value;
    ASSERT_EQ(test::Call(dispatch.Get(), "Parameter", {&name}, &value), S_OK);
    EXPECT_EQ(comlite::BstrToUtf8(value.bstrVal), "late");
}

TEST(QorcomBase64Test, RoundTripsAndRefusesWhatIsNotBase64) {
    const std::string samples[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const std::string encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t i = 0; i < std::size(samples); ++i) {
        const std::vector<std::uint8_t> bytes(samples[i].begin(), samples[i].end());
        EXPECT_EQ(Base64Encode(bytes), encoded[i]);
        EXPECT_EQ(Base64Decode(encoded[i]), bytes) << encoded[i];
    }
    EXPECT_EQ(Base64Decode("Zm9v\r\nYmFy"),
              (std::vector<std::uint8_t>{'f', 'o', 'o', 'b', 'a', 'r'}));
    for (const char* bad : {"Zm9", "Zm9v!", "Z===", "Zg==Zg==", "Zg=", "Zg===", "=Zg="})
        EXPECT_EQ(Base64Decode(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace tw::qorcom
