#include "mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    MainWindow window(nullptr);
    window.show();
    window.update();
    return app.exec();
}
