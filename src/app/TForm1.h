#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "app/MainWindowOptions.h"
#include "settings/MessageLevel.h"
#include "settings/ProgramSettings.h"

class Dialogs;
class ProfileFile;
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
class ValueBox;
class QCheckBox;
class QPushButton;
class ParameterWriter;

// Placeholder texts that the add-entry command offers.
struct EntryExamples
{
    QByteArray file, section, key, caption, help;
};

// The main window: it holds the state shared by all handlers for the whole run and one method
// per user event. Run-time controls are owned by it and found by name (findComponent).
class TForm1 : public QMainWindow
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
    QAction *N1, *N2, *N3, *N4, *N6, *N7, *N8, *N9, *N11, *N13, *N14, *N18, *N19, *N20, *N21, *N22,
        *N23, *N24, *N25, *N26, *N27, *N28, *N29, *N30, *N31, *N32;

    // --- secondary windows, created right after the main window, in this order
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm4 *Form4 = nullptr;
    QPointer<TForm5> Form5; // destroyed at the end of start-up
    TForm6 *Form6 = nullptr;
    TForm7 *Form7 = nullptr;

    // --- shared state (Windows-1251 texts, folders end in "/")
    QByteArray programFolder;
    QByteArray gamedataFolder;
    std::unique_ptr<ProfileFile> settingsFile;
    std::unique_ptr<ProfileFile> catalogueIndex;
    ProgramSettings settings;
    int messageLevel = 1;
    int rowCounter = 0;
    EntryExamples entryExamples;

    // --- the one seam for messages and dialogs
    Dialogs &dialogs() const { return *dialogs_; }
    // Shows the text when the message level lets this kind through.
    void showMessage(MessageKind kind, const QString &text);

    const QString &registryFolder() const { return registryFolder_; }

    // --- components owned by the main window, in creation order, found by name
    void addComponent(QObject *component);
    QObject *findComponent(const QString &name) const;
    const QList<QPointer<QObject>> &components() const { return components_; }

    // True from the end of the start-up sequence on.
    bool isReady() const { return ready_; }

    // --- event handlers
    void FormShow();
    void FormResize();
    void FormClose();
    void PageControl1Change();
    void N4Click();
    void N6Click();

    // --- editor rows (found by name from the control that fired)
    void MemoClick(ValueBox *box);
    void SpinClick(ValueBox *box);
    void MemoChange(ValueBox *box);
    void SpinChange(ValueBox *box);
    void CheckClick(QCheckBox *check);
    void ButClick(QPushButton *apply);
    void ButTradeClick(QPushButton *apply);
    void ButImgClick(QPushButton *button);
    void ButTablClick(QPushButton *button);
    void N19Click();

    // Menu check marks from the settings just read.
    void applySettingsToMenus();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    QAction *addItem(QMenu *menu, const char *name, const QString &caption,
                     const QKeySequence &shortcut = {});
    // Asks for the gamedata folder; empty when cancelled (or unusable, after a message).
    QByteArray askGamedataFolder();
    bool firstStart();
    void selectRow(ValueBox *box, const QString &applyName, const QString &labelName,
                   const QString &commentName);
    // The row's text to write: its value box and, in an ordinary row, its comment label.
    QString pendingTextOf(ValueBox *box, const QString &commentName) const;
    // Turns commas into dots in the value box when the menu option is on.
    void replaceCommas(ValueBox *box);
    // Converts the pending text for the game file; false (after a message) when it cannot be
    // written as it stands.
    bool valueTextFor(const QString &pending, QByteArray *valueText);
    ParameterWriter writer() const;
    void applyWindowSize();

    // Call points of the start-up and close sequences, filled by their subsystems.
    bool buildAllTabs(QString *error);
    void loadComponentState();
    void saveComponentState();
    enum class RegistryClear
    {
        NotFound,
        Deleted,
        Failed
    };
    RegistryClear clearRegistryKey();

    std::unique_ptr<Dialogs> ownDialogs_;
    Dialogs *dialogs_ = nullptr;
    QString registryFolder_;
    QList<QPointer<QObject>> components_;
    QHash<QString, QObject *> byName_;
    bool showHandled_ = false;
    bool ready_ = false;
    bool closed_ = false;
};
