#pragma once
// Setup lists: the POS codes a mapping editor offers for a kind of code, with
// their captions. Departments, fuel grades, price tiers and tanks come from the
// POS's movement files of the latest sales periods; the POS tax groups from the
// site's sales-tax mapping; the tax combinations are a fixed list.
//
// A list is an iterator: First() moves to the first code, Next() to the
// following one; both return false when there is none, and CodeText()/Caption()
// describe the current code. Not thread-safe; a list is built and walked by one
// thread (the editor's).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/code_maps.h"

namespace tw {

class RadiantSetup;

// String table number of the tax-combination list's title.
inline constexpr int kTaxGroupListTitleId = 61228;

class SetupList {
public:
    virtual ~SetupList() = default;

    // Whether the list has anything to offer.
    virtual bool IsAvailable() const = 0;
    virtual bool First() = 0;
    virtual bool Next() = 0;
    // The current code as "%d".
    virtual std::string CodeText() const;
    // The current caption.
    virtual std::string Caption() const { return caption_; }

    std::int32_t Code() const { return code_; }
    int CaptionResourceId() const { return captionResourceId_; }
    const std::string& Title() const { return title_; }

protected:
    std::int32_t code_ = 0;
    int captionResourceId_ = 0;
    std::string caption_;
    std::string title_;
};

// Codes collected from movement files. A code found in several files (or
// several times in one) is offered once, with the caption it had where it was
// first added; codes are offered in ascending numeric order. Values that are
// not whole 32-bit numbers are not codes and are passed over.
class SetupListBuilder : public SetupList {
public:
    bool IsAvailable() const override { return !codes_.empty(); }
    bool First() override;
    bool Next() override;

    // Reads one movement file and adds the codes it holds. False when the file
    // cannot be read or is not well-formed XML; nothing is added then. A missing
    // file is no error worth a report (the slot may simply not have been filled
    // yet).
    virtual bool Build(const std::string& path) = 0;
    // Adds a code; a code already present keeps its caption.
    void Add(std::int32_t code, std::string caption);

    std::size_t Size() const { return codes_.size(); }

protected:
    // What Build reads: every element named `detail` (anywhere in the document),
    // in it the children on `path` (a child name, or "child/grandchild"), and
    // optionally a caption child of the detail element. Names compare without
    // regard to case and ignore a namespace prefix. Without a caption element the
    // code's own text is its caption.
    bool BuildFrom(const std::string& file, std::string_view detail, std::string_view path,
                   std::string_view captionChild = {});

private:
    std::map<std::int32_t, std::string> codes_;
    std::map<std::int32_t, std::string>::const_iterator current_;
};

// Departments of the merchandise code movement ("MCM"): MCMDetail /
// MerchandiseCode, with MerchandiseCodeDescription as caption.
class RadiantDeptList : public SetupListBuilder {
public:
    bool Build(const std::string& path) override;
};

// Fuel grades of the fuel grade movement ("FGM"): FGMDetail / FuelGradeID.
class RadiantFuelGradeList : public SetupListBuilder {
public:
    bool Build(const std::string& path) override;
};

// Price tiers of the fuel grade movement ("FGM"): FGMDetail /
// FGMPriceTierSummary / PriceTierCode.
class RadiantPriceTierList : public SetupListBuilder {
public:
    bool Build(const std::string& path) override;
};

// Tanks of the tank product movement ("TPM"): TPMDetail / TankID.
class RadiantFuelProductList : public SetupListBuilder {
public:
    bool Build(const std::string& path) override;
};

// The pairs of the sales-tax list mapping: the code is the pair's key read as a
// number, the caption its value, in the mapping's order. Pairs whose key is not
// a number are passed over. The mapping must outlive the list; null means an
// empty list.
class RadiantTaxSetupList : public SetupList {
public:
    explicit RadiantTaxSetupList(const StringMapper* salesTaxes);
    bool IsAvailable() const override { return !pairs_.empty(); }
    bool First() override;
    bool Next() override;

private:
    bool Show();
    std::vector<StringPair> pairs_;
    std::size_t position_ = 0;
};

// The sixteen tax combinations: code 0 "No Tax" to 15 "Tax1 & Tax2 & Tax3 &
// Tax4", the code a bit set with bit 0 for Tax1 up to bit 3 for Tax4.
class RadiantTaxGroupSetupList : public SetupList {
public:
    RadiantTaxGroupSetupList();
    bool IsAvailable() const override { return true; }
    bool First() override;
    bool Next() override;
};

// The caption of a tax combination code (0 to 15); empty outside that range.
std::string TaxCombinationCaption(int code);

// The movement file code a kind's list reads ("MCM", "FGM", "TPM"); empty for
// kinds whose list reads no movement files.
std::string_view SetupListMovementCode(int kind);

// The movement file of a sales sequence: "<data directory><code>D<slot>.XML"
// with the slot
// "%04d" = sequence modulo the day history's slot count, the slot the journal
// processing files the period's reports under.
std::string SetupListMovementFile(const std::string& dataDirectory, std::string_view code,
                                  std::int32_t sequence, std::int32_t slotCount);

// Builds the list for a mapping kind: 2 departments, 0 price tiers, 1 fuel
// grades, 3 tanks (each from the movement files of the ten newest periods of
// the site's day history, newest first, so a code's caption is the latest one),
// 5 the sales-tax pairs, 11 the tax combinations. Null when the site has no day
// history (OpenHistory has reported why) or the kind has no list.
std::unique_ptr<SetupList> BuildSetupList(const std::string& localDataDirectory, int site, int kind,
                                          const StringMapper* salesTaxes);
// The same for the open site's settings.
std::unique_ptr<SetupList> BuildSetupList(RadiantSetup& setup, int kind);

}  // namespace tw
