#include "highdpi.h"
#include "mainwindow.h"
#include "signalquit.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    zrvApplyHighDpi();
    QApplication app(argc, argv);
    // No organisation name: the configuration folder is then ~/.config/zrv.
    QCoreApplication::setApplicationName(QStringLiteral("zrv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZRV_VERSION));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zrv.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zrv.zrv"));
    MainWindow window(nullptr);
    SignalQuit signalQuit(&window);
    window.show();
    window.update();
    return app.exec();
}
