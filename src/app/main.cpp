#include "app/commandline.h"
#include "app/highdpi.h"
#include "app/mainwindow.h"
#include "app/settingsfile.h"
#include "app/signalquit.h"
#include "app/ustawienia.h"

#include <QApplication>
#include <QIcon>
#include <QPushButton>

int main(int argc, char* argv[]) {
    // No organisation name: the configuration folder is then ~/.config/zrv.
    QCoreApplication::setApplicationName(QStringLiteral("zrv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZRV_VERSION));
    CommandLine options;
    {
        // Without a GUI application: --help and --version must work with no display (the man
        // page is made from them at build time).
        QCoreApplication probe(argc, argv);
        const int status = options.parse(QCoreApplication::arguments());
        if (status >= 0)
            return status;
    }
    app::zrvApplyHighDpi();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zrv.png")));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zrv.zrv"));
    Ustawienia::filePath = SettingsFile::locate();
    MainWindow window(nullptr);
    SignalQuit signalQuit(&window);
    window.settingsPage()->useForThisRun(options.port, options.speedIndex);
    window.show();
    window.update();
    if (options.open)
        window.portToggle()->click();
    return app.exec();
}
