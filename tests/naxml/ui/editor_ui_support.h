#pragma once
// For the editors' widget tests: typing into a grid as a user does, and acting on the modal
// dialog an editor shows.

#include <QAbstractItemView>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <functional>

#include "../../app/ui/qt_test_support.h"
#include "naxml/ui/grid_view.h"

namespace tw::test {

// One QApplication for the whole test program, however many of its files include this.
[[maybe_unused]] inline ::testing::Environment* const editorsQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

inline void PressKey(QWidget* target, int key, const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
    // The view commits an edit ended by Enter from its event loop.
    QApplication::processEvents();
}

// Types text into the cell as a user does: the first character starts the in-place editor on
// the current cell, the rest go to the editor, Enter commits. An empty text clears the cell.
inline void TypeIntoCell(ui::GridView& view, int row, int column, const QString& text) {
    view.setCurrentIndex(view.model()->index(row, column));
    if (text.isEmpty()) {
        PressKey(&view, Qt::Key_F2);
        if (QWidget* editor = view.OpenEditor())
            PressKey(editor, Qt::Key_Delete);
    } else {
        PressKey(&view, text[0].unicode(), text.left(1));
        for (qsizetype i = 1; i < text.size(); ++i) {
            if (QWidget* editor = view.OpenEditor())
                PressKey(editor, text[i].unicode(), text.mid(i, 1));
        }
    }
    if (QWidget* editor = view.OpenEditor())
        PressKey(editor, Qt::Key_Return, "\r");
    QApplication::processEvents();
}

// Runs act on the first modal dialog of type Dialog that shows up (polling the event loop).
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> act) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start(10);
}

}  // namespace tw::test
