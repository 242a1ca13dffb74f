#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "app/window/MainWindowOptions.h"
#include "catalogue/window/CatalogueEditor.h"
#include "session/Session.h"
#include "settings/MessageLevel.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsFile.h"
#include "ui/window/WindowHost.h"

class ChangesWindow;
class HistoryWindow;
class Dialogs;
class Finder;
class HelpWindow;
class PictureViewer;
class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QTabWidget;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class QCheckBox;
class QPushButton;
class Preferences;
class RowEditor;
class Rows;
class TableView;
class TabBuilder;
class TStateSaver;
class ValueBox;

// The main window. It holds the state shared for the whole run (folders, settings, message
// level), owns every control and finds them by name, and keeps one method per user event.
// The subsystems that drive parts of it (the row editor, the table view) work against WindowHost;
// the event methods here forward to them, so each handler is found under its usual name.
class TForm1 : public QMainWindow, public WindowHost
{
    Q_OBJECT
public:
    explicit TForm1(const MainWindowOptions &options = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    // --- design-time controls
    QLabel *Panel1 = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QPlainTextEdit *TMP = nullptr;
    QPlainTextEdit *Help = nullptr;
    QMenu *PopupMenuAdd = nullptr;
    TStateSaver *StateSaver1 = nullptr;
    QAction *N1, *N2, *N3, *N4, *N6, *N7, *N8, *N9, *N11, *N13, *N14, *N18, *N19, *N20, *N21, *N22,
        *N23, *N24, *N25, *N26, *N27, *N28, *N29, *N30, *N31, *N32;

    // --- secondary windows, created right after the main window, in this order
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm4 *Form4 = nullptr;
    QPointer<TForm5> Form5; // destroyed at the end of start-up
    TForm6 *Form6 = nullptr;
    TForm7 *Form7 = nullptr;

    // --- WindowHost
    QWidget *window() override { return this; }
    void addComponent(QObject *component) override;
    QObject *findComponent(const QString &name) const override;
    Rows &rows() override { return *rowData_; }
    const Rows &rows() const override { return *rowData_; }
    QWidget *rowBox(int index) override;
    QWidget *rowSheet(int index) override;
    int rowNamed(const QString &name) const override;
    void showMessage(MessageKind kind, const QString &text) override;
    Dialogs &dialogs() const override { return *dialogs_; }
    const ProgramSettings &settings() const override { return session_->settings().run(); }
    const QByteArray &programFolder() const override { return session_->programFolder(); }
    QString settingsFolder() const override { return session_->settingsFolder(); }
    const QByteArray &gamedataFolder() const override { return session_->gamedataFolder(); }
    Session &session() const override { return *session_; }
    QLabel *statusLine() const override { return Panel1; }
    QPlainTextEdit *pendingText() const override { return TMP; }
    QPlainTextEdit *helpText() const override { return Help; }
    QTabWidget *pages() const override { return PageControl1; }
    QMenu *rowMenu() const override { return PopupMenuAdd; }
    bool writeSetting(const char *key, const QByteArray &value, QString *error) override;
    bool saveControlPlaces(const QList<QWidget *> &controls, QString *error) override;

    // Components in creation order (deleted ones are null).
    const QList<QPointer<QObject>> &components() const override { return components_; }
    // Rows named at start-up: the running number the next row would get.
    int rowCounter() const { return rowCounter_; }
    const EntryExamples &entryExamples() const { return entryExamples_; }
    const QString &registryFolder() const { return registryFolder_; }
    TableView &tableView() const { return *table_; }
    // The row events (clicks, edits, applies) go straight from the controls to it.
    RowEditor &rowEditor() const { return *rows_; }
    // True from the end of the start-up sequence on.
    bool isReady() const { return ready_; }
    // Waits for the values that the start left to be read in the background, gives them to the
    // rows and reports the problems met (what happens by itself once that read is through).
    void waitForRowValues();
    // What the program returns: 1 when the start could not go on, else 0.
    int exitCode() const { return exitCode_; }

    // --- start-up, close and the main window's own commands
    void FormShow();
    void FormResize();
    void FormClose();
    void PageControl1Change();
    void N4Click();
    void N6Click();

    // --- editor rows
    void N19Click();

    // --- table view and table mode
    void N21Click();
    void N27Click();
    void N28Click();
    // --- preferences
    void N7Click();
    void N14Click();
    void N24Click();
    void N25Click();
    void N26Click();
    void N30Click();
    void N31Click();
    void N32Click();

    // --- buttons on the sub-tabs (picture viewer, table view)
    void ButImgClick(QPushButton *button) override;
    void ButTablClick(QPushButton *button) override;

    // --- help window
    void N8Click();

    // --- catalogue editing: entries, pages shown, dragging tabs and rows
    void N9Click();
    void N11Click();
    void N13Click();
    void N18Click();
    void PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos);
    void PageControl1DragOver(QTabWidget *tabs, QObject *source, const QPoint &pos, bool *accept);
    void PageControl1DragDrop(QTabWidget *tabs, QObject *source, const QPoint &pos);
    void LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos, bool *accept);
    // --- find, changes since the backups, reload
    void FindClick();
    void ChangesClick();
    void ReloadClick() override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     const QKeySequence &shortcut = {});

    // Parts of the start-up sequence.
    void showLoadingWindow();
    void locateSettingsFolder();
    void setEntryExamples();
    bool settleGamedataFolder();
    bool firstStart();
    void offerAnotherGamedataFolder();
    // Asks for the gamedata folder; empty when cancelled (or unusable, after a message).
    QByteArray askGamedataFolder();
    // Says at once when the gamedata folder, or a game file of the rows, cannot be written, and
    // offers to work on a copy when it is the example beside the program.
    void checkGamedataWritable();
    // The game files of the rows that exist and cannot be written: the first few, and how many.
    QStringList readOnlyRowFiles(int shown, int *count) const;
    // True when the program works on the copy from now on.
    bool offerExampleCopy(const QString &problem);
    void readProgramSettings();
    void applyWindowSize();
    void enableEditing(bool catalogueComplete);
    // Restores the saved state of a sub-tab's row controls as they are created and lets them
    // be dragged.
    void rowControlsCreated(const QList<QWidget *> &controls);
    // Status line and message of a start without its gamedata folder.
    QString missingFolderText() const;
    // Asks what to do with edited rows not applied yet; false when the user cancels (or
    // applying them failed).
    bool confirmUnappliedRows();
    // Closes the window after confirmUnappliedRows() was answered, without asking again.
    void closeAfterConfirmation();
    void closeLoadingWindow();
    // The background read of the rows' values is through.
    void rowValuesRead();

    // Call points of the start-up and close sequences, filled by their subsystems.
    bool buildAllTabs(QString *error);
    void loadComponentState();
    void saveComponentState();
    void clearRegistryKey();

    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs *dialogs_ = nullptr;
    // Before the subsystems, which use it until they are destroyed.
    std::unique_ptr<Session> session_;
    std::unique_ptr<RowEditor> rows_;
    std::unique_ptr<PictureViewer> pictures_;
    std::unique_ptr<HelpWindow> help_;
    std::unique_ptr<TableView> table_;
    std::unique_ptr<Preferences> prefs_;
    std::unique_ptr<CatalogueEditor> catalogue_;
    std::unique_ptr<Finder> finder_;
    std::unique_ptr<ChangesWindow> changes_;
    // Every row of the catalogue walk; before the builder, which fills it.
    std::unique_ptr<Rows> rowData_;
    std::unique_ptr<TabBuilder> builder_;
    std::unique_ptr<QObject> inputBlocker_; // during the start-up sequence
    std::unique_ptr<HistoryWindow> history_;
    QString registryFolder_;
    QList<QPointer<QObject>> components_;
    QHash<QString, QPointer<QObject>> byName_;

    // --- shared state (Windows-1251 texts, folders end in "/")
    QString programFolderPath_; // the program's own, as the file system spells it
    QString userFolder_;
    QString dataFolder_; // the user's data folder (a copy of the example game folder)
    int rowCounter_ = 0;
    EntryExamples entryExamples_;

    bool showHandled_ = false;
    bool ready_ = false;
    bool gamedataMissing_ = false; // the folder of this run was not there at start
    int exitCode_ = 0;
    bool closed_ = false;
    bool unappliedConfirmed_ = false; // during closeAfterConfirmation() only
};
