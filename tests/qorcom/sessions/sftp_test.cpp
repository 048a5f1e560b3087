#include "qorcom/sessions/sftp.h"

#include <gtest/gtest.h>

#include "comlite/bstr.h"
#include "platform/ole_date.h"
#include "qorcom/sessions/listing.h"
#include "qorcom_test_support.h"

namespace tw::qorcom {
namespace {

using comlite::Bstr;

// ---- Listing lines ----

TEST(SftpListingTest, UnixAndDosLines) {
    platform::CivilTime now;
    platform::OleDate::Now().ToCivil(now);

    // A time instead of a year: this year (never more than a day ahead of now).
    auto dir = ParseListingLine("drwxr-xr-x 2 user group 4096 Jan  1 00:00 dir");
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->name, "dir");
    EXPECT_TRUE(dir->directory);
    EXPECT_EQ(dir->date, platform::OleDate::FromCivil(now.year, 1, 1, 0, 0).Days());

    auto file = ParseListingLine("-rw-r--r-- 1 u g 120 Feb  3  2009 a/b.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->name, "b.txt");
    EXPECT_EQ(file->size, 120);
    EXPECT_FALSE(file->directory);
    EXPECT_EQ(file->date, platform::OleDate::FromCivil(2009, 2, 3).Days());

    // No group field; a name with spaces; sizes beyond 32 bits.
    auto noGroup = ParseListingLine("-rw-r--r-- 1 owner 5000000000 Dec 31 2020 big file.XML");
    ASSERT_TRUE(noGroup);
    EXPECT_EQ(noGroup->name, "big file.XML");
    EXPECT_EQ(noGroup->size, 5000000000);

    auto dos = ParseListingLine("01-05-07  12:15PM  <DIR>  Sales");
    ASSERT_TRUE(dos);
    EXPECT_EQ(dos->name, "Sales");
    EXPECT_TRUE(dos->directory);
    EXPECT_EQ(dos->date, platform::OleDate::FromCivil(2007, 1, 5, 12, 15).Days());
    auto midnight = ParseListingLine("12-31-99  12:05AM  77  old.txt");
    ASSERT_TRUE(midnight);
    EXPECT_EQ(midnight->date, platform::OleDate::FromCivil(1999, 12, 31, 0, 5).Days());

    for (const char* bad :
         {"", "total 12", "-rw-r--r-- 1 u g 120 Foo 3 2009 x", "-rw-r--r-- 1 u g 120 Feb 30 2009 x",
          "13-05-07  12:15PM  1  x", "-rw-r--r-- 1 u g 120 Feb 3 2009"})
        EXPECT_FALSE(ParseListingLine(bad)) << bad;
}

TEST(SftpListingTest, CollectorSkipsDotsAndAppliesTheMask) {
    const std::string text =
        "drwxr-xr-x 2 u g 4096 Jan 10 12:34 .\r\n"
        "drwxr-xr-x 2 u g 4096 Jan 10 12:34 ..\r\n"
        "-rw-r--r-- 1 u g 10 Jan 10 12:34 JRN0101.XML\r\n"
        "-rw-r--r-- 1 u g 10 Jan 10 12:34 jrn0102.xml\r\n"
        "-rw-r--r-- 1 u g 10 Jan 10 12:34 JRN0101.XML.tmp\r\n"
        "not a listing line\r\n"
        "-rw-r--r-- 1 u g 10 Jan 10 12:34 ITT.XML";
    ListingCollector xml("*.XML", false);
    xml.AddText(text);
    EXPECT_EQ(xml.Take(), (std::vector<std::string>{"JRN0101.XML", "jrn0102.xml", "ITT.XML"}));

    ListingCollector one("JRN010?.XML", true);
    one.AddText(text);
    EXPECT_EQ(one.Take(),
              (std::vector<std::string>{"-rw-r--r-- 1 u g 10 Jan 10 12:34 JRN0101.XML",
                                        "-rw-r--r-- 1 u g 10 Jan 10 12:34 jrn0102.xml"}));

    ListingCollector exact("ITT.XML", false);
    exact.AddText(text);
    EXPECT_EQ(exact.Take(), std::vector<std::string>{"ITT.XML"});

    ListingCollector all("", false);
    all.AddText(text);
    EXPECT_EQ(all.Take().size(), 4u);
}

// ---- The component without a server ----

class SftpComponentTest : public ::testing::Test {
protected:
    comlite::ComPtr<IQORSFTPwod> sftp_ = test::Create<IQORSFTPwod>(CLSID_QORSFTP, IID_IQORSFTPwod);
};

TEST_F(SftpComponentTest, OperationsBeforeConnectRaiseNotConnected) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    Bstr a(u"a"), b(u"b");
    const HRESULT expected = QorcomError(kErrorSftpNotConnected);
    EXPECT_EQ(sftp_->GetFile(a.Get(), b.Get(), &ok), expected);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(test::TakeError(), "QORCom.SFTPwod: SFTP not allocated and connected.");
    EXPECT_EQ(sftp_->PutFile(a.Get(), b.Get(), &ok), expected);
    EXPECT_EQ(sftp_->DeleteFile(a.Get(), &ok), expected);
    EXPECT_EQ(sftp_->MakeDir(a.Get(), &ok), expected);
    EXPECT_EQ(sftp_->RemoveDir(a.Get(), &ok), expected);
    EXPECT_EQ(sftp_->Rename(a.Get(), b.Get(), &ok), expected);
    EXPECT_EQ(sftp_->SendCommand(a.Get(), &ok), expected);
    Bstr first;
    EXPECT_EQ(sftp_->FindFirst(a.Get(), first.Put()), expected);
    Bstr next;
    EXPECT_EQ(sftp_->FindNext(next.Put()), S_OK);
    EXPECT_EQ(next.Utf8(), "");
    EXPECT_EQ(sftp_->Disconnect(), S_OK);
}

TEST_F(SftpComponentTest, AppendTransfersAreNotImplemented) {
    VARIANT_BOOL ok = VARIANT_TRUE;
    Bstr a(u"a"), b(u"b");
    EXPECT_EQ(sftp_->PutFileAppend(a.Get(), b.Get(), &ok), QorcomError(kErrorNotImplemented));
    EXPECT_EQ(test::TakeError(), "QORCom.SFTPwod: CSFTPwod::PutFileAppend not implemented");
    EXPECT_EQ(sftp_->GetFileAppend(a.Get(), b.Get(), &ok), QorcomError(kErrorNotImplemented));
    EXPECT_EQ(test::TakeError(), "QORCom.SFTPwod: CSFTPwod::GetFileAppend not implemented");
}

TEST_F(SftpComponentTest, ConnectToNoServerIsFalseWithTheReason) {
    auto& object = *static_cast<CSFTP*>(sftp_.Get());
    object.SetSshSettings(platform::SshSettings{"/nonexistent/known_hosts", "", false, "", {}});
    sftp_->put_Server(Bstr(u" ; ").Get());
    VARIANT_BOOL ok = VARIANT_TRUE;
    EXPECT_EQ(sftp_->Connect(&ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    Bstr text;
    sftp_->get_LastErrorMessage(text.Put());
    EXPECT_EQ(text.Utf8(), "No server given.");
}

// A login challenge gets the password: an empty answer fails every server that asks for it.
TEST_F(SftpComponentTest, LoginChallengeIsAnsweredWithThePassword) {
    sftp_->put_Password(Bstr(u"secret").Get());
    BSTR response = comlite::AllocBstrUtf8("old");
    EXPECT_EQ(sftp_->LoginChallenge(nullptr, Bstr(u"Password:").Get(), &response), S_OK);
    EXPECT_EQ(comlite::BstrToUtf8(response), "secret");
    SysFreeString(response);
}

// Done sets what LastErrorMessage reports; ParseLongFileInfo answers through the interface.
TEST_F(SftpComponentTest, DoneAndParseLongFileInfo) {
    sftp_->Done(nullptr, 4, Bstr(u"Permission denied").Get());
    Bstr text;
    sftp_->get_LastErrorMessage(text.Put());
    EXPECT_EQ(text.Utf8(), "Permission denied");

    Bstr name;
    LONG size = 0;
    DATE date = 0;
    VARIANT_BOOL dir = VARIANT_TRUE, ok = VARIANT_FALSE;
    EXPECT_EQ(
        sftp_->ParseLongFileInfo(Bstr(u"-rw-r--r-- 1 u g 5000000000 Feb  3  2009 big.xml").Get(),
                                 name.Put(), &size, &date, &dir, &ok),
        S_OK);
    EXPECT_EQ(ok, VARIANT_TRUE);
    EXPECT_EQ(name.Utf8(), "big.xml");
    EXPECT_EQ(size, 2147483647);  // beyond a long: the largest long, never a wrapped value
    EXPECT_EQ(dir, VARIANT_FALSE);
}

}  // namespace
}  // namespace tw::qorcom
