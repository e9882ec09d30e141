#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    // Every geometry is in logical pixels: on a 2x screen the same layout at twice the size.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zrv.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zrv.zrv"));
    MainWindow window(nullptr);
    window.show();
    window.update();
    return app.exec();
}
