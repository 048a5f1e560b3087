#include "settings/setup_list.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <mutex>
#include <set>

#include "messages/string_table.h"
#include "platform/text_file.h"
#include "platform/wildcard.h"
#include "settings/poll_hist.h"
#include "settings/radiant_setup.h"

namespace tw {

namespace {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// Movement files come from the POS: parsed without network access, DTD loading
// or entity substitution, so no external entity is ever fetched.
DocPtr ParseMovementFile(const std::string& path) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });
    const auto bytes = platform::ReadFile(path);
    if (!bytes || bytes->size() > static_cast<std::size_t>(INT_MAX)) {
        return nullptr;
    }
    return DocPtr(xmlReadMemory(
        bytes->data(), static_cast<int>(bytes->size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

bool IsNamed(const xmlNode* node, std::string_view name) {
    return node->type == XML_ELEMENT_NODE &&
           platform::EqualsIgnoreCase(reinterpret_cast<const char*>(node->name), name);
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string TrimmedText(const xmlNode* node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text(TrimBlanks(content ? reinterpret_cast<const char*>(content) : ""));
    xmlFree(content);
    return text;
}

bool ParseCode(std::string_view text, std::int32_t& code) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), code);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

void CollectNamed(const xmlNode* node, std::string_view name, std::vector<const xmlNode*>& out) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (IsNamed(child, name)) {
            out.push_back(child);
        } else if (child->type == XML_ELEMENT_NODE) {
            CollectNamed(child, name, out);
        }
    }
}

// The children of node along path ("a/b"): every matching child at every step.
void CollectPath(const xmlNode* node, std::string_view path, std::vector<const xmlNode*>& out) {
    const std::size_t slash = path.find('/');
    const std::string_view step = path.substr(0, slash);
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (!IsNamed(child, step)) {
            continue;
        }
        if (slash == std::string_view::npos) {
            out.push_back(child);
        } else {
            CollectPath(child, path.substr(slash + 1), out);
        }
    }
}

const xmlNode* FirstChildNamed(const xmlNode* node, std::string_view name) {
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (IsNamed(child, name)) {
            return child;
        }
    }
    return nullptr;
}

std::string FormatCode(std::int32_t code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(code));
    return buffer;
}

}  // namespace

std::string SetupList::CodeText() const {
    return FormatCode(code_);
}

bool SetupListBuilder::First() {
    current_ = codes_.begin();
    if (current_ == codes_.end()) {
        return false;
    }
    code_ = current_->first;
    caption_ = current_->second;
    return true;
}

bool SetupListBuilder::Next() {
    if (current_ == codes_.end() || ++current_ == codes_.end()) {
        return false;
    }
    code_ = current_->first;
    caption_ = current_->second;
    return true;
}

void SetupListBuilder::Add(std::int32_t code, std::string caption) {
    codes_.emplace(code, std::move(caption));
}

bool SetupListBuilder::BuildFrom(const std::string& file, std::string_view detail,
                                 std::string_view path, std::string_view captionChild) {
    const DocPtr doc = ParseMovementFile(file);
    const xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (!root) {
        return false;
    }
    std::vector<const xmlNode*> details;
    if (IsNamed(root, detail)) {
        details.push_back(root);
    }
    CollectNamed(root, detail, details);
    for (const xmlNode* row : details) {
        std::vector<const xmlNode*> values;
        CollectPath(row, path, values);
        for (const xmlNode* value : values) {
            const std::string text = TrimmedText(value);
            std::int32_t code = 0;
            if (!ParseCode(text, code)) {
                continue;
            }
            std::string caption = text;
            if (!captionChild.empty()) {
                const xmlNode* captionNode = FirstChildNamed(row, captionChild);
                caption = captionNode ? TrimmedText(captionNode) : std::string();
            }
            Add(code, std::move(caption));
        }
    }
    return true;
}

bool RadiantDeptList::Build(const std::string& path) {
    return BuildFrom(path, "MCMDetail", "MerchandiseCode", "MerchandiseCodeDescription");
}

bool RadiantFuelGradeList::Build(const std::string& path) {
    return BuildFrom(path, "FGMDetail", "FuelGradeID");
}

bool RadiantPriceTierList::Build(const std::string& path) {
    return BuildFrom(path, "FGMDetail", "FGMPriceTierSummary/PriceTierCode");
}

bool RadiantFuelProductList::Build(const std::string& path) {
    return BuildFrom(path, "TPMDetail", "TankID");
}

RadiantTaxSetupList::RadiantTaxSetupList(const StringMapper* salesTaxes) {
    if (!salesTaxes) {
        return;
    }
    std::set<std::int32_t> seen;
    for (StringPair& pair : salesTaxes->GetPairs()) {
        std::int32_t code = 0;
        if (ParseCode(TrimBlanks(pair.first), code) && seen.insert(code).second) {
            pairs_.push_back(std::move(pair));
        }
    }
}

bool RadiantTaxSetupList::Show() {
    if (position_ >= pairs_.size()) {
        return false;
    }
    ParseCode(TrimBlanks(pairs_[position_].first), code_);
    caption_ = pairs_[position_].second;
    return true;
}

bool RadiantTaxSetupList::First() {
    position_ = 0;
    return Show();
}

bool RadiantTaxSetupList::Next() {
    if (position_ < pairs_.size()) {
        ++position_;
    }
    return Show();
}

std::string TaxCombinationCaption(int code) {
    if (code < 0 || code > 15) {
        return {};
    }
    if (code == 0) {
        return "No Tax";
    }
    std::string caption;
    for (int bit = 0; bit < 4; ++bit) {
        if (code & (1 << bit)) {
            if (!caption.empty()) {
                caption += " & ";
            }
            caption += "Tax" + std::to_string(bit + 1);
        }
    }
    return caption;
}

RadiantTaxGroupSetupList::RadiantTaxGroupSetupList() {
    const char* title = strings::LoadString(kTaxGroupListTitleId);
    title_ = title ? title : std::string(MapKindCaption(mapkind::kTaxGroup));
}

bool RadiantTaxGroupSetupList::First() {
    code_ = 0;
    caption_ = TaxCombinationCaption(code_);
    return true;
}

bool RadiantTaxGroupSetupList::Next() {
    if (code_ >= 15) {
        return false;
    }
    ++code_;
    caption_ = TaxCombinationCaption(code_);
    return true;
}

std::string_view SetupListMovementCode(int kind) {
    switch (kind) {
        case mapkind::kLevel:
        case mapkind::kGrade:
            return "FGM";
        case mapkind::kDepartment:
            return "MCM";
        case mapkind::kProduct:
            return "TPM";
        default:
            return {};
    }
}

std::string SetupListMovementFile(const std::string& dataDirectory, std::string_view code,
                                  std::int32_t sequence, std::int32_t slotCount) {
    char slot[16];
    std::snprintf(slot, sizeof slot, "%04d", slotCount > 0 ? sequence % slotCount : -1);
    const std::string name = std::string(code) + "D" + slot + ".XML";
    // Slot files copied over from Windows may differ in case.
    return platform::ExistingOrExactPath(dataDirectory, name);
}

std::unique_ptr<SetupList> BuildSetupList(const std::string& localDataDirectory, int site, int kind,
                                          const StringMapper* salesTaxes) {
    std::unique_ptr<SetupListBuilder> builder;
    switch (kind) {
        case mapkind::kLevel:
            builder = std::make_unique<RadiantPriceTierList>();
            break;
        case mapkind::kGrade:
            builder = std::make_unique<RadiantFuelGradeList>();
            break;
        case mapkind::kDepartment:
            builder = std::make_unique<RadiantDeptList>();
            break;
        case mapkind::kProduct:
            builder = std::make_unique<RadiantFuelProductList>();
            break;
        case mapkind::kSalesTax:
        case mapkind::kTaxGroup:
            break;
        default:
            return nullptr;
    }

    const std::unique_ptr<PollHist> history = OpenHistory(localDataDirectory, site, kDayHistory);
    if (!history) {
        return nullptr;
    }
    if (kind == mapkind::kSalesTax) {
        return std::make_unique<RadiantTaxSetupList>(salesTaxes);
    }
    if (kind == mapkind::kTaxGroup) {
        return std::make_unique<RadiantTaxGroupSetupList>();
    }

    // Newest first, so that a code's caption is the one its latest period gave
    // it.
    const std::vector<HistRecord> records = history->ReadRingOrder();
    const std::size_t newest = std::min<std::size_t>(records.size(), 10);
    const std::string_view code = SetupListMovementCode(kind);
    for (std::size_t i = 0; i < newest; ++i) {
        const HistRecord& record = records[records.size() - 1 - i];
        builder->Build(
            SetupListMovementFile(localDataDirectory, code, record.sequence, history->SlotCount()));
    }
    return builder;
}

std::unique_ptr<SetupList> BuildSetupList(RadiantSetup& setup, int kind) {
    return BuildSetupList(setup.LocalDataDirectory(), setup.SiteNumber(), kind,
                          setup.GetListMapping());
}

}  // namespace tw
