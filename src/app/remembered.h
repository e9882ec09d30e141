#pragma once

#include <QString>

class MainWindow;

// The pages' settings kept between runs in <configuration folder>/zrv.conf (INI), each page in
// its own group (Page::saveSettings / restoreSettings), under a format number. They are put back
// before the port opens, so a page's start sends them. A missing, older or damaged store, or any
// value out of its control's range, is passed over: that setting stays at its default.
class Remembered {
public:
    static constexpr int format = 1; // bumped when a key changes meaning

    static QString path();
    static void restore(MainWindow& window);
    // False (and said in the status line) when the store cannot be written.
    static bool save(const MainWindow& window);
};
