#pragma once
// The sales period chooser: the day history's periods, one line each ("%-10d %s": sequence,
// end of the period), in ring order; "View" (or the V key) takes the selected one, "Cancel"
// none.

#include <QDialog>
#include <cstdint>
#include <vector>

#include "viewers/sales_view.h"

class QListWidget;

namespace tw::ui {

class PeriodChooserDialog : public QDialog {
    Q_OBJECT
public:
    // Selects the line of previousSequence, else the first. title: the window's title, "View"
    // when empty.
    PeriodChooserDialog(QWidget* parent, std::vector<viewers::PeriodChoice> periods,
                        std::int32_t previousSequence, const QString& title = {});

    // After the dialog is accepted: the period chosen (the number at the start of the selected
    // line); -1 when none was.
    std::int32_t ChosenSequence() const { return chosen_; }
    const viewers::PeriodChoice* ChosenPeriod() const;
    QListWidget* List() const { return list_; }

protected:
    // V acts as View, also while the list has the focus (where a letter would otherwise
    // search the list).
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool IsViewKey(const QKeyEvent& event);
    void TakeSelection();

    std::vector<viewers::PeriodChoice> periods_;
    QListWidget* list_;
    std::int32_t chosen_ = -1;
};

}  // namespace tw::ui
