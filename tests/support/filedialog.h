#pragma once

// The user's side of a modal file dialog.
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

// Answers the next file dialog once the event loop runs it: `meanwhile` first, then `path` typed
// into the name box, as a user types a whole path, and Enter. The flag turns true once typed.
inline std::shared_ptr<bool> answerFileDialog(const QString& path,
                                              const std::function<void()>& meanwhile = {}) {
    auto answered = std::make_shared<bool>(false);
    QTimer::singleShot(0, [=] {
        QFileDialog* dialog = nullptr;
        if (!QTest::qWaitFor(
                [&] {
                    return (dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
                },
                10000))
            return;
        if (meanwhile)
            meanwhile();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name)
            return dialog->reject();
        name->setText(path);
        *answered = true;
        QTest::keyClick(name, Qt::Key_Return);
    });
    return answered;
}
