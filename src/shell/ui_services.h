// Every message box, question, file picker and the end of the run go
// through this interface: people get the real dialogs, tests answer them.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace qova::shell {

// Message box styles, combined with |; the numbers are the classic ones so a
// caller can write the shape it means (YesNo | Critical | DefaultButton2).
enum MsgStyle : int {
    OkOnly = 0,
    OkCancel = 1,
    YesNo = 4,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Information = 64,
    DefaultButton2 = 256,
};

enum MsgResult : int { MsgOk = 1, MsgCancel = 2, MsgYes = 6, MsgNo = 7 };

class UiServices {
public:
    virtual ~UiServices() = default;
    // Modal message box. No title (a null string) means the program's
    // name; an empty but given title ("") is shown empty.
    virtual MsgResult msgBox(const QString& prompt, int style = OkOnly, const QString& title = {}) = 0;
    // A file to open or to write, chosen in the standard file dialog; ""
    // when cancelled. `filter` as the dialog takes it ("名前 (*.mdb)").
    // With `confirmReplace` false the dialog does not ask about a file that
    // exists: the caller asks in its own words.
    virtual QString openFileName(const QString& title, const QString& filter, const QString& dir = {}) = 0;
    virtual QString saveFileName(const QString& title, const QString& filter, const QString& dir = {},
                                 bool confirmReplace = true) = 0;
    // Ends the program at once, nothing saved.
    virtual void quit() = 0;
    // The colour dialog, starting at `colour` (0x00BBGGRR); false when
    // cancelled, else `colour` holds the choice.
    virtual bool chooseColour(uint32_t& colour, const QString& title = {}) = 0;
};

// The real dialogs, owned by `parent` for placement.
class QtUiServices : public UiServices {
public:
    explicit QtUiServices(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    MsgResult msgBox(const QString& prompt, int style, const QString& title) override;
    QString openFileName(const QString& title, const QString& filter, const QString& dir) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& dir,
                         bool confirmReplace) override;
    void quit() override;
    bool chooseColour(uint32_t& colour, const QString& title) override;

private:
    QWidget* parent_;
};

}  // namespace qova::shell
