#include "app/TForm1.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTabWidget>

#include "app/Dialogs.h"
#include "app/TForm5.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/TForm3.h"
#include "catalogue/TForm4.h"
#include "editor/TForm2.h"
#include "editor/TForm6.h"
#include "editor/TabBuilder.h"
#include "profile/ProfileFile.h"
#include "table/TForm7.h"
#include "textcodec/Cp1251.h"

namespace {

const QColor SkyBlue(0xA6, 0xCA, 0xF0);
const QColor Yellow(0xFF, 0xFF, 0x00);
const QColor Silver(0xC0, 0xC0, 0xC0);

QString defaultRegistryFolder()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + "/.config";
    return base + "/BRANVIK Configurator/registry";
}

QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

QByteArray example(const char *text)
{
    return cp1251::encode(QString::fromUtf8(text));
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
    const QString folder = options.programFolder.isEmpty()
                               ? QCoreApplication::applicationDirPath()
                               : options.programFolder;
    programFolder = cp1251::encode(withSlash(QDir::cleanPath(folder)));
    registryFolder_ =
        options.registryFolder.isEmpty() ? defaultRegistryFolder() : options.registryFolder;

    setWindowTitle(QStringLiteral("B.R.A.N.V.I.K. Duskmere CONFIGURATOR от Quenby v 0.12"));
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
    N18 = addItem(prefs, "N18", QStringLiteral("Включить\\отключить вкладки"), QKeySequence("F3"));
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

    // The pop-up menu of the value boxes of ordinary rows.
    PopupMenuAdd = new QMenu(this);
    PopupMenuAdd->setObjectName("PopupMenuAdd");
    addComponent(PopupMenuAdd);
    N9 = addItem(PopupMenuAdd, "N9", QStringLiteral("Свойства"), QKeySequence("Alt+Backspace"));
    PopupMenuAdd->addSeparator();
    N11 = addItem(PopupMenuAdd, "N11", QStringLiteral("Добавить"), QKeySequence("Ctrl+Insert"));
    PopupMenuAdd->addSeparator();
    N13 = addItem(PopupMenuAdd, "N13", QStringLiteral("Удалить"), QKeySequence("Ctrl+Delete"));
}

void TForm1::createControls()
{
    auto *central = new QWidget(this);
    central->setObjectName("Client");
    setCentralWidget(central);

    Panel1 = new QLabel(QStringLiteral("ВНИМАНИЕ! У вас должны быть распакованы gamedata-файлы "
                                       "игры! Для начала выберите пункт Файл-Указать папку ..."),
                        central);
    Panel1->setObjectName("Panel1");
    Panel1->setAlignment(Qt::AlignCenter);
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
    PageControl1->setEnabled(false);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    addComponent(PageControl1);

    TMP = new QPlainTextEdit(QStringLiteral("TEMP!"), central);
    TMP->setObjectName("TMP");
    TMP->setReadOnly(true);
    TMP->setFixedHeight(21);
    TMP->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TMP->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
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
    if (!name.isEmpty() && !byName_.contains(name))
        byName_.insert(name, component);
}

QObject *TForm1::findComponent(const QString &name) const
{
    return byName_.value(name, nullptr);
}

void TForm1::showMessage(MessageKind kind, const QString &text)
{
    if (messageShown(kind, messageLevel))
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

void TForm1::closeEvent(QCloseEvent *event)
{
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
                                   "файле настроек: ")
                        + chosen);
        return {};
    }
    return folder + '/';
}

void TForm1::N6Click()
{
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return;
    gamedataFolder = folder;
    showMessage(MessageKind::Information,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder));
    QString error;
    if (!settingsFile
        || !settingsFile->writeString(settingkeys::sectionSetting(), settingkeys::GamedataPath,
                                      gamedataFolder, &error)) {
        // Telling the user to restart would be a lie: the folder was not saved.
        showMessage(MessageKind::Error, QStringLiteral("Ошибка! Не найден файл настроек.")
                                            + (error.isEmpty() ? QString() : "\n" + error));
        return;
    }
    showMessage(MessageKind::Error,
                QStringLiteral("Чтобы изменения вступили в силу нужно перезапустить программу! "
                               "Я закрываюсь."));
    close();
}

bool TForm1::firstStart()
{
    showMessage(MessageKind::Always,
                QStringLiteral("Для начала вы должны указать папку с редактируемыми файлами."));
    const QByteArray folder = askGamedataFolder();
    if (folder.isEmpty())
        return false;
    gamedataFolder = folder;
    showMessage(MessageKind::Always,
                QStringLiteral("Папка с файлами: ") + cp1251::toUnicode(gamedataFolder));
    if (!settingsFile->writeString(settingkeys::sectionSetting(), settingkeys::GamedataPath,
                                   gamedataFolder)
        || !writeDefaultSettings(*settingsFile)) {
        showMessage(MessageKind::Error, QStringLiteral("Ошибка! Не найден файл настроек."));
        return false;
    }
    return true;
}

void TForm1::applySettingsToMenus()
{
    switch (settings.messageLevel) {
    case 1: N24->setChecked(true); break;
    case 0: N25->setChecked(true); break;
    case 2: N26->setChecked(true); break;
    default: break;
    }
    switch (settings.tableMode) {
    case 0: N28->setChecked(true); break;
    case 1: N27->setChecked(true); break;
    default: break;
    }
    switch (settings.duplication) {
    case 1: N30->setChecked(true); break;
    case 0: N31->setChecked(true); break;
    default: break;
    }
}

void TForm1::applyWindowSize()
{
    const QByteArray setting = settingkeys::sectionSetting();
    const int height = settingsFile->readInteger(setting, settingkeys::FormHeight, 600);
    const int width = settingsFile->readInteger(setting, settingkeys::FormWidth, 800);
    // The file holds the whole window's size; Qt sizes the client area.
    const QSize frame = frameGeometry().size() - size();
    resize(qMax(width - frame.width(), 1), qMax(height - frame.height(), 1));
}

void TForm1::FormShow()
{
    // 1
    rowCounter = 0;
    Form5->show();
    Form5->repaintNow();
    // 2
    entryExamples = {example("ПРИМЕР: config\\creatures\\actor.ltx"), example("ПРИМЕР: actor"),
                     example("ПРИМЕР: camera_height_factor"),
                     example("ПРИМЕР: Высота камеры"),
                     example("ПРИМЕР: Высота камеры (рост персонажа). 0.95 - это нормальный рост "
                             "глаза-в-глаза. В оригинале и В патче 1.0001 = 0.85")};
    // 3
    messageLevel = 1;
    // 4
    settingsFile = std::make_unique<ProfileFile>(programFolder + "Setting/Setting.ini");
    // 5
    const QByteArray stored = settingsFile->readString(
        settingkeys::sectionSetting(), settingkeys::GamedataPath, settingkeys::AbsentGamedataPath);
    if (stored != settingkeys::AbsentGamedataPath) {
        gamedataFolder = stored;
    } else if (!firstStart()) {
        close();
        return;
    }
    settings = readSettings(*settingsFile);
    if (!settings.versionMatches())
        showMessage(MessageKind::Always,
                    QStringLiteral("ВНИМАНИЕ! Возможно у вас не совместимая версия файла "
                                   "настроек."));
    messageLevel = settings.messageLevel;
    applySettingsToMenus();
    // 6
    showMessage(MessageKind::Information,
                QStringLiteral("Редактируемая папка: ") + cp1251::toUnicode(gamedataFolder)
                    + QStringLiteral(" Сейчас будут загружены настройки. Это займет некоторое "
                                     "время. Пожалуйста, дождитесь окончания загрузки."));
    // 7
    catalogueIndex = std::make_unique<ProfileFile>(programFolder + "Setting/Pages.ini");
    // 8, 9
    applyWindowSize();
    QString error;
    if (!buildAllTabs(&error))
        showMessage(MessageKind::Error, QStringLiteral("Ошибка в файле настроек Pages.ini! (2)"));
    // 10
    TMP->setPlainText(QStringLiteral("Выберите параметр!"));
    PageControl1->setEnabled(true);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, Silver);
    Panel1->setPalette(pal);
    Panel1->setText(QStringLiteral("Можете редактировать файлы!"));
    showMessage(MessageKind::Information,
                QStringLiteral("Данные загружены. Можете начинать редактирование."));
    // 11
    loadComponentState();
    // 12
    delete Form5;
    ready_ = true;
}

void TForm1::FormClose()
{
    if (Form5)
        delete Form5;
    if (N14->isChecked()) {
        switch (clearRegistryKey()) {
        case RegistryClear::Deleted:
            showMessage(MessageKind::Always, QStringLiteral("Ключи реестра удалены!"));
            break;
        case RegistryClear::Failed:
            showMessage(MessageKind::Always, QStringLiteral("EXCEPT"));
            break;
        case RegistryClear::NotFound:
            break;
        }
        return;
    }
    if (settingsFile) {
        const QSize whole = frameGeometry().size();
        QString error;
        const QByteArray setting = settingkeys::sectionSetting();
        if (!settingsFile->writeInteger(setting, settingkeys::FormHeight, whole.height(), &error)
            || !settingsFile->writeInteger(setting, settingkeys::FormWidth, whole.width(),
                                           &error)) {
            // Only worth saying once the program ran; a failed start has said it already.
            if (ready_)
                showMessage(MessageKind::Error,
                            QStringLiteral("Не удалось сохранить размер окна.\n") + error);
        }
    }
    catalogueIndex.reset();
    settingsFile.reset();
    saveComponentState();
}

// --- call points that later subsystems fill

bool TForm1::buildAllTabs(QString *error)
{
    TabBuilder builder(*this);
    const CatalogueResult result = CatalogueReader(programFolder).walk(builder);
    if (result.status == CatalogueResult::Failed) {
        *error = result.reason;
        return false;
    }
    return true;
}

void TForm1::loadComponentState() {}

void TForm1::saveComponentState() {}

TForm1::RegistryClear TForm1::clearRegistryKey()
{
    return RegistryClear::NotFound;
}
