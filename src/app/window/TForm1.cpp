#include "app/window/TForm1.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSet>
#include <QStandardPaths>
#include <QTabWidget>

#include "app/window/TForm5.h"
#include "catalogue/CatalogueMessages.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/Rows.h"
#include "catalogue/window/TForm3.h"
#include "catalogue/window/TForm4.h"
#include "changes/window/ChangesWindow.h"
#include "cli/Console.h"
#include "editor/window/EditorRows.h"
#include "editor/window/Finder.h"
#include "editor/window/HelpWindow.h"
#include "editor/window/PictureViewer.h"
#include "editor/window/RowEditor.h"
#include "editor/window/TForm2.h"
#include "editor/window/TForm6.h"
#include "editor/window/TabBuilder.h"
#include "gamefiles/GamePath.h"
#include "history/window/HistoryWindow.h"
#include "prefs/RegistryStore.h"
#include "prefs/window/Preferences.h"
#include "prefs/window/TStateSaver.h"
#include "profile/DiskPath.h"
#include "profile/ProfileCache.h"
#include "profile/ProfileFile.h"
#include "settings/SettingsLocation.h"
#include "table/window/TForm7.h"
#include "table/window/TableView.h"
#include "textcodec/Cp1251.h"
#include "tweaks/window/TweakWindow.h"
#include "ui/window/AppInfo.h"
#include "ui/window/DataSlots.h"
#include "ui/window/Dialogs.h"
#include "ui/window/RowNames.h"
#include "ui/window/StatusLine.h"

namespace {

const QColor SkyBlue(0xA6, 0xCA, 0xF0);
const QColor Yellow(0xFF, 0xFF, 0x00);

QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

} // namespace

TForm1::TForm1(const MainWindowOptions &options, QWidget *parent) : QMainWindow(parent)
{
    setObjectName("Form1");
    if (options.dialogs) {
        dialogs_ = options.dialogs;
    } else {
        ownDialogs_ = std::make_unique<QtDialogs>();
        dialogs_ = ownDialogs_.get();
    }
    const QString folder = options.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                           : options.programFolder;
    programFolderPath_ = withSlash(QDir::cleanPath(folder));
    userFolder_ = options.userFolder.isEmpty()
                      ? QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
                      : options.userFolder;
    dataFolder_ = options.dataFolder.isEmpty()
                      ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                      : options.dataFolder;
    Session::Options where;
    where.programFolder = programFolderPath_;
    where.userFolder = userFolder_;
    where.writable =
        options.settingFolderWritable ? options.settingFolderWritable : settingFolderWritable;
    session_ = std::make_unique<Session>(where);
    registryFolder_ =
        options.registryFolder.isEmpty() ? RegistryStore::defaultPlace() : options.registryFolder;

    setWindowTitle(
        QStringLiteral("B.R.A.N.V.I.K. Duskmere CONFIGURATOR от Quenby v " BRANVIK_VERSION));
    setWindowIcon(programIcon());
    setMinimumSize(130, 50);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, SkyBlue);
    setPalette(pal);
    setAutoFillBackground(true);

    createMenus();
    createControls();
    resize(794, 595);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    // The secondary windows, in their fixed order after the main window.
    Form2 = new TForm2(this);
    Form3 = new TForm3(this);
    Form4 = new TForm4(this);
    Form5 = new TForm5(this);
    Form6 = new TForm6(this);
    Form7 = new TForm7(this);

    rows_ = std::make_unique<RowEditor>(*this);
    pictures_ = std::make_unique<PictureViewer>(*this, *Form6);
    help_ = std::make_unique<HelpWindow>(*this, *Form2);
    table_ = std::make_unique<TableView>(*this, *Form7);
    prefs_ = std::make_unique<Preferences>(*this, session_->settings(), registryFolder_);
    StateSaver1 = prefs_->stateSaver();
    catalogue_ = std::make_unique<CatalogueEditor>(*this, *Form3, *Form4, entryExamples_);
    finder_ = std::make_unique<Finder>(*this, *rows_);
    changes_ = std::make_unique<ChangesWindow>(*this, *rows_);
    history_ = std::make_unique<HistoryWindow>(*this);
    // Whatever wrote a game file (a row, a table, a tweak, a restore, an undo), the rows that
    // show its keys, or keys it passes on through includes and parents, show it at once.
    connect(session_.get(), &Session::filesWritten, this, [this](const QByteArrayList &files) {
        if (ready_)
            EditorRows::refreshFiles(*this, files);
    });
    rowData_ = std::make_unique<Rows>();
    builder_ = std::make_unique<TabBuilder>(
        *this, *rows_,
        [this](int rows) {
            rowCounter_ = rows;
            if (Form5)
                Form5->setCount(rows);
        },
        [this](const QList<QWidget *> &controls) { rowControlsCreated(controls); });
}

TForm1::~TForm1() = default;

QAction *TForm1::addItem(QMenu *menu, const char *name, const QString &caption,
                         const QKeySequence &shortcut)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    addComponent(a);
    return a;
}

void TForm1::createMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName("MainMenu1");
    addComponent(bar);
    // A submenu of the menu bar or of another menu.
    auto submenu = [this](QWidget *parent, const char *name, const QString &caption) {
        QMenu *m = new QMenu(caption, parent);
        if (auto *parentBar = qobject_cast<QMenuBar *>(parent))
            parentBar->addMenu(m);
        else
            static_cast<QMenu *>(parent)->addMenu(m);
        m->setObjectName(QString(name) + "Menu");
        m->menuAction()->setObjectName(name);
        addComponent(m->menuAction());
        return m;
    };
    auto radioGroup = [this](std::initializer_list<QAction *> items) {
        auto *group = new QActionGroup(this);
        group->setExclusive(true);
        for (QAction *a : items) {
            a->setCheckable(true);
            group->addAction(a);
        }
    };

    QMenu *file = submenu(bar, "N1", QStringLiteral("&Файл"));
    N1 = file->menuAction();
    N6 = addItem(file, "N6", QStringLiteral("&Указать папку gamedata"), QKeySequence("Ctrl+O"));
    file->addSeparator();
    N4 = addItem(file, "N4", QStringLiteral("&Выход"), QKeySequence("Ctrl+Q"));

    QMenu *view = submenu(bar, "N20", QStringLiteral("&Вид"));
    N20 = view->menuAction();
    N21 = addItem(view, "N21", QStringLiteral("В форме &таблицы"), QKeySequence("F5"));

    QMenu *prefs = submenu(bar, "N3", QStringLiteral("&Настройки"));
    N3 = prefs->menuAction();
    N7 = addItem(prefs, "N7", QStringLiteral("&Цвет окна"), QKeySequence("F2"));
    N14 = addItem(prefs, "N14", QStringLiteral("Очистить &реестр от параметров программы"));
    N14->setCheckable(true);
    N18 = addItem(prefs, "N18", QStringLiteral("Включить\\отключить в&кладки"), QKeySequence("F3"));
    N19 = addItem(prefs, "N19", QStringLiteral("&Заменять запятые точками"), QKeySequence("F4"));
    N19->setCheckable(true);

    QMenu *messages = submenu(prefs, "N22", QStringLiteral("&Вывод сообщений"));
    N22 = messages->menuAction();
    N24 = addItem(messages, "N24", QStringLiteral("Выводить &все сообщения"));
    N25 = addItem(messages, "N25", QStringLiteral("&Только об ошибках"));
    N26 = addItem(messages, "N26", QStringLiteral("&Никаких (почти)"));
    radioGroup({N24, N25, N26});
    N24->setChecked(true);

    QMenu *tableMode = submenu(prefs, "N23", QStringLiteral("&Табличный режим"));
    N23 = tableMode->menuAction();
    N27 = addItem(tableMode, "N27", QStringLiteral("&Включить при следующей загрузке"));
    N28 = addItem(tableMode, "N28", QStringLiteral("&Отключить при следующей загрузке"));
    radioGroup({N27, N28});
    N28->setChecked(true);

    QMenu *duplication = submenu(prefs, "N29", QStringLiteral("&Дублирование"));
    N29 = duplication->menuAction();
    N30 = addItem(duplication, "N30", QStringLiteral("&Включить"));
    N31 = addItem(duplication, "N31", QStringLiteral("&Отключить"));
    radioGroup({N30, N31});
    N31->setChecked(true);
    N32 = addItem(duplication, "N32", QStringLiteral("Выбрать &папку"));

    QMenu *help = submenu(bar, "N2", QStringLiteral("&?"));
    N2 = help->menuAction();
    N8 = addItem(help, "N8", QStringLiteral("&Помощь"), QKeySequence("F1"));

    connect(N6, &QAction::triggered, this, &TForm1::N6Click);
    connect(N4, &QAction::triggered, this, &TForm1::N4Click);
    connect(N19, &QAction::triggered, this, &TForm1::N19Click);
    connect(N8, &QAction::triggered, this, &TForm1::N8Click);
    connect(N21, &QAction::triggered, this, &TForm1::N21Click);
    connect(N27, &QAction::triggered, this, &TForm1::N27Click);
    connect(N28, &QAction::triggered, this, &TForm1::N28Click);
    connect(N7, &QAction::triggered, this, &TForm1::N7Click);
    connect(N14, &QAction::triggered, this, &TForm1::N14Click);
    connect(N24, &QAction::triggered, this, &TForm1::N24Click);
    connect(N25, &QAction::triggered, this, &TForm1::N25Click);
    connect(N26, &QAction::triggered, this, &TForm1::N26Click);
    connect(N30, &QAction::triggered, this, &TForm1::N30Click);
    connect(N31, &QAction::triggered, this, &TForm1::N31Click);
    connect(N32, &QAction::triggered, this, &TForm1::N32Click);
    connect(N18, &QAction::triggered, this, &TForm1::N18Click);

    // Find, changes since the backups, reload.
    QAction *reload =
        addItem(file, "NReload", QStringLiteral("&Перечитать значения"), QKeySequence("Ctrl+R"));
    file->insertAction(file->actions().value(1), reload); // right after N6
    view->addSeparator();
    QAction *find =
        addItem(view, "NFind", QStringLiteral("&Найти параметр"), QKeySequence("Ctrl+F"));
    QAction *changes =
        addItem(view, "NChanges", QStringLiteral("&Изменения после резервной копии"));
    connect(reload, &QAction::triggered, this, &TForm1::ReloadClick);
    connect(find, &QAction::triggered, this, &TForm1::FindClick);
    connect(changes, &QAction::triggered, this, &TForm1::ChangesClick);

    // Tweak files and the apply history.
    QAction *applyTweak = addItem(file, "NApplyTweak", QStringLiteral("Применить &твик"));
    QAction *removeTweak = addItem(file, "NRemoveTweak", QStringLiteral("Удалить тви&к"));
    file->insertActions(file->actions().value(2), {applyTweak, removeTweak});
    QAction *history = addItem(view, "NHistory", QStringLiteral("История &записей"));
    // Window-wide shortcuts: a value box with the focus keeps Ctrl+Z for its own text (it claims
    // the key before the window's shortcut sees it).
    QAction *undoLast = addItem(view, "NUndoLast", QStringLiteral("&Отменить последнюю запись"),
                                QKeySequence("Ctrl+Z"));
    QAction *redo = addItem(view, "NRedo", QStringLiteral("&Вернуть отменённую запись"),
                            QKeySequence("Ctrl+Y"));
    connect(applyTweak, &QAction::triggered, this, [this] { TweakWindow::ApplyTweakClick(*this); });
    connect(removeTweak, &QAction::triggered, this,
            [this] { TweakWindow::RemoveTweakClick(*this); });
    connect(history, &QAction::triggered, this, [this] { history_->HistoryClick(); });
    connect(undoLast, &QAction::triggered, this, [this] { history_->UndoLastClick(); });
    connect(redo, &QAction::triggered, this, [this] { history_->RedoClick(); });

    // Values inherited through includes and parents: a view option kept in the settings file.
    view->addSeparator();
    QAction *inheritance =
        addItem(view, "NInheritance", QStringLiteral("Н&аследование значений от родителей"));
    inheritance->setCheckable(true);
    inheritance->setChecked(true);
    connect(inheritance, &QAction::triggered, this, [this] { prefs_->InheritanceClick(); });

    // The pop-up menu of the value boxes of ordinary rows.
    PopupMenuAdd = new QMenu(this);
    PopupMenuAdd->setObjectName("PopupMenuAdd");
    addComponent(PopupMenuAdd);
    N9 = addItem(PopupMenuAdd, "N9", QStringLiteral("&Свойства"), QKeySequence("Alt+Backspace"));
    PopupMenuAdd->addSeparator();
    N11 = addItem(PopupMenuAdd, "N11", QStringLiteral("&Добавить"), QKeySequence("Ctrl+Insert"));
    PopupMenuAdd->addSeparator();
    N13 = addItem(PopupMenuAdd, "N13", QStringLiteral("&Удалить"), QKeySequence("Ctrl+Delete"));
    // Their shortcuts work from the whole window, not only while the menu is open.
    addActions({N9, N11, N13});
    connect(N9, &QAction::triggered, this, &TForm1::N9Click);
    connect(N11, &QAction::triggered, this, &TForm1::N11Click);
    connect(N13, &QAction::triggered, this, &TForm1::N13Click);
}

void TForm1::createControls()
{
    auto *central = new QWidget(this);
    central->setObjectName("Client");
    setCentralWidget(central);

    Panel1 = new StatusLine(QStringLiteral("ВНИМАНИЕ! У вас должны быть распакованы gamedata-"
                                           "файлы игры! Для начала выберите пункт Файл-Указать "
                                           "папку ..."),
                            central);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Yellow);
    Panel1->setPalette(pal);
    Panel1->setGeometry(0, 0, 794, 25);
    addComponent(Panel1);

    PageControl1 = new QTabWidget(central);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(0, 24, 794, 460);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    addComponent(PageControl1);

    TMP = new QPlainTextEdit(QStringLiteral("TEMP!"), central);
    TMP->setObjectName("TMP");
    TMP->setReadOnly(true);
    TMP->setFixedHeight(21);
    TMP->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TMP->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // It gets the row's whole text at every keystroke: breaking anywhere keeps that linear.
    TMP->setWordWrapMode(QTextOption::WrapAnywhere);
    addComponent(TMP);

    Help = new QPlainTextEdit(central);
    Help->setObjectName("Help");
    Help->setReadOnly(true);
    Help->setFixedHeight(50);
    Help->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Help->setPlainText(QStringLiteral("Помощь по выделенному параметру!\n"
                                      "Можете пролистать вниз, если много чего написано!"));
    addComponent(Help);
}

void TForm1::addComponent(QObject *component)
{
    components_.append(component);
    const QString name = component->objectName();
    if (!name.isEmpty() && !byName_.value(name))
        byName_.insert(name, component);
}

QObject *TForm1::findComponent(const QString &name) const
{
    // A deleted control reads as null, never as a dangling pointer.
    const auto it = byName_.constFind(name);
    if (it != byName_.constEnd())
        return it->data();
    // A row control of a sub-tab not shown yet exists once asked for.
    if (builder_ && builder_->buildRowsFor(name))
        return byName_.value(name);
    return nullptr;
}

QWidget *TForm1::rowBox(int index)
{
    return builder_->rowBox(index);
}

QWidget *TForm1::rowSheet(int index)
{
    return builder_->rowSheet(index);
}

int TForm1::rowNamed(const QString &name) const
{
    return builder_->rowNamed(name);
}

void TForm1::rowControlsCreated(const QList<QWidget *> &controls)
{
    QString error;
    if (!StateSaver1->LoadComponentsState(controls, prefs::ComponentPrefix, QString(), &error))
        showMessage(MessageKind::Always, error);
    for (QWidget *w : controls) {
        if (qobject_cast<QLabel *>(w) &&
            !RowNames::boxOf(w->objectName(), RowNames::Part::Caption).isEmpty())
            catalogue_->attachDragHandler(w);
    }
}

void TForm1::showMessage(MessageKind kind, const QString &text)
{
    if (messageShown(kind, session_->settings().run().messageLevel))
        dialogs_->message(this, text);
}

void TForm1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (showHandled_)
        return;
    showHandled_ = true;
    // The start-up sequence runs once the window is on screen, before any user input is
    // handled; running it from the event loop lets it close the window if it has to.
    QMetaObject::invokeMethod(this, &TForm1::FormShow, Qt::QueuedConnection);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::closeAfterConfirmation()
{
    // The answer holds for this close only: a command that asked and then did not close leaves
    // the next close to ask again.
    unappliedConfirmed_ = true;
    close();
    unappliedConfirmed_ = false;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!closed_ && ready_ && !unappliedConfirmed_ && !confirmUnappliedRows()) {
        event->ignore();
        return;
    }
    if (!closed_) {
        closed_ = true;
        FormClose();
    }
    event->accept();
}

void TForm1::FormResize()
{
    const QSize whole = frameGeometry().size();
    Panel1->resize(whole.width() - 6, Panel1->height());
    PageControl1->resize(whole.width() - 6, whole.height() - 140);
    // TMP and Help are docked to the bottom edge, Help lowest.
    const QWidget *client = centralWidget();
    Help->setGeometry(0, client->height() - Help->height(), client->width(), Help->height());
    TMP->setGeometry(0, Help->y() - TMP->height(), client->width(), TMP->height());
}

void TForm1::PageControl1Change() {}

void TForm1::N4Click()
{
    close();
}

void TForm1::N19Click()
{
    rows_->N19Click();
}

void TForm1::ButImgClick(QPushButton *button)
{
    pictures_->ButImgClick(button);
}
void TForm1::N7Click()
{
    prefs_->N7Click();
}

void TForm1::N14Click()
{
    prefs_->N14Click();
}

void TForm1::N24Click()
{
    prefs_->N24Click();
}

void TForm1::N25Click()
{
    prefs_->N25Click();
}

void TForm1::N26Click()
{
    prefs_->N26Click();
}

void TForm1::N30Click()
{
    prefs_->N30Click();
}

void TForm1::N31Click()
{
    prefs_->N31Click();
}

void TForm1::N32Click()
{
    prefs_->N32Click();
}

bool TForm1::saveControlPlaces(const QList<QWidget *> &controls, QString *error)
{
    return prefs_->saveControlPlaces(controls, error);
}

bool TForm1::writeSetting(const char *key, const QByteArray &value, QString *error)
{
    return prefs_->writeSetting(key, value, error);
}

void TForm1::N8Click()
{
    help_->N8Click();
}

void TForm1::N21Click()
{
    table_->N21Click();
}

void TForm1::N27Click()
{
    table_->N27Click();
}

void TForm1::N28Click()
{
    table_->N28Click();
}

void TForm1::ButTablClick(QPushButton *button)
{
    table_->ButTablClick(button);
}

void TForm1::N9Click()
{
    catalogue_->N9Click();
}

void TForm1::N11Click()
{
    catalogue_->N11Click();
}

void TForm1::N13Click()
{
    catalogue_->N13Click();
}

void TForm1::N18Click()
{
    catalogue_->N18Click();
}

void TForm1::PageControl1MouseDown(QTabWidget *tabs, const QPoint &pos)
{
    catalogue_->PageControl1MouseDown(tabs, pos);
}

void TForm1::PageControl1DragOver(QTabWidget *tabs, QObject *source, const QPoint &pos,
                                  bool *accept)
{
    catalogue_->PageControl1DragOver(tabs, source, pos, accept);
}

void TForm1::PageControl1DragDrop(QTabWidget *tabs, QObject *source, const QPoint &pos)
{
    catalogue_->PageControl1DragDrop(tabs, source, pos);
}

void TForm1::LabelDragOver(QWidget *sheet, QObject *source, const QPoint &pos, bool *accept)
{
    catalogue_->LabelDragOver(sheet, source, pos, accept);
}

void TForm1::FindClick()
{
    finder_->FindClick();
}

void TForm1::ChangesClick()
{
    changes_->ChangesClick();
}

void TForm1::ReloadClick()
{
    changes_->ReloadClick();
}

// --- The start-up and close sequences, and the gamedata folder command.

namespace {

const QColor Silver(0xC0, 0xC0, 0xC0);
const QString SettingsFileMissing = QStringLiteral("Ошибка! Не найден файл настроек.");

// Keeps user input away from the main window while the start-up sequence builds it. Its
// controls are never disabled for that: each control turning disabled and enabled again costs
// an accessibility update, which a start over thousands of controls pays thousands of times.
// Dialogs shown meanwhile are windows of their own and take input as usual.
class LoadingInputBlocker : public QObject
{
public:
    explicit LoadingInputBlocker(QWidget *window) : window_(window) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride: // accepted: no shortcut of the window fires either
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd: {
            const auto *w = qobject_cast<const QWidget *>(watched);
            if (!w || w->window() != window_)
                return false;
            event->accept();
            return true;
        }
        default:
            return false;
        }
    }

private:
    QWidget *window_;
};

QByteArray example(const char *text)
{
    return cp1251::encode(QString::fromUtf8(text));
}

} // namespace

QByteArray TForm1::askGamedataFolder()
{
    const QString chosen =
        dialogs_->chooseFolder(this, QStringLiteral("Пожалуйста, выберите папку gamedata"));
    if (chosen.isEmpty())
        return {};
    QByteArray folder;
    if (!cp1251::fromUnicode(chosen, &folder)) {
        // The settings file holds Windows-1251 text: a name it cannot hold would be mangled.
        showMessage(MessageKind::Always,
                    QStringLiteral("Имя папки содержит символы, которые нельзя сохранить в "
                                   "файле настроек: ") +
                        chosen);
        return {};
    }
    return folder + '/';
}

void TForm1::N6Click()
{
    // The program closes after a new folder is chosen: edited rows are dealt with first.
    if (!confirmUnappliedRows())
        return;
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    // The folder of this run stays as it is: the new one is used from the next start.
    showMessage(MessageKind::Information,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(folder));
    QString error;
    if (!session_->settings().writeGamedataPath(folder, &error)) {
        // Telling the user to restart would be a lie: the folder was not saved.
        showMessage(MessageKind::Error,
                    SettingsFileMissing + (error.isEmpty() ? QString() : "\n" + error));
        return;
    }
    showMessage(MessageKind::Error,
                QStringLiteral("Чтобы изменения вступили в силу нужно перезапустить программу! "
                               "Я закрываюсь."));
    closeAfterConfirmation();
}

// --- the parts of the start-up sequence, in their order

void TForm1::showLoadingWindow()
{
    rowCounter_ = 0;
    inputBlocker_ = std::make_unique<LoadingInputBlocker>(this);
    QCoreApplication::instance()->installEventFilter(inputBlocker_.get());
    Form5->show();
    Form5->repaintNow();
}

// The settings file and the catalogue are used beside the program when it may write there, else
// from the user's configuration folder (copied there at the first such start).
void TForm1::locateSettingsFolder()
{
    QString problem;
    session_->locate(&problem);
    if (!problem.isEmpty())
        showMessage(MessageKind::Error, problem);
}

void TForm1::setEntryExamples()
{
    entryExamples_ = {example("ПРИМЕР: config\\creatures\\actor.ltx"), example("ПРИМЕР: actor"),
                      example("ПРИМЕР: camera_height_factor"), example("ПРИМЕР: Высота камеры"),
                      example("ПРИМЕР: Высота камеры (рост персонажа). 0.95 - это нормальный "
                              "рост глаза-в-глаза. В оригинале и В патче 1.0001 = 0.85")};
}

// The gamedata folder from the settings file, or asked for at the first start. False when the
// program must end (the user cancelled, or the settings file cannot be written).
bool TForm1::settleGamedataFolder()
{
    const QByteArray stored = session_->settings().gamedataPath();
    if (stored == settingkeys::AbsentGamedataPath)
        return firstStart();
    session_->setGamedataFolder(stored);
    if (!QFileInfo(resolveDiskPath(session_->gamedataFolder())).isDir())
        offerAnotherGamedataFolder();
    // Cancelled: the rows show no values, and the window says why.
    gamedataMissing_ = !QFileInfo(resolveDiskPath(session_->gamedataFolder())).isDir();
    return true;
}

// A gamedata folder that has gone (renamed, an unplugged disk) would give empty rows and failed
// writes: say so and let the user choose the folder, as at the first start. Cancelling keeps
// the stored folder.
void TForm1::offerAnotherGamedataFolder()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Папка gamedata не найдена: ") +
                    cp1251::toUnicode(session_->gamedataFolder()) +
                    QStringLiteral("\nУкажите папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    QString error;
    if (!session_->settings().writeGamedataPath(folder, &error)) {
        showMessage(MessageKind::Always, SettingsFileMissing + "\n" + error);
        return;
    }
    session_->setGamedataFolder(folder);
    showMessage(MessageKind::Always, QStringLiteral("Папка с файлами: ") +
                                         cp1251::toUnicode(session_->gamedataFolder()));
}

bool TForm1::firstStart()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Для начала вы должны указать папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return false;
    session_->setGamedataFolder(folder);
    showMessage(MessageKind::Always, QStringLiteral("Папка с файлами: ") +
                                         cp1251::toUnicode(session_->gamedataFolder()));
    QString error;
    if (!session_->settings().writeFirstStart(session_->gamedataFolder(), &error)) {
        showMessage(MessageKind::Error, SettingsFileMissing + "\n" + error);
        return false;
    }
    return true;
}

void TForm1::checkGamedataWritable()
{
    if (gamedataMissing_)
        return;
    const QString folder = resolveDiskPath(session_->gamedataFolder());
    QString problem;
    if (!mayWrite(folder)) {
        problem = QStringLiteral("Папка gamedata недоступна для записи: ") + shownPath(folder);
    } else {
        int count = 0;
        const QStringList files = readOnlyRowFiles(3, &count);
        if (count == 0)
            return;
        problem = QStringLiteral("Файлы игры недоступны для записи (%1): %2")
                      .arg(count)
                      .arg(files.join(QStringLiteral(", ")) +
                           (count > files.size() ? QStringLiteral(", …") : QString()));
    }
    // Only the bundled example is copied: a game folder of the user's may be large, and the
    // game reads it where it is.
    const QString example = programFolderPath_ + QStringLiteral("example-gamedata");
    const bool isExample = isFolder(example) && realDiskPath(folder) == realDiskPath(example);
    if (isExample && offerExampleCopy(problem))
        return;
    Panel1->setText(Panel1->text() +
                    QStringLiteral(" Файлы игры только для чтения: значения не запишутся."));
    if (!isExample)
        showMessage(MessageKind::Always,
                    problem + QStringLiteral("\nЗначения показываются, но записать их не "
                                             "получится. Разрешите запись или выберите другую "
                                             "папку: Файл - Указать папку gamedata."));
}

QStringList TForm1::readOnlyRowFiles(int shown, int *count) const
{
    QStringList files;
    QSet<QByteArray> seen;
    *count = 0;
    for (int i = 0; i < rowData_->size(); ++i) {
        const QByteArray &file = (*rowData_)[i].entry.file;
        if (file.isEmpty() || seen.contains(sameFileKey(file)))
            continue;
        seen.insert(sameFileKey(file));
        if (!isInsideGamedata(session_->gamedataFolder(), file))
            continue;
        const QString path = resolveDiskPath(session_->gamedataFolder() + file);
        // A file the catalogue names but the game lacks is created by the first write.
        if (!targetExists(path) || mayWrite(path))
            continue;
        if (++*count <= shown)
            files.append(shownPath(path));
    }
    return files;
}

bool TForm1::offerExampleCopy(const QString &problem)
{
    const QString copy = QDir::cleanPath(dataFolder_) + QStringLiteral("/example-gamedata");
    const bool copied = isFolder(copy);
    const int answer = dialogs_->ask(
        this,
        problem +
            QStringLiteral("\nЭто пример, поставленный вместе с программой: его значения "
                           "видны, но не запишутся.\n\n") +
            (copied ? QStringLiteral("Копия примера уже есть в папке %1. Работать с ней?")
                    : QStringLiteral("Скопировать пример в папку %1 и работать с копией?"))
                .arg(copy),
        {copied ? QStringLiteral("Работать с копией") : QStringLiteral("Скопировать"),
         QStringLiteral("Оставить как есть")});
    if (answer != 0)
        return false;
    QString error;
    QByteArray folder;
    if (!cp1251::fromUnicode(copy + '/', &folder)) {
        showMessage(MessageKind::Always,
                    QStringLiteral("Пример не скопирован: имя папки %1 нельзя сохранить в файле "
                                   "настроек.")
                        .arg(copy));
        return false;
    }
    if (!copied && !copySettingFolder(resolveDiskPath(session_->gamedataFolder()), copy, &error)) {
        showMessage(MessageKind::Always,
                    QStringLiteral("Пример не скопирован в %1:\n").arg(copy) + error);
        return false;
    }
    session_->setGamedataFolder(folder);
    // A fresh copy holds the example's bytes, which the rows show; one made at an earlier start
    // may hold the user's edits since.
    if (copied) {
        const ProfileCache::WalkScope walk; // each file read and resolved once
        GameValues values = session_->values();
        for (int i = 0; i < rowData_->size(); ++i)
            EditorRows::refresh(*this, values, i);
    }
    if (!session_->settings().writeGamedataPath(folder, &error)) {
        showMessage(MessageKind::Always,
                    QStringLiteral("Программа работает с копией примера %1, но файл настроек не "
                                   "записан, и при следующем запуске снова откроется пример.\n")
                            .arg(copy) +
                        error);
        return true;
    }
    showMessage(MessageKind::Information,
                (copied ? QStringLiteral("Редактируемая папка: %1")
                        : QStringLiteral("Пример скопирован. Редактируемая папка: %1"))
                    .arg(copy));
    return true;
}

void TForm1::readProgramSettings()
{
    session_->settings().read();
    if (!session_->settings().run().versionMatches())
        showMessage(MessageKind::Always,
                    QStringLiteral("ВНИМАНИЕ! Возможно у вас не совместимая версия файла "
                                   "настроек."));
    prefs_->showSettingsInMenus();
}

void TForm1::applyWindowSize()
{
    // Read afresh: the size in the file, not the one read with the settings.
    const QSize stored = session_->settings().windowSize();
    // The file holds the whole window's size; Qt sizes the client area.
    const QSize frame = frameGeometry().size() - size();
    resize(qMax(stored.width() - frame.width(), 1), qMax(stored.height() - frame.height(), 1));
}

void TForm1::enableEditing(bool catalogueComplete)
{
    TMP->setPlainText(QStringLiteral("Выберите параметр!"));
    inputBlocker_.reset();
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Silver);
    Panel1->setPalette(pal);
    // After a catalogue that stopped the building, or without the gamedata folder, the window
    // shows what was built; it does not claim to be ready.
    if (gamedataMissing_)
        Panel1->setText(missingFolderText());
    else
        Panel1->setText(catalogueComplete
                            ? QStringLiteral("Можете редактировать файлы!")
                            : QStringLiteral("Каталог параметров загружен не полностью: проверьте "
                                             "файлы папки Setting."));
}

QString TForm1::missingFolderText() const
{
    return QStringLiteral("Папка gamedata не найдена: ") +
           cp1251::toUnicode(session_->gamedataFolder()) +
           QStringLiteral(" Значения не загружены. Укажите папку: Файл - Указать папку gamedata.");
}

bool TForm1::confirmUnappliedRows()
{
    const int pending = rows_->pendingCount();
    if (pending == 0)
        return true;
    // A question, not a notice: asked at every message level.
    const int answer = dialogs_->ask(
        this,
        QStringLiteral("Изменённых, но не применённых параметров: %1.\nПрименить их?").arg(pending),
        {QStringLiteral("Применить все"), QStringLiteral("Не применять"),
         QStringLiteral("Отмена")});
    if (answer == 1)
        return true;
    if (answer != 0)
        return false;
    const int left = rows_->applyAll();
    if (left > 0) {
        showMessage(
            MessageKind::Always,
            QStringLiteral("Не удалось применить параметров: %1. Программа не закрыта.").arg(left));
        return false;
    }
    return true;
}

namespace {

// The whole-program measurement (bench/whole_startup.sh) names a file in BRANVIK_STARTUP_REPORT:
// the program appends a line with the time (milliseconds since the epoch), its peak memory so far
// and the processor time it has used, once when the window is ready and once when every row has
// its value, and then ends.
void reportStartup()
{
    const QString report = qEnvironmentVariable("BRANVIK_STARTUP_REPORT");
    if (report.isEmpty())
        return;
    const ProcessUsage usage = processUsage();
    QFile out(report);
    if (out.open(QIODevice::Append))
        out.write(QByteArray::number(QDateTime::currentMSecsSinceEpoch()) + ' ' +
                  QByteArray::number(usage.peakKiB) + " kB " +
                  QByteArray::number(usage.processorMs) + '\n');
}

} // namespace

void TForm1::closeLoadingWindow()
{
    delete Form5;
    reportStartup();
}

void TForm1::waitForRowValues()
{
    EditorRows::reportLookupProblems(*this, rowData_->finishBackground());
}

void TForm1::rowValuesRead()
{
    waitForRowValues();
    if (!qEnvironmentVariableIsEmpty("BRANVIK_STARTUP_REPORT")) {
        reportStartup();
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }
}

void TForm1::FormShow()
{
    showLoadingWindow();
    setEntryExamples();
    // Every message up to the reading of the settings is shown: until then the level is 1.
    locateSettingsFolder();
    session_->openSettings(false);
    if (!settleGamedataFolder()) {
        exitCode_ = 1;
        close();
        return;
    }
    readProgramSettings();
    showMessage(MessageKind::Information,
                QStringLiteral("Редактируемая папка: ") +
                    cp1251::toUnicode(session_->gamedataFolder()) +
                    QStringLiteral(" Сейчас будут загружены настройки. Это займет некоторое "
                                   "время. Пожалуйста, дождитесь окончания загрузки."));
    applyWindowSize();
    prefs_->loadOuterTabsState(); // before the rows: they take its colour as they are created
    QString error;
    const bool built = buildAllTabs(&error);
    if (!built)
        showMessage(MessageKind::Error, CatalogueMessages::WalkFailed + "\n" + error);
    enableEditing(built);
    checkGamedataWritable();
    history_->settle();
    if (gamedataMissing_)
        showMessage(MessageKind::Error, missingFolderText());
    else if (built)
        showMessage(MessageKind::Information,
                    QStringLiteral("Данные загружены. Можете начинать редактирование."));
    loadComponentState();
    closeLoadingWindow();
    ready_ = true;
    // The rows on screen have their values; the others are read on another core meanwhile, and
    // the problems of includes and parents are reported when that read is through.
    rowData_->readInBackground(session_->values(), [this] {
        QMetaObject::invokeMethod(
            this, [this] { rowValuesRead(); }, Qt::QueuedConnection);
    });
}

void TForm1::FormClose()
{
    if (Form5)
        delete Form5;
    if (N14->isChecked()) {
        clearRegistryKey();
        return;
    }
    if (session_->settings().isOpen()) {
        QString error;
        // Only worth saying once the program ran; a failed start has said it already.
        if (!session_->settings().writeWindowSize(frameGeometry().size(), &error) && ready_)
            showMessage(MessageKind::Error,
                        QStringLiteral("Не удалось сохранить размер окна.\n") + error);
    }
    session_->settings().close();
    saveComponentState();
}

// --- call points that later subsystems fill

bool TForm1::buildAllTabs(QString *error)
{
    // A tab strip on screen lays out all its tabs again at every tab added: the tabs are built
    // out of sight and laid out once when they appear.
    PageControl1->hide();
    const CatalogueResult result = CatalogueReader(session_->programFolder()).walk(*builder_);
    builder_->finish();
    PageControl1->show();
    rowCounter_ = builder_->rowCount();
    catalogue_->attachDragHandlers();
    if (result.status == CatalogueResult::Failed) {
        *error = result.reason;
        return false;
    }
    return true;
}

void TForm1::loadComponentState()
{
    prefs_->loadComponentState();
    catalogue_->fitSubTabsToRows();
    // The sub-tab on screen gets its rows now, every other one when it is first shown; rows
    // moved by the user come with their sub-tab, wherever they stand.
    builder_->setRowsWithSavedState(StateSaver1->componentsWithValues(prefs::ComponentPrefix));
    builder_->buildOnShow();
}

void TForm1::saveComponentState()
{
    // A start that ended early restored nothing: saving would replace the saved state with the
    // design one.
    if (ready_)
        prefs_->saveComponentState();
}

void TForm1::clearRegistryKey()
{
    prefs_->deleteProgramKey();
}
