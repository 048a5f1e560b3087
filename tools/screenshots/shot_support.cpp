#include "shot_support.h"

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace tw::shots {
namespace {

constexpr int kTitleBarHeight = 26;

void Settle(QWidget& widget) {
    widget.show();
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

QImage WithTitleBar(const QPixmap& content, const QString& title) {
    QImage image(content.width(), content.height() + kTitleBarHeight, QImage::Format_ARGB32);
    image.fill(QColor(0x2b, 0x3a, 0x4a));
    QPainter painter(&image);
    QFont font = QApplication::font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRect(10, 0, content.width() - 20, kTitleBarHeight),
                     Qt::AlignVCenter | Qt::AlignLeft, title);
    painter.drawPixmap(0, kTitleBarHeight, content);
    return image;
}

bool Write(const QImage& image, const QString& directory, const QString& name) {
    const QString path = QDir(directory).filePath(name + ".png");
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

}  // namespace

QString OutputDirectory(int argc, char** argv, const char* program) {
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s OUTPUT_DIRECTORY\n", program);
        std::exit(2);
    }
    QDir().mkpath(QString::fromLocal8Bit(argv[1]));
    return QString::fromLocal8Bit(argv[1]);
}

bool Save(QWidget& widget, const QString& directory, const QString& name) {
    Settle(widget);
    return Write(WithTitleBar(widget.grab(), widget.windowTitle()), directory, name);
}

bool SaveWithMenu(QWidget& window, QMenu& menu, const QString& directory, const QString& name) {
    Settle(window);
    QPoint at(0, 0);
    if (auto* main = qobject_cast<QMainWindow*>(&window)) {
        const QRect entry = main->menuBar()->actionGeometry(menu.menuAction());
        at = main->menuBar()->mapTo(&window, entry.bottomLeft());
    }
    menu.popup(window.mapToGlobal(at));
    Settle(menu);
    QPixmap shot = window.grab();
    QPainter painter(&shot);
    painter.drawPixmap(at, menu.grab());
    painter.end();
    menu.hide();
    return Write(WithTitleBar(shot, window.windowTitle()), directory, name);
}

bool Spin(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

}  // namespace tw::shots
