#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include "app/help_about.h"
#include "app/main_window.h"
#include "shell/status_bar.h"

namespace {

// Install checks start the program headless with a picture and need it to end
// by itself and say what a user would have seen: QOVA_QUIT_AFTER_MS=n ends the
// run n ms after the window shows, first saving the window to QOVA_GRAB (if
// set), opening Help, and printing the status panels and the help file shown.
// Environment only: the command line is the picture's path and nothing else.
void reportAndQuit(qova::app::Form1& w) {
    using qova::shell::MenuId;
    const QString grab = qEnvironmentVariable("QOVA_GRAB");
    if (!grab.isEmpty()) w.grab().save(grab);
    QTextStream out(stdout);
    out << "image " << w.state().fImage;
    for (int panel = 3; panel <= 6; ++panel) out << " | " << w.controls().StatusBar1->panelText(panel);
    out << '\n';
    w.action(MenuId::mnuHelpHelp)->trigger();
    if (const auto* help = w.findChild<qova::app::HelpWindow*>())
        out << "help " << help->shownFile() << " | " << help->documentTitle() << '\n';
    out.flush();
    QApplication::exit(0);
}

}  // namespace

namespace {

// Every handler of the program runs inside its own error trap
// (shell/trap.h); this is the last resort for an event handler that does
// not, so an error ends that one event and never the program.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            return false;
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QOVA"));
#ifdef QOVA_APP_ID
    // Lets the desktop match our windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(QOVA_APP_ID));
#endif
    QApplication::setWindowIcon(QIcon(qova::app::programFile(QStringLiteral("qova.svg"))));
    // Qt's own texts (file list headers, standard buttons) in Japanese, like ours.
    QTranslator qtJapanese;
    if (qtJapanese.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);
    // The main window ends the run itself (Exit, closing it, or Esc → Yes).
    QApplication::setQuitOnLastWindowClosed(false);
    qova::app::Form1 w;
    // The whole command line names one image, quotes and all.
    w.Form_Load(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')));
    w.show();
    if (const int ms = qEnvironmentVariableIntValue("QOVA_QUIT_AFTER_MS"); ms > 0)
        QTimer::singleShot(ms, &w, [&w] { reportAndQuit(w); });
    return app.exec();
}
