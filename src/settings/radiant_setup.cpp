#include "settings/radiant_setup.h"

#include <cerrno>

#include "messages/message.h"
#include "messages/program_messages.h"
#include "platform/paths.h"
#include "platform/wildcard.h"
#include "settings/key_lines.h"

namespace tw {
namespace {

// Reads 1 to maxDigits decimal digits; false when there is none.
bool ReadNumber(std::string_view& text, std::size_t maxDigits, int& value) {
    std::size_t digits = 0;
    value = 0;
    while (digits < text.size() && digits < maxDigits && text[digits] >= '0' &&
           text[digits] <= '9') {
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    text.remove_prefix(digits);
    return digits > 0;
}

bool Expect(std::string_view& text, char c) {
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

struct MapOpening {
    int kind;
    const char* failure;
};

// The order in which the maps are opened, and what a failure says.
constexpr MapOpening kMapOpenings[] = {
    {mapkind::kDepartment, "Cannot open department map %s."},
    {mapkind::kLevel, "Cannot open level map %s."},
    {mapkind::kGrade, "Cannot open grade map %s."},
    {mapkind::kProduct, "Cannot open product map %s."},
    {mapkind::kQualifier, "Cannot open modifier map %s."},
    {mapkind::kDepartmentTax, "Cannot open department tax map %s."},
    {mapkind::kDeposit, "Cannot open deposit map %s."},
    {mapkind::kItemTax, "Cannot open item tax map %s."},
    {mapkind::kSubdepartment, "Cannot open subdepartment map %s."},
    {mapkind::kTaxGroup, "Cannot open tax group map %s."},
};

bool HasRadiantMapFile(int kind) {
    switch (kind) {
        case mapkind::kLevel:
        case mapkind::kGrade:
        case mapkind::kDepartment:
        case mapkind::kProduct:
        case mapkind::kSalesTax:
        case mapkind::kTaxGroup:
            return true;
        default:
            return false;
    }
}

}  // namespace

platform::OleDate DefaultFileDateTime() {
    return platform::OleDate::FromCivil(1990, 1, 1);
}

platform::OleDate ParseFileDateTime(std::string_view text) {
    text = TrimBlanks(text);
    int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
    if (!ReadNumber(text, 2, month) || !Expect(text, '/') || !ReadNumber(text, 2, day) ||
        !Expect(text, '/') || text.size() < 4 || !ReadNumber(text, 4, year) ||
        (!text.empty() && text.front() >= '0' && text.front() <= '9')) {
        return platform::OleDate::Invalid();
    }
    if (!text.empty()) {
        if (!Expect(text, ' '))
            return platform::OleDate::Invalid();
        text = TrimBlanks(text);
        if (!ReadNumber(text, 2, hour) || !Expect(text, ':') || !ReadNumber(text, 2, minute)) {
            return platform::OleDate::Invalid();
        }
        if (!text.empty() && (!Expect(text, ':') || !ReadNumber(text, 2, second))) {
            return platform::OleDate::Invalid();
        }
        if (!text.empty())
            return platform::OleDate::Invalid();
    }
    return platform::OleDate::FromCivil(year, month, day, hour, minute, second);
}

std::string FormatFileDateTime(const platform::OleDate& value) {
    if (!value.IsValid() || value == DefaultFileDateTime()) {
        return std::string(kDefaultFileDateTimeText);
    }
    return value.Format("%m/%d/%Y %H:%M:%S");
}

RadiantSetup::RadiantSetup(int siteNumber, std::string programDirectory,
                           platform::ProcessLauncher& launcher, const CryptSetup& crypt)
    : PollerSetup(siteNumber, std::move(programDirectory), kProgramName, kExecutableName, launcher),
      crypt_(crypt),
      fileDateTime_(DefaultFileDateTime()) {}

RadiantSetup::~RadiantSetup() = default;

platform::OleDate RadiantSetup::FileDateTime() const {
    std::lock_guard lock(fileDateTimeMutex_);
    return fileDateTime_;
}

void RadiantSetup::SetFileDateTime(const platform::OleDate& value) {
    std::lock_guard lock(fileDateTimeMutex_);
    fileDateTime_ = value.IsValid() ? value : DefaultFileDateTime();
}

bool RadiantSetup::SaveFileDateTime(platform::FileEnv& env) {
    if (LocalDataDirectory().empty())
        return false;  // never loaded: no place to save to
    const std::string path = SetupFileName();
    std::string content;
    int error = 0;
    if (!env.ReadFile(path, content, &error) && error != ENOENT) {
        FormatMessageTo(logMessages(), "Cannot read %s: %s", path.c_str(),
                        SystemErrorText(error).c_str());
        return false;
    }
    const std::string value = FormatFileDateTime(FileDateTime());
    std::string updated;
    bool replaced = false;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = content.find('\n', start);
        end = end == std::string::npos ? content.size() : end + 1;
        std::string_view line(content.data() + start, end - start);
        const auto key = SplitKeyLine(line);
        if (!replaced && key && platform::EqualsIgnoreCase(key->key, "FileDateTime")) {
            std::string_view ending = line.substr(line.find_last_not_of("\r\n") + 1);
            updated.append("FileDateTime = ").append(value).append(ending);
            replaced = true;
        } else {
            updated.append(line);
        }
        start = end;
    }
    if (!replaced) {
        const bool crlf = content.find("\r\n") != std::string::npos;
        if (!updated.empty() && updated.back() != '\n')
            updated.append(crlf ? "\r\n" : "\n");
        updated.append("FileDateTime = ").append(value).append(crlf ? "\r\n" : "\n");
    }
    if (platform::WriteFileThroughPartial(env, path, updated, true, &error) &&
        env.SyncDirectory(std::string(platform::DirectoryPart(path)), &error)) {
        return true;
    }
    FormatMessageTo(logMessages(), "Cannot write %s: %s", path.c_str(),
                    SystemErrorText(error).c_str());
    return false;
}

void RadiantSetup::SetDefaults() {
    PollerSetup::SetDefaults();
    importDestinationPath.clear();
    salesPath.clear();
    exSalesPath.clear();
    sendItems = true;
    receiveSales = true;
    deletePOSSourceFile = true;
    useRas = false;
    rasEntry.clear();
    rasPhoneNumber.clear();
    rasCallbackNumber.clear();
    rasUserName.clear();
    rasPassword.clear();
    rasDomain.clear();
    rasLoginRetries = 30;
    journalName.clear();
    useSevenZip = true;
    totalDeposits = false;
    naxmlVersion = "3.3";
    SetFileDateTime(DefaultFileDateTime());
}

bool RadiantSetup::ApplyKey(std::string_view key, std::string_view value) {
    using platform::EqualsIgnoreCase;
    if (EqualsIgnoreCase(key, "ImportDestinationPath")) {
        importDestinationPath = value;
    } else if (EqualsIgnoreCase(key, "SalesPath")) {
        salesPath = value;
    } else if (EqualsIgnoreCase(key, "ExSalesPath")) {
        exSalesPath = value;
    } else if (EqualsIgnoreCase(key, "SendItems")) {
        sendItems = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "ReceiveSales")) {
        receiveSales = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "DeletePOSSourceFile")) {
        deletePOSSourceFile = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "UseRas")) {
        useRas = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "RasEntry")) {
        rasEntry = value;
    } else if (EqualsIgnoreCase(key, "RasPhoneNumber")) {
        rasPhoneNumber = value;
    } else if (EqualsIgnoreCase(key, "RasCallbackNumber")) {
        rasCallbackNumber = value;
    } else if (EqualsIgnoreCase(key, "RasUserName")) {
        rasUserName = value;
    } else if (EqualsIgnoreCase(key, "RasEncryptPassword")) {
        rasPassword = crypt_.Decipher(value);
    } else if (EqualsIgnoreCase(key, "RasPassword")) {
        rasPassword = value;
    } else if (EqualsIgnoreCase(key, "RasDomain")) {
        rasDomain = value;
    } else if (EqualsIgnoreCase(key, "RasLoginRetries")) {
        rasLoginRetries = LeadingInteger(value);
    } else if (EqualsIgnoreCase(key, "JournalName")) {
        journalName = value;
    } else if (EqualsIgnoreCase(key, "7Z")) {
        useSevenZip = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "FileDateTime")) {
        // A text that does not read as a date restarts polling from the default, as the sales
        // intake always did with it.
        SetFileDateTime(ParseFileDateTime(value));
    } else if (EqualsIgnoreCase(key, "TotalDeposits")) {
        totalDeposits = IsTrueText(value);
    } else if (EqualsIgnoreCase(key, "NaxmlVersion")) {
        naxmlVersion = value;
    } else {
        return PollerSetup::ApplyKey(key, value);
    }
    return true;
}

std::string RadiantSetup::WriteKeys(KeyFile which) const {
    KeyFileText out;
    if (which == KeyFile::Setup) {
        out.Text("ImportDestinationPath", importDestinationPath);
        out.Text("SalesPath", salesPath);
        out.Text("ExSalesPath", exSalesPath);
        out.Bool("SendItems", sendItems);
        out.Bool("ReceiveSales", receiveSales);
        out.Bool("DeletePOSSourceFile", deletePOSSourceFile);
        out.Text("UserName", userName);
        out.Text("Password", password);
        out.Bool("UseRas", useRas);
        out.Text("RasEntry", rasEntry);
        out.Text("RasPhoneNumber", rasPhoneNumber);
        out.Text("RasCallbackNumber", rasCallbackNumber);
        out.Text("RasUserName", rasUserName);
        out.Text("RasEncryptPassword", crypt_.Encipher(rasPassword));
        out.Text("RasDomain", rasDomain);
        out.Signed("RasLoginRetries", rasLoginRetries);
        out.Text("JournalName", journalName);
        out.Bool("7Z", useSevenZip);
        out.Text("FileDateTime", FormatFileDateTime(FileDateTime()));
    } else {
        out.Signed("RegisterNumber", registerNumber);
        out.Bool("PostNewItems", postNewItems);
    }
    out.Unsigned("UnknownItemDept", unknownItemDept);
    out.Bool("TotalDeposits", totalDeposits);
    out.Text("NaxmlVersion", naxmlVersion);
    return out.Content();
}

std::string RadiantSetup::MapFileName(int kind) const {
    return HasRadiantMapFile(kind) ? PollerSetup::MapFileName(kind) : std::string();
}

MapColumnCaptions RadiantSetup::ColumnCaptions(int kind) const {
    switch (kind) {
        case mapkind::kLevel:
            return {"POS Price Tier", "POS Price Tier", "QOR Level #", "QOR Level"};
        case mapkind::kGrade:
            return {"POS", "POS", "QOR Grade #", "QOR Grade"};
        case mapkind::kDepartment:
            return {"QOR Dept #", "QOR Dept", "POS Dept", "POS Dept"};
        case mapkind::kProduct:
            return {"POS", "POS", "QOR Product #", "QOR Product"};
        case mapkind::kQualifier:
            return {"QOR", "QOR Pack Size", "POS Qualifier #", "POS Qualifier"};
        case mapkind::kSalesTax:
            return {"POS (Import)", "POS (Post)", "QOR Tax Liability", "QOR Tax Description"};
        case mapkind::kDepartmentTax:
            return {"QOR Dept #", "QOR Dept", "POS Tax Group #", "POS Tax Group"};
        case mapkind::kDeposit:
            return {"POS", "POS", "QOR Account #", "QOR Current Asset"};
        case mapkind::kItemTax:
            return {"QOR Tax #", "QOR Tax", "POS Tax #", "POS Tax"};
        case mapkind::kSubdepartment:
            return {"QOR Dept#.Sub#", "QOR Dept, QOR SubDept", "POS SubDept #", "POS SubDept"};
        case mapkind::kTaxGroup:
            return {"QOR Tax Group", "QOR Tax Group", "POS TaxStrategy", "POS TaxPlan"};
        case mapkind::kCarWash:
            return {"POS CarWash #", "POS CarWash", "QOR Dept#.Sub#", "QOR Dept, QOR SubDept"};
        case mapkind::kLocalCredit:
            return {"QOR Cust ID", "QOR Customer", "POS", "POS Local Cred Acct"};
        case mapkind::kPayrollEmployee:
            return {"POS ID", "POS Name", "QOR ID", "QOR Name"};
        default:
            return {};
    }
}

bool RadiantSetup::OpenMaps() {
    salesTaxes_ = std::make_unique<StdListStringMapping>();
    const std::string taxFile = MapFileName(mapkind::kSalesTax);
    if (!salesTaxes_->Load(taxFile)) {
        FormatMessageTo(logMessages(), "No mapping in %s.", taxFile.c_str());
    }
    for (const MapOpening& opening : kMapOpenings) {
        const std::string fileName = MapFileName(opening.kind);
        if (!OpenStringMap(fileName, opening.kind)) {
            FormatMessageTo(errorMessages(), opening.failure, fileName.c_str());
            return false;
        }
    }
    return true;
}

}  // namespace tw
