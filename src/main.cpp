#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include "app/main_window.h"

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
    return app.exec();
}
