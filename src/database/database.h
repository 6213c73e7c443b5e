// The picture database of the main window: creating, opening and closing a
// database file and the switch between the file browser and the database
// controls (database.cpp); adding, deleting and restoring records, the
// write path and the grid (records.cpp); importing a directory through the
// DirSelect dialog (import.cpp). The window makes one.
#pragma once

#include <QObject>
#include <QString>

#include <exception>
#include <functional>

#include "database/data_control.h"
#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::database {

class DirSelect;

// What the DirSelect dialog and the import share, and what the dialog
// remembers between openings.
struct ImportState {
    QString directory;   // the directory being imported; "" when none is prepared
    bool running = false;  // Abort (or closing the dialog) clears it
    QString savedDrive;
    QString savedDirectory;
    QString savedFileType;
};

class Database : public QObject, public shell::Subsystem {
    Q_OBJECT
public:
    explicit Database(shell::ShellContext& ctx);
    ~Database() override;

    // --- database files (database.cpp) ---
    void mnuDatabaseCreate_Click();
    void mnuDatabaseOpen_Click();
    void mnuDatabaseClose_Click();

    // --- records (records.cpp) ---
    void Command1_Click();            // add a picture from a file
    void Command2_Click();            // delete the current record
    void mnuDatabaseRestore_Click();  // add the last deleted record again
    void Dpeople_Validate(int action);
    void DBGrid1_RowColChange();

    // --- directory import (import.cpp) ---
    void mnuDatabaseDir_Click();
    // The import over the dialog's file list (its OK button calls it).
    void DirSelect_Click(DirSelect& dialog);
    ImportState& importState() { return import_; }
    // Tests drive the dialog through this hook instead of its modal loop;
    // null restores the real dialog.
    using DirSelectHook = std::function<void(DirSelect&)>;
    static void setDirSelectHook(DirSelectHook hook);

    DataControl& Dpeople() { return dpeople_; }
    const QString& lastDeletedName() const { return lastDeleted_; }

private:
    // Detaches the data control and Img1 from the database.
    void Unbind();
    // Binds the data control to `path` and Img1 to the picture field.
    void Bind(const QString& path);
    void enterDatabaseMode();
    void layoutDatabaseMode();
    void leaveDatabaseMode();
    void setDatabaseMenus(bool open);
    // The status panels and the image menus follow the picture now in Img1
    // (none: panels empty, image menus off).
    void recordShown();
    void clearImageInfo();
    // Panels 3–6 from what Img1 shows.
    void imagePanels();
    // A failed file command: the message, and the window back in browser mode.
    void fileCommandFailed(const std::exception& e, const QString& path);
    // The message of a failed record command: source, number, description.
    void reportRecordError(const std::exception& e);
    // Loads `path` into Img1 for a new record at full size; the engine code.
    int16_t loadForRecord(const QString& path);

    shell::ShellContext& ctx_;
    DataControl dpeople_;
    QString lastDeleted_;
    QString lastAddDirectory_;
    ImportState import_;
};

// "source number\ndescription" for any error a record command catches; false
// in `cancelled` for everything but a cancelled engine dialog.
QString recordErrorText(const std::exception& e, bool* cancelled = nullptr);

}  // namespace qova::database
