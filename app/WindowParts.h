#pragma once

class QLabel;
class QStatusBar;
class QString;
namespace Ui {
class TForm1;
}

// Pieces of the main window that only look: the toolbar artwork, with the
// greyed start and stop, and the status bar's panels.
struct WindowParts {
    static void setIcons(Ui::TForm1& ui);
    // A panel `width` wide (at least, unless `fixed`), added to `bar`.
    static QLabel* addPanel(QStatusBar& bar, const QString& name, int width, bool fixed);
};
