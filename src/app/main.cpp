#include "highdpi.h"
#include "mainwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    zrvApplyHighDpi();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zrv.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zrv.zrv"));
    MainWindow window(nullptr);
    window.show();
    window.update();
    return app.exec();
}
