#include "view/form3.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "shell/trap.h"

namespace qova::view {

namespace {

constexpr const char* kCaptions[6] = {"640*400", "800*600", "1024*768", "1152*864", "1280*1024", "1600*1200"};
// The sizes of Option2…Option6.
constexpr QSize kSizes[5] = {{800, 600}, {1024, 768}, {1152, 864}, {1280, 1024}, {1600, 1200}};

}  // namespace

Form3::Form3(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("ZOOM"));
    auto* column = new QVBoxLayout(this);
    for (int i = 0; i < 6; ++i) {
        options_[i] = new QRadioButton(QLatin1String(kCaptions[i]), this);
        options_[i]->setObjectName(QStringLiteral("Option%1").arg(i + 1));
        column->addWidget(options_[i]);
    }
    options_[0]->setChecked(true);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2 = new QPushButton(QStringLiteral("CANCEL"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    column->addLayout(buttons);
    column->setSizeConstraint(QLayout::SetFixedSize);
    shell::connectTrapped(Command2, &QPushButton::clicked, this, [this](bool) { reject(); });
}

QSize Form3::chosenSize() const {
    QSize s(640, 480);
    for (int i = 1; i < 6; ++i)
        if (options_[i]->isChecked()) s = kSizes[i - 1];
    return s;
}

}  // namespace qova::view
