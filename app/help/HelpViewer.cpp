#include "app/help/HelpViewer.h"

#include <QMessageBox>
#include <QPointer>
#include <QScreen>

#include "app/help/HelpFile.h"
#include "app/help/HelpPlacement.h"
#include "app/help/HelpWindow.h"

namespace miretoka {
namespace {
QPointer<HelpWindow> g_window;

void ShowErrorBox(QWidget *parent, const QString &message) {
  QMessageBox::critical(parent, QStringLiteral("ミレトカ"), message);
}

HelpErrorReporter &Reporter() {
  static HelpErrorReporter reporter = ShowErrorBox;
  return reporter;
}

// Reads the file afresh on every request, so a help file changed while the program runs is
// shown as it is now. Returns the window to show the page in, or null after reporting why
// the file cannot be shown; a window already open then stays as it was.
HelpWindow *PrepareWindow(QWidget *parent, const QString &helpFile) {
  HelpLoadResult loaded = LoadHelpFile(helpFile);
  if (!loaded.file) {
    Reporter()(parent, loaded.error);
    return nullptr;
  }
  if (g_window) {
    g_window->setHelpFile(std::move(*loaded.file));
  } else {
    g_window = new HelpWindow(std::move(*loaded.file), parent);
    g_window->setAttribute(Qt::WA_DeleteOnClose);
    // First shown beside the program's window; after that the window stays where the user
    // put it.
    if (QWidget *owner = parent ? parent->window() : nullptr) {
      QScreen *screen = owner->screen();
      if (screen && owner->isVisible())
        g_window->setGeometry(HelpWindowPlacement(owner->frameGeometry(), g_window->size(), screen->availableGeometry()));
    }
  }
  return g_window;
}

// A page asked for by the user from the menu takes the keyboard focus. A page that opens
// along with a lesson only comes to the front: the learner goes on clicking the board and
// the contents list, and a help window taking the focus would swallow the second click of
// a double-click there.
void Present(HelpWindow *window, bool activate) {
  window->setAttribute(Qt::WA_ShowWithoutActivating, !activate);
  window->show();
  window->raise();
  if (activate) window->activateWindow();
}
}  // namespace

void ShowHelpContents(QWidget *parent, const QString &helpFile) {
  if (HelpWindow *w = PrepareWindow(parent, helpFile)) {
    w->showContents();
    Present(w, true);
  }
}

void ShowHelpTopic(QWidget *parent, const QString &helpFile, int contextNumber) {
  if (HelpWindow *w = PrepareWindow(parent, helpFile)) {
    w->showContext(contextNumber);
    Present(w, false);
  }
}

HelpErrorReporter SetHelpErrorReporter(HelpErrorReporter reporter) {
  HelpErrorReporter previous = Reporter();
  Reporter() = reporter ? std::move(reporter) : HelpErrorReporter(ShowErrorBox);
  return previous;
}

HelpWindow *CurrentHelpWindow() { return g_window.data(); }

}  // namespace miretoka
