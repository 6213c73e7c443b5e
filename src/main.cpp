#include <QApplication>
#include <QStringList>

#include "app/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QOVA"));
    // The main window ends the run itself (Exit, closing it, or Esc → Yes).
    QApplication::setQuitOnLastWindowClosed(false);
    qova::app::Form1 w;
    // The whole command line names one image, quotes and all.
    w.Form_Load(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')));
    w.show();
    return app.exec();
}
