#pragma once
// Pictures of the program for its documentation and for review: the first-start
// question, the idle window, the
// window after a pass, the receipt-type dialog, the log viewer and the sign-in dialog,
// saved as PNG files.
#include <QString>

namespace quorvin::gui {

class frmMain;

// Pictures the first-start question when it is asked, then answers Yes. Returns at once.
void PictureFirstStart(const QString& folder);

// Runs once the window has signed in, then quits the application. Returns at once.
void StartScreenshotTour(frmMain& window, const QString& folder, const QString& receipts,
                         const QString& rejects);

} // namespace quorvin::gui
