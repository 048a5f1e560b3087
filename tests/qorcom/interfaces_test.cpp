// The public interface headers stand alone: included first, they bring in neither the
// library's implementation nor the platform layer nor POSIX headers.
#include "qorcom/interfaces/qorcom.h"

#if defined(_UNISTD_H) || defined(_SYS_STAT_H) || defined(_FCNTL_H)
#error "the public interface headers pull in POSIX headers"
#endif
namespace tw {
int platform;  // a conflict if any platform header was included
}
namespace tw::qorcom {
using CUnknown = int;  // a conflict if the frame was included
using GenericDispatchObject = int;
}  // namespace tw::qorcom

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>
#include <string>

namespace tw::qorcom {
namespace {

using comlite::DispatchMember;
using comlite::DispatchTable;
using comlite::MemberKind;

struct InterfaceCase {
    const char* name;
    DispatchTable members;
    DispatchTable base;  // the qorcom base interface's table, empty for IDispatch
};

const InterfaceCase kInterfaces[] = {
    {"IQORRas", members::kRas, {}},
    {"IQORSendMailSMTP", members::kSendMailSMTP, {}},
    {"IQORStatus", members::kStatus, {}},
    {"IQORReadMail", members::kReadMail, {}},
    {"IQORReadMailPOP3", members::kReadMailPOP3, {}},
    {"IQORFTP", members::kFTP, {}},
    {"IQORTelnet", members::kTelnet, {}},
    {"IQORSendEMail", members::kSendEMail, {}},
    {"IQORSendEMailMAPI", members::kSendEMailMAPI, members::kSendEMail},
    {"IQORSendEMailSMTP", members::kSendEMailSMTP, members::kSendEMail},
    {"IQORReadEMail", members::kReadEMail, {}},
    {"IQORReadEMailMAPI", members::kReadEMailMAPI, members::kReadEMail},
    {"IQORReadEMailPOP3", members::kReadEMailPOP3, members::kReadEMail},
    {"IQORTerminalServerChannel", members::kTerminalServerChannel, {}},
    {"IQORSoftwareMessage", members::kSoftwareMessage, {}},
    {"IQORGlobalQueue", members::kGlobalQueue, {}},
    {"IQORLockFile", members::kLockFile, {}},
    {"IQORSoundex", members::kSoundex, {}},
    {"IQORDriveOverrider", members::kDriveOverrider, {}},
    {"IQORLogMessage", members::kLogMessage, {}},
    {"IQORHTTP", members::kHTTP, {}},
    {"IQORSFTPwod", members::kSFTPwod, members::kFTP},
    {"IQORFindFiles", members::kFindFiles, {}},
};

bool IsPropertyPair(const DispatchMember& a, const DispatchMember& b) {
    return std::string_view(a.name) == b.name && a.kind != MemberKind::Method &&
           b.kind != MemberKind::Method && a.kind != b.kind;
}

// Automatic numbering, as the type library compiler gives it: each entry of the table (in
// vtable order) takes the next number from `first`, except that the second accessor of a
// property shares the first one's.
void ExpectAutomaticNumbering(std::span<const DispatchMember> entries, DISPID first) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
        SCOPED_TRACE(entries[k].name);
        if (k > 0 && IsPropertyPair(entries[k - 1], entries[k]))
            EXPECT_EQ(entries[k].dispid, entries[k - 1].dispid);
        else
            EXPECT_EQ(entries[k].dispid, first + static_cast<DISPID>(k));
    }
}

TEST(QorcomInterfacesTest, EveryTableIsNumberedAsTheTypeLibraryNumbersIt) {
    for (const InterfaceCase& c : kInterfaces) {
        SCOPED_TRACE(c.name);
        // A derived interface repeats its base's members first, then numbers its own from
        // 0x60030000. IQOROutputMessage's three members start IQORLogMessage's table.
        std::size_t inherited = c.base.size();
        if (std::string_view(c.name) == "IQORLogMessage")
            inherited = 3;
        ASSERT_LE(inherited, c.members.size());
        for (std::size_t k = 0; k < c.base.size(); ++k) {
            EXPECT_STREQ(c.members[k].name, c.base[k].name);
            EXPECT_EQ(c.members[k].dispid, c.base[k].dispid);
            EXPECT_EQ(c.members[k].kind, c.base[k].kind);
        }
        ExpectAutomaticNumbering(c.members.subspan(0, inherited ? inherited : c.members.size()),
                                 0x60020000);
        if (inherited)
            ExpectAutomaticNumbering(c.members.subspan(inherited), 0x60030000);

        // One DISPID per name, one entry per DISPID and kind.
        std::map<std::string, DISPID> ids;
        std::set<std::pair<DISPID, MemberKind>> entries;
        for (const DispatchMember& m : c.members) {
            EXPECT_EQ(ids.emplace(m.name, m.dispid).first->second, m.dispid) << m.name;
            EXPECT_TRUE(entries.emplace(m.dispid, m.kind).second) << m.name;
        }
    }
}

// The one interface with fixed numbers: 1 to 11, a property's accessors sharing one.
TEST(QorcomInterfacesTest, TheOlderMapiSenderIsNumberedFromOne) {
    std::set<DISPID> ids;
    for (const DispatchMember& m : members::kSendMail) ids.insert(m.dispid);
    EXPECT_EQ(ids.size(), 11u);
    EXPECT_EQ(*ids.begin(), 1);
    EXPECT_EQ(*ids.rbegin(), 11);
}

}  // namespace
}  // namespace tw::qorcom
