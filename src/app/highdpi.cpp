#include "app/highdpi.h"

#include <QApplication>

void app::zrvApplyHighDpi() {
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
}
