#include "editor/window/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QUrl>

#include "editor/window/TForm2.h"
#include "ui/window/Dialogs.h"
#include "ui/window/WindowHost.h"

#ifndef BRANVIK_DOCS_FROM_PROGRAM
#define BRANVIK_DOCS_FROM_PROGRAM "../../share/doc/branvik-configurator"
#endif

namespace {

// A command of the program: where the user finds it (menu path, shortcut, control) and what it
// does. A new command is one more line in the list below.
struct Command
{
    const char *where;
    const char *what;
};

constexpr Command commands[] = {
    {"Файл → Указать папку gamedata (Ctrl+O)",
     "выбрать папку с файлами игры; программа закроется и откроет её при следующем запуске."},
    {"Файл → Перечитать значения (Ctrl+R)",
     "заново прочитать значения из файлов игры, если их изменила игра или другая программа; "
     "неприменённые правки в строках остаются."},
    {"Файл → Применить твик",
     "открыть файл твика и показать каждую его строку против файлов игры: совпадает, отличается, "
     "будет добавлена, будет удалена или не применяется (и почему); «Записать» пишет отмеченные "
     "строки с резервной копией и дублированием."},
    {"Файл → Удалить твик", "вернуть строки, которые заменило последнее применение этого твика."},
    {"Файл → Выход (Ctrl+Q)", "закрыть программу."},
    {"Вид → В форме таблицы (F5)",
     "показать страницу выбранного параметра таблицей: строка на подвкладку, столбец на "
     "параметр. «Применить» показывает, что будет записано, и записывает; «Отмена» ничего не "
     "пишет; «Сохранить» и «Загрузить» хранят таблицу в файле .tsv или .xls."},
    {"Вид → Найти параметр (Ctrl+F)",
     "искать по части названия, ключа, секции, файла или справки на всех вкладках; «Перейти» "
     "выбирает найденную строку."},
    {"Вид → Изменения после резервной копии",
     "ключи, которые отличаются от копии .bak; «Перейти к строке», «Восстановить параметр» и "
     "«Восстановить файл» возвращают значения из копии; «Сохранить твик» сохраняет все "
     "изменения или выбранные строки в файл твика."},
    {"Вид → История записей",
     "каждая запись программы в файлы игры, новые сначала, с фильтром; «Отменить запись» и "
     "«Отменить группу» возвращают прежние строки, если их с тех пор никто не менял."},
    {"Вид → Отменить последнюю запись (Ctrl+Z)",
     "после вопроса вернуть строки последней записи (строки, таблицы, твика или восстановления)."},
    {"Вид → Наследование значений (#include и родители)",
     "включено: параметр, которого нет в своей секции, показывает серым значение, которое игра "
     "берёт из включённых файлов и родительских секций; выключено: такой параметр показан как "
     "отсутствующий. Запоминается; значения сразу перечитываются."},
    {"Настройки → Цвет окна (F2)", "цвет окна и вкладок; запоминается при закрытии."},
    {"Настройки → Очистить реестр от параметров программы",
     "при закрытии забыть сохранённое состояние окна (цвет, места перенесённых строк)."},
    {"Настройки → Включить\\отключить вкладки (F3)",
     "выбрать страницы, которые показываются со следующего запуска."},
    {"Настройки → Заменять запятые точками (F4)",
     "перед каждой записью менять десятичные запятые на точки."},
    {"Настройки → Вывод сообщений → Выводить все сообщения, Только об ошибках, Никаких (почти)",
     "какие сообщения показывать."},
    {"Настройки → Табличный режим → Включить при следующей загрузке, Отключить при следующей "
     "загрузке",
     "вместо строк на каждой подвкладке кнопка «ОТКРЫТЬ ТАБЛИЦУ!»: загрузка намного быстрее."},
    {"Настройки → Дублирование → Включить, Отключить, Выбрать папку",
     "повторять каждую запись в файле с тем же именем в папке дублирования."},
    {"? → Помощь (F1)", "это окно."},
    {"Свойства (Alt+Backspace; меню правой кнопки в поле значения)",
     "файл, секция, ключ, название и справка параметра в наборе параметров."},
    {"Добавить (Ctrl+Insert)", "новый параметр в конце подвкладки выбранной строки."},
    {"Удалить (Ctrl+Delete)", "убрать параметр выбранной строки из набора параметров."},
    {"Кнопка «Картинка» на подвкладке", "показать картинку подвкладки."},
    {"Перетаскивание мышью",
     "вкладки меняют порядок до закрытия программы; строка, перенесённая за своё название, "
     "остаётся на новом месте и при следующем запуске."},
};

} // namespace

HelpWindow::HelpWindow(WindowHost &host, TForm2 &window)
    : HelpWindow(host, window, QCoreApplication::applicationDirPath())
{
}

HelpWindow::HelpWindow(WindowHost &host, TForm2 &window, const QString &programDir)
    : host_(host), window_(window)
{
    window_.Memo1->setPlainText(helpText());
    const QString guide = guidePath(programDir);
    window_.Label3->setText(
        QStringLiteral("<a href=\"%1\">Описание и список изменений</a>")
            .arg(QUrl::fromLocalFile(guide).toString(QUrl::FullyEncoded).toHtmlEscaped()));
    window_.Label3->setToolTip(guide);
    QObject::connect(window_.Label3, &QLabel::linkActivated, host_.window(),
                     [this](const QString &link) { openLink(link); });
}

QString HelpWindow::helpText()
{
    QString text = QStringLiteral(
        "------------------------------\n"
        "ПОМОЩЬ:\n"
        "------------------------------\n"
        "\n"
        "Программа правит файлы настроек игры, поэтому файлы gamedata игры должны быть "
        "распакованы. Если их пока нет, попробуйте программу на примере: вместе с ней "
        "поставляется папка с файлами для правки (example-gamedata).\n"
        "\n"
        "Начните с меню «Файл», пункт «Указать папку gamedata», и выберите папку gamedata "
        "игры (или папку с примером). Программа запомнит её.\n"
        "\n"
        "Когда параметры загрузятся, их можно менять. Каждое изменение подтверждается кнопкой "
        "«!!!» рядом с параметром: пока она не нажата, в файл ничего не пишется. Меняйте только "
        "цифры. Комментарии разработчиков игры, которые показаны рядом со значением, остаются на "
        "своих местах.\n"
        "\n"
        "Внутри поля со значением курсор передвигается клавишами со стрелками, вверх и вниз "
        "тоже.\n"
        "\n"
        "Дробные числа в файлах игры пишутся с точкой, а не с запятой: 1.5, а не 1,5. С "
        "запятой игра может не запуститься.\n"
        "\n"
        "В самом нижнем поле окна видна краткая справка о выбранном параметре, а в поле над "
        "ним - то, что будет записано в файл для изменяемого параметра.\n"
        "\n"
        "------------------------------\n"
        "КОМАНДЫ:\n"
        "------------------------------\n");
    for (const Command &c : commands)
        text += QStringLiteral("\n• %1 - %2\n")
                    .arg(QString::fromUtf8(c.where), QString::fromUtf8(c.what));
    text += QStringLiteral(
        "\n"
        "------------------------------\n"
        "\n"
        "Все изменения вы делаете на свой страх и риск. Перед первой записью в файл игры "
        "программа один раз сохраняет его копию рядом, с расширением .bak.\n"
        "\n"
        "Что изменилось в программе, написано в файле CHANGES.md рядом с описанием программы "
        "README.md; ссылка внизу окна открывает описание.\n"
        "\n"
        "Набор параметров можно пополнять самим: все они перечислены в файле Pages.ini и в "
        "файлах страниц в папке Setting. В начале Pages.ini объяснено, как он устроен. Если "
        "вы знаете полезный параметр, которого здесь нет, сообщите о нём - он появится в "
        "следующей версии.\n"
        "\n"
        "Удачи и приятной игры!\n");
    return text;
}

QString HelpWindow::guidePath(const QString &programDir)
{
    const QDir dir(programDir);
    const QString inBuild = dir.absoluteFilePath(QStringLiteral("doc/README.md"));
    if (QFileInfo(inBuild).isFile())
        return inBuild;
    return QDir::cleanPath(
        dir.absoluteFilePath(QStringLiteral(BRANVIK_DOCS_FROM_PROGRAM "/README.md")));
}

void HelpWindow::N8Click()
{
    // The folder of the settings and the catalogue is known once the start-up has chosen it:
    // beside the program, or the user's own folder when the program's folder is read-only.
    window_.Memo1->setPlainText(
        helpText() +
        QStringLiteral("\nНастройки (Setting.ini) и набор параметров этой копии программы лежат "
                       "в папке %1\n")
            .arg(host_.settingsFolder()));
    window_.Memo1->verticalScrollBar()->setValue(0);
    const QScreen *screen = host_.window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        window_.move(screen->availableGeometry().center() - window_.rect().center());
    host_.dialogs().exec(&window_);
}

void HelpWindow::openLink(const QString &link)
{
    const QUrl url(link);
    const QString file = url.toLocalFile();
    // The program's general error box: shown at every message level.
    if (!QFileInfo(file).isFile()) {
        host_.dialogs().message(&window_, QStringLiteral("Не найдено описание программы: нет "
                                                         "файла ") +
                                              file + QStringLiteral("."));
        return;
    }
    if (host_.dialogs().openUrl(url))
        return;
    host_.dialogs().message(&window_, QStringLiteral("Не удалось открыть файл ") + file +
                                          QStringLiteral(": на компьютере не настроена программа "
                                                         "для его открытия."));
}
