#pragma once
// The "Site" dialog of Setup > Site Number...: a drop-down list of the sites that have a site
// file ("Select site #"), the current one preselected.

#include <QDialog>
#include <optional>
#include <vector>

class QComboBox;

namespace tw::ui {

class CSiteDlg final : public QDialog {
public:
    // sites in the order given; current is preselected when it is among them.
    CSiteDlg(const std::vector<int>& sites, int current, QWidget* parent = nullptr);

    // The site selected in the list; nullopt when the list is empty.
    std::optional<int> SelectedSite() const;
    QComboBox* SiteList() const { return list_; }

    // Shows the dialog modally; the chosen site on OK, nullopt on Cancel.
    static std::optional<int> Choose(QWidget* parent, const std::vector<int>& sites, int current);

private:
    QComboBox* list_;
};

}  // namespace tw::ui
