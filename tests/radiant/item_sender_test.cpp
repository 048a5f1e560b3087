#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <utility>

#include "radiant/item_sender.h"
#include "site_fixture.h"
#include "support/memory_file_system.h"
#include "support/recording_messages.h"

namespace tw::radiant {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

std::set<std::string> Names(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

TEST(ItemFileNames, ExactNamesVersionCodesAndBackups) {
    EXPECT_TRUE(IsMaintenanceFileName("MCT.XML"));
    EXPECT_TRUE(IsMaintenanceFileName("SEM.XML"));
    for (const char* other : {"itt.xml", "Mct.XML", "MCTBAK.XML", "ILG.XML", "MCT.XML.", ""}) {
        EXPECT_FALSE(IsMaintenanceFileName(other)) << other;
    }
    EXPECT_STREQ(NaxmlVersionCode(3.3), "330");
    EXPECT_STREQ(NaxmlVersionCode(3.4), "340");
    EXPECT_STREQ(NaxmlVersionCode(3.5), "340");
    EXPECT_STREQ(NaxmlVersionCode(3.2), "320");
    EXPECT_STREQ(NaxmlVersionCode(0.0), "320") << "an empty NaxmlVersion";
    // Only the name is upper-cased, never the directory.
    EXPECT_EQ(BackupPath("/srv/Site1/ITT.XML"), "/srv/Site1/ITTBAK.XML");
    EXPECT_EQ(BackupPath("/srv/Site1/sem.xml"), "/srv/Site1/SEMBAK.XML");
}

TEST(ItemFileList, HasExactBytesAndNamesDepartmentsFirst) {
    const std::vector<std::string> sent{"ITT33020261206140509.XML", "SEM33020261206140509.XML",
                                        "MMT33020261206140509.XML", "CBT33020261206140509.XML",
                                        "MCT33020261206140509.XML", "ILT33020261206140509.XML",
                                        "MCT33020261206140510.XML"};
    const std::string text = FormatFileList(sent);
    EXPECT_EQ(text,
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              " <File>MCT33020261206140510.XML</File>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              " <File>ILT33020261206140509.XML</File>\r\n"
              " <File>CBT33020261206140509.XML</File>\r\n"
              " <File>MMT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(ParseFileList(text),
                ElementsAre("MCT33020261206140509.XML", "MCT33020261206140510.XML",
                            "ITT33020261206140509.XML", "ILT33020261206140509.XML",
                            "CBT33020261206140509.XML", "MMT33020261206140509.XML"));
    EXPECT_THAT(ParseFileList("<File>x</File>"), IsEmpty()) << "not a file list";
}

class FixedClock : public platform::Clock {
public:
    std::time_t Now() const override { return now; }
    std::time_t now = 0;
};

// The sender as the poll monitor builds it, over the site's data directory and a POS import
// directory (a local one unless a test gives another file system).
class ItemSender : public ::testing::Test {
protected:
    ItemSender() {
        EXPECT_TRUE(platform::OleDate::FromCivil(2026, 12, 6, 14, 5, 9).ToFileTime(clock.now));
        fs::create_directories(import);
    }

    void Pass(CountedPtr<FileSystem> pos = CountedPtr<FileSystem>(new LocalWinFileSystem),
              bool expected = true,
              CountedPtr<FileSystem> backOffice = CountedPtr<FileSystem>(new LocalWinFileSystem)) {
        transfer = MakeCounted<RadiantCopyItemFiles>(
            MakeCounted<RadiantItemSourceFilesProcessor>(backOffice),
            MakeCounted<FileSystemMonitor::CopyDestinationFilesProcessor>(pos), importDirectory,
            3.3, clock);
        auto handler = MakeCounted<RadiantPollerItemFileMaskHandler>(transfer, backOffice, pos,
                                                                     site.data, "*.XML");
        handler->connectSourceEachPass = handler->connectDestinationEachPass = true;
        EXPECT_EQ(handler->Process(), expected) << "single files never fail the pass";
    }

    std::string Data(const std::string& name) { return test::ReadAll(site.data + name); }
    std::string Imported(const std::string& name) { return test::ReadAll(import + name); }

    test::ScopedTimeZone zone{"America/Chicago"};
    test::RecordedMessages messages;
    test::TestSite site;
    FixedClock clock;
    const std::string import = site.dir.Path() + "/import/";
    std::string importDirectory = import;
    CountedPtr<RadiantCopyItemFiles> transfer;
};

TEST_F(ItemSender, DeliversStampedFilesKeepsBackupsAndAnnouncesThemLast) {
    site.dir.Write("site001/MCT.XML", "<departments/>");
    site.dir.Write("site001/ITT.XML", "<items/>");
    site.dir.Write("site001/itt.xml", "<not-sent/>");
    site.dir.Write("site001/MCTBAK.XML", "<sent-before/>");
    site.dir.Write("site001/ILG.XML", "<results/>");

    Pass();

    EXPECT_EQ(Names(import),
              (std::set<std::string>{"ITT33020261206140509.XML", "MCT33020261206140509.XML",
                                     "SEM33020261206140509.XML"}));
    EXPECT_EQ(Imported("MCT33020261206140509.XML"), "<departments/>");
    EXPECT_EQ(Imported("SEM33020261206140509.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              "</FileList>");
    // Each sent file is now its table's backup; what was not sent is untouched.
    EXPECT_EQ(Data("MCTBAK.XML"), "<departments/>");
    EXPECT_EQ(Data("ITTBAK.XML"), "<items/>");
    EXPECT_EQ(Data("SEMBAK.XML"), Imported("SEM33020261206140509.XML"));
    EXPECT_EQ(Data("itt.xml"), "<not-sent/>");
    EXPECT_EQ(Data("ILG.XML"), "<results/>");
    EXPECT_FALSE(fs::exists(site.data + "MCT.XML"));
    EXPECT_FALSE(fs::exists(site.data + "SEM.XML"));
    EXPECT_THAT(messages.log.Texts(),
                ElementsAre("Transfered " + import + "ITT33020261206140509.XML.",
                            "Transfered " + import + "MCT33020261206140509.XML.",
                            "Transfered " + import + "SEM33020261206140509.XML."));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());

    // The next pass finds nothing to send and announces nothing.
    clock.now += 60;
    Pass();
    EXPECT_EQ(Names(import).size(), 3u);
    EXPECT_FALSE(fs::exists(site.data + "SEM.XML"));
}

// The POS imports under an account of its own: what it is sent must be readable by others,
// whatever private temporary files it passed through on the way.
TEST_F(ItemSender, DeliveredFilesAndTheSemaphoreAreReadableByThePos) {
    test::ScopedUmask mask(022);
    const std::string items = site.dir.Write("site001/ITT.XML", "<items/>");
    fs::permissions(items, fs::perms::owner_read | fs::perms::owner_write);  // as a scratch file

    Pass();

    EXPECT_EQ(test::PermissionsOf(import + "ITT33020261206140509.XML"), 0644u);
    EXPECT_EQ(test::PermissionsOf(import + "SEM33020261206140509.XML"), 0644u);
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

TEST_F(ItemSender, ASemaphoreLeftBehindIsMergedIntoTheNextOne) {
    // An earlier poll delivered two files but its semaphore never reached the POS; the POS has
    // since taken one of them some other way.
    const std::string left =
        "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
        " <File>MCT33020261205100000.XML</File>\r\n"
        " <File>ITT33020261205100000.XML</File>\r\n"
        "</FileList>";
    site.dir.Write("site001/SEM.XML", left);
    site.dir.Write("import/MCT33020261205100000.XML", "<departments/>");

    Pass();  // nothing else to send: a semaphore goes for the file still waiting
    EXPECT_EQ(Imported("SEM33020261206140509.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261205100000.XML</File>\r\n"
              "</FileList>");
    EXPECT_EQ(Names(import).size(), 2u);
    EXPECT_FALSE(fs::exists(site.data + "SEM.XML"));

    // Lost again; now with a new file, one semaphore announces the waiting file and the new.
    fs::remove(import + "SEM33020261206140509.XML");
    site.dir.Write("site001/SEM.XML", left);
    site.dir.Write("site001/ILT.XML", "<lists/>");
    clock.now += 60;
    Pass();
    EXPECT_EQ(Names(import),
              (std::set<std::string>{"MCT33020261205100000.XML", "ILT33020261206140609.XML",
                                     "SEM33020261206140609.XML"}));
    EXPECT_EQ(Imported("SEM33020261206140609.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261205100000.XML</File>\r\n"
              " <File>ILT33020261206140609.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

// What a pass delivered must be announced even when that pass could not write its semaphore:
// the files are already put aside as sent, so nothing at the back office remembers them.
TEST_F(ItemSender, DeliveriesOfAPassWhoseSemaphoreFailedAreAnnouncedByTheNext) {
    site.dir.Write("site001/ITT.XML", "<items/>");
    site.dir.Write("site001/MCT.XML", "<departments/>");
    fs::create_directories(site.data + "SEM.XML");  // stands for a full data directory

    Pass();
    EXPECT_EQ(Names(import),
              (std::set<std::string>{"ITT33020261206140509.XML", "MCT33020261206140509.XML"}));
    EXPECT_THAT(messages.error.Texts(), ElementsAre(StartsWith("Unable to write ")));

    messages.error.Clear();
    messages.log.Clear();
    fs::remove(site.data + "SEM.XML");
    clock.now += 60;
    Pass();
    EXPECT_EQ(Imported("SEM33020261206140609.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.log.Texts(),
                ElementsAre("Transfered " + import + "SEM33020261206140609.XML."));
    EXPECT_THAT(messages.error.Texts(), IsEmpty());

    // While the POS has not taken that semaphore, its files are announced: nothing more goes.
    clock.now += 60;
    Pass();
    EXPECT_EQ(Names(import).size(), 3u);
}

struct Killed {};

// The back office's side of a process that dies just before it writes the semaphore.
class DyingBeforeTheSemaphore : public LocalWinFileSystem {
public:
    bool PutFile(const std::string& localPath, const std::string& path) override {
        if (platform::FileNamePart(path) == kSemaphoreFileName)
            throw Killed();
        return LocalWinFileSystem::PutFile(localPath, path);
    }
};

TEST_F(ItemSender, DeliveriesOfAPassKilledBeforeItsSemaphoreAreAnnouncedByTheNext) {
    site.dir.Write("site001/ITT.XML", "<items/>");
    EXPECT_THROW(Pass(CountedPtr<FileSystem>(new LocalWinFileSystem), true,
                      CountedPtr<FileSystem>(new DyingBeforeTheSemaphore)),
                 Killed);
    EXPECT_EQ(Names(import), std::set<std::string>{"ITT33020261206140509.XML"});
    EXPECT_EQ(Data("ITTBAK.XML"), "<items/>");

    clock.now += 1;
    Pass();
    EXPECT_EQ(Imported("SEM33020261206140510.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

TEST_F(ItemSender, OnlyDeliveriesNoPendingSemaphoreNamesAreAnnouncedAgain) {
    // A delivery the POS has not imported yet, with its semaphore; one whose semaphore never
    // arrived (in whatever case the POS keeps its names); files that are no deliveries.
    site.dir.Write("import/ITT33020261205100000.XML", "<items/>");
    site.dir.Write("import/SEM33020261205100000.XML",
                   "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
                   " <File>ITT33020261205100000.XML</File>\r\n"
                   "</FileList>");
    site.dir.Write("import/mct33020261205100500.xml", "<departments/>");
    site.dir.Write("import/ILG20261205100600.XML", "<results/>");
    site.dir.Write("import/MCT330202612051005.XML", "<not a stamp/>");
    site.dir.Write("import/XYZ33020261205100500.XML", "<not a table/>");
    site.dir.Write("site001/ILT.XML", "<lists/>");

    Pass();

    EXPECT_EQ(Imported("SEM33020261206140509.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>mct33020261205100500.xml</File>\r\n"
              " <File>ILT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

// Directories in the way of the backup and of the semaphore stand for any failing write.
TEST_F(ItemSender, WhatCannotBeBackedUpOrAnnouncedIsKeptAndReported) {
    site.dir.Write("site001/MCT.XML", "<departments/>");
    fs::create_directories(site.data + "MCTBAK.XML");

    Pass();

    EXPECT_EQ(Data("MCT.XML"), "<departments/>") << "kept, to be sent again by the next poll";
    EXPECT_EQ(Names(import),
              (std::set<std::string>{"MCT33020261206140509.XML", "SEM33020261206140509.XML"}))
        << "delivered once in the pass, and announced";
    EXPECT_EQ(Imported("SEM33020261206140509.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre(StartsWith("Unable to rename " + site.data + "MCT.XML to " + site.data +
                                       "MCTBAK.XML, last error: ")));

    // A semaphore that cannot be written is reported, and no older one goes in its place.
    messages.error.Clear();
    fs::remove_all(import);
    fs::create_directories(import);
    fs::remove(site.data + "SEMBAK.XML");
    fs::create_directories(site.data + "SEM.XML");
    Pass();
    EXPECT_EQ(Names(import), std::set<std::string>{"MCT33020261206140509.XML"});
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre(StartsWith("Unable to rename "),
                            StartsWith("Unable to write " + site.data + "SEM.XML, last error: ")));
}

// The editor saves while the sender runs: the file it replaced went to the POS, and the newer
// one waits for the next pass instead of becoming the backup unsent.
class SavingDuringDelivery : public test::MemoryFileSystem {
public:
    bool PutFile(const std::string& localPath, const std::string& path) override {
        const bool put = test::MemoryFileSystem::PutFile(localPath, path);
        if (save)
            std::exchange(save, {})();
        return put;
    }
    std::function<void()> save;
};

TEST_F(ItemSender, AFileSavedAgainDuringItsDeliveryStaysForTheNextPass) {
    CountedPtr<SavingDuringDelivery> pos(new SavingDuringDelivery);
    importDirectory = "/pos/import/";
    site.dir.Write("site001/MCT.XML", "<departments>1</departments>");
    pos->save = [this] { site.dir.Write("site001/MCT.XML", "<departments>2</departments>"); };

    Pass(pos);

    EXPECT_EQ(pos->files["/pos/import/MCT33020261206140509.XML"].content,
              "<departments>1</departments>");
    EXPECT_EQ(Data("MCT.XML"), "<departments>2</departments>") << "not sent yet";
    EXPECT_FALSE(fs::exists(site.data + "MCTBAK.XML"));
    EXPECT_EQ(pos->puts, 2) << "the newer file waits for the next pass, the semaphore goes";
    EXPECT_THAT(messages.error.Texts(), IsEmpty());

    clock.now += 60;
    Pass(pos);
    EXPECT_EQ(pos->files["/pos/import/MCT33020261206140609.XML"].content,
              "<departments>2</departments>");
    EXPECT_EQ(Data("MCTBAK.XML"), "<departments>2</departments>");
    EXPECT_FALSE(fs::exists(site.data + "MCT.XML"));
}

TEST_F(ItemSender, AFailedCopyIsRetriedBeforeTheSemaphoreGoes) {
    CountedPtr<test::MemoryFileSystem> pos(new test::MemoryFileSystem);
    pos->failPutNumber = 1;  // the first file, ITT, fails
    importDirectory = "/pos/import/";
    site.dir.Write("site001/ITT.XML", "<items/>");
    site.dir.Write("site001/MCT.XML", "<departments/>");

    Pass(pos);

    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Unable copy " + site.data + "ITT.XML to " +
                            "/pos/import/ITT33020261206140509.XML, last error: There is not "
                            "enough space on the disk."));
    EXPECT_EQ(pos->puts, 4);
    EXPECT_EQ(pos->files["/pos/import/ITT33020261206140509.XML"].content, "<items/>");
    EXPECT_EQ(pos->files["/pos/import/SEM33020261206140509.XML"].content,
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_EQ(Names(site.data).count("ITT.XML"), 0u);
}

TEST_F(ItemSender, NothingIsSentWithoutAnImportDirectory) {
    site.dir.Write("site001/MCT.XML", "<departments/>");
    importDirectory.clear();
    Pass(CountedPtr<FileSystem>(new LocalWinFileSystem), false);
    EXPECT_EQ(Data("MCT.XML"), "<departments/>");
    EXPECT_THAT(messages.error.Texts(),
                ElementsAre("Maintenance files are not sent: ImportDestinationPath is empty."));
}

// Every table the sender knows, delivered in one pass in name order (CBT first): the
// semaphore lists departments, items, item lists, combos, then mix-and-match offers.
TEST_F(ItemSender, TheSemaphoreListsEveryTableInItsFixedOrder) {
    for (const char* name : {"MMT.XML", "CBT.XML", "ILT.XML", "ITT.XML", "MCT.XML"}) {
        site.dir.Write(std::string("site001/") + name, "<table/>");
    }
    Pass();
    EXPECT_EQ(Imported("SEM33020261206140509.XML"),
              "<?xml version=\"1.0\" ?>\r\n<FileList>\r\n"
              " <File>MCT33020261206140509.XML</File>\r\n"
              " <File>ITT33020261206140509.XML</File>\r\n"
              " <File>ILT33020261206140509.XML</File>\r\n"
              " <File>CBT33020261206140509.XML</File>\r\n"
              " <File>MMT33020261206140509.XML</File>\r\n"
              "</FileList>");
    EXPECT_THAT(messages.error.Texts(), IsEmpty());
}

}  // namespace
}  // namespace tw::radiant
