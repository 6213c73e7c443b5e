// The help window (the program's guide, QOVA.HLP, shown as HTML) and the
// About box Form5.
#pragma once

#include <QDialog>
#include <QTextBrowser>

class QLabel;
class QPushButton;

namespace qova::app {

class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the contents page of `file` (a relative name is looked up with
    // programFile). A missing file is reported on the page itself.
    void showContents(const QString& file);
    QString shownFile() const { return file_; }

private:
    QString file_;
};

// A file the program ships (its help file, its icon), found from the
// program's own location: beside it (the build folder), else in
// ../share/qova (an installed tree). An absolute name stays as it is; a file
// found in neither place answers the name beside the program.
QString programFile(const QString& name);

// "QOVA Version " and the program's version, major.minor.patch.
QString versionText();

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(QWidget* parent = nullptr);
    QLabel* lblVersion;
    QLabel* Picture1;
    QPushButton* Command1;
};

}  // namespace qova::app
