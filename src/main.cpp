#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
