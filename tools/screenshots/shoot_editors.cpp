// The maintenance editors: departments, item lists and the entry sub-editor of one list with
// the back office's items offered, combos and the combo-list sub-editor of one combo,
// mix-and-match offers and the entry sub-editor of one offer.
// screenshot-libs: tw_naxml_ui
#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>

#include "naxml/maintenance/maintenance_writers.h"
#include "naxml/maintenance/packed_cell.h"
#include "naxml/ui/grid_dialog.h"
#include "shot_support.h"

namespace {

// A shot never waits for a click.
class NoPrompter final : public tw::Prompter {
public:
    void ShowMessage(const std::string&) override {}
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    QApplication::setApplicationName("Tidewell");
    const QString out = tw::shots::OutputDirectory(argc, argv, "shoot_editors");
    QTemporaryDir scratch;
    namespace naxml = tw::naxml;
    naxml::MaintenanceSite site;
    site.directory = scratch.path().toStdString() + "/";
    naxml::PendingDeletions deletions;
    NoPrompter prompter;

    const std::vector<naxml::DepartmentRow> departments{
        {"1", "Fuel"},    {"2", "Tobacco"},   {"7", "Bakery"},      {"12", "Dairy"},
        {"14", "Drinks"}, {"23", "Car wash"}, {"31", "Lubricants"}, {"40", "Lottery"}};
    const std::vector<naxml::ItemListRow> lists{
        {"L1", "Soft drinks", "012345678905;upcA;0;;14;049000028904;upcA;0;;14;"},
        {"L2", "Gum and mints", "123;plu;4;;;124;plu;0;;;"},
        {"L3", "Coffee cups", "4006381333931;ean13;0;C-12;;"}};
    if (!naxml::SaveDepartmentFile(site, departments, deletions) ||
        !naxml::SaveItemListFile(site, lists, deletions))
        return 1;

    naxml::DepartmentEditor departmentEditor(site, prompter, deletions);
    departmentEditor.Load();
    tw::ui::DepartmentDialog departmentDialog(departmentEditor);
    departmentDialog.resize(departmentDialog.width(), 420);
    bool saved = tw::shots::Save(departmentDialog, out, "department_editor");

    naxml::ItemListEditor itemListEditor(site, prompter, deletions);
    itemListEditor.Load();
    itemListEditor.SetItemChoices({"01234567890 Pack:1 Cola", "049000028904 Pack:6 Cola 6-pack",
                                   "4711 Pack:1 Cola", "123 Pack:4 Gum"});
    tw::ui::ItemListDialog itemListDialog(itemListEditor);
    itemListDialog.resize(itemListDialog.width(), 300);
    saved = tw::shots::Save(itemListDialog, out, "item_list_editor") && saved;

    const auto entries = itemListEditor.EntriesEditor(0);
    tw::ui::ItemEntriesDialog entriesDialog(*entries);
    entriesDialog.resize(entriesDialog.width(), 420);
    entriesDialog.show();
    tw::ui::GridView& view = entriesDialog.View();
    view.setCurrentIndex(view.model()->index(2, 0));
    static_cast<QAbstractItemView&>(view).edit(view.currentIndex());
    if (auto* combo = qobject_cast<QComboBox*>(view.OpenEditor()))
        combo->setCurrentIndex(1);
    saved = tw::shots::Save(entriesDialog, out, "item_entries_editor") && saved;

    const std::vector<naxml::ComboRow> combos{
        {"C1", "Cola and gum", "2.49",
         naxml::PackCell(
             {{"L1", "1", "each", "1.49", "", ""}, {"L2", "1", "each", "1.00", "10", "percent"}}),
         "2026-12-01", "06:00:00", "2026-12-31", "22:00:00"},
        {"C2", "Coffee and cake", "3.20", naxml::PackCell({{"L3", "1", "each", "", "", ""}}), "",
         "", "", ""},
        {"WKND", "Weekend drinks", "5.00", naxml::PackCell({{"L1", "2", "liter", "", "", ""}}),
         "2026-12-05", "", "2026-12-06", ""}};
    if (!naxml::SaveComboFile(site, combos, deletions))
        return 1;
    naxml::ComboEditor comboEditor(site, prompter, deletions);
    comboEditor.Load();
    tw::ui::ComboDialog comboDialog(comboEditor);
    comboDialog.resize(comboDialog.width(), 300);
    saved = tw::shots::Save(comboDialog, out, "combo_editor") && saved;

    const auto comboList = comboEditor.ListEditor(0);
    tw::ui::SubListDialog comboListDialog(*comboList);
    comboListDialog.resize(comboListDialog.width(), 420);
    comboListDialog.show();
    tw::ui::GridView& listView = comboListDialog.View();
    listView.setCurrentIndex(listView.model()->index(2, 0));
    static_cast<QAbstractItemView&>(listView).edit(listView.currentIndex());
    if (auto* combo = qobject_cast<QComboBox*>(listView.OpenEditor()))
        combo->setCurrentIndex(3);
    saved = tw::shots::Save(comboListDialog, out, "combo_list_editor") && saved;

    std::vector<naxml::MixMatchRow> offers(3);
    const auto offer = [&offers](std::size_t n, const char* description, const char* id,
                                 const char* restrictions, const char* entries) {
        naxml::MixMatchRow& row = offers[n];
        row.description = description;
        row.promotion = id;
        row.salesRestrictions = restrictions;
        row.highFlag = "TRUE";
        row.lowFlag = "FALSE";
        row.itemListIds = "L1;L2;";
        row.startDate = "2026-12-01";
        row.stopDate = "2026-12-31";
        row.entries = entries;
        row.priority = "medium";
    };
    offer(0, "Two drinks", "101", "", "2;each;MixMatchPrice;3.00;");
    offer(1, "Sunday candy", "102",
          "SalesRestrictFlag;prohibitEBT;;TRUE;;;WeekdayAvailability;Sunday;;TRUE;08:00:00;"
          "17:00:00;",
          "3;each;MixMatchDiscountPercent;10;6;each;MixMatchDiscountPercent;15;");
    offer(2, "Coffee and cake", "103", "", "2;each;MixMatchDiscountAmount;0.50;");
    offers[2].lotLimit = "4";
    offers[2].lotUom = "each";
    offers[2].priority = "high";
    if (!naxml::SaveMixMatchFile(site, offers, deletions))
        return 1;
    naxml::MixMatchEditor mixMatchEditor(site, prompter, deletions);
    mixMatchEditor.Load();
    tw::ui::MixMatchDialog mixMatchDialog(mixMatchEditor);
    mixMatchDialog.resize(mixMatchDialog.width(), 300);
    saved = tw::shots::Save(mixMatchDialog, out, "mix_match_editor") && saved;

    const auto mixMatchEntries = mixMatchEditor.SubEditor(1, naxml::kMixMatchEntriesColumn);
    tw::ui::SubListDialog entriesOfOffer(*mixMatchEntries);
    entriesOfOffer.resize(entriesOfOffer.width(), 360);
    saved = tw::shots::Save(entriesOfOffer, out, "mix_match_entries_editor") && saved;
    return saved ? 0 : 1;
}
