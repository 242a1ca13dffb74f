#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

#include "history/ApplyHistory.h"
#include "changes/ChangeList.h"
#include "history/HistoryUndo.h"
#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ParameterWriter.h"
#include "tweaks/TweakFile.h"
#include "profile/DiskPath.h"
#include "profile/SafeFile.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "textcodec/Cp1251.h"

namespace CommandLine {
namespace {

const char HelpText[] =
    "Использование: branvik-configurator [--gamedata ПАПКА] [--settings ПАПКА] КОМАНДА\n"
    "\n"
    "Без аргументов программа открывает окно. С аргументами она работает без окна.\n"
    "\n"
    "Команды:\n"
    "  --get ФАЙЛ РАЗДЕЛ КЛЮЧ          напечатать значение ключа\n"
    "  --set ФАЙЛ РАЗДЕЛ КЛЮЧ ЗНАЧЕНИЕ записать значение (резервная копия, дублирование)\n"
    "  --apply-tweak ТВИК [--dry-run] [--allow-create]\n"
    "                                  проверить твик и записать его\n"
    "  --remove-tweak ТВИК             отменить последнюю запись этого твика\n"
    "  --make-tweak ТВИК [ФАЙЛ...]     сохранить изменения (всех файлов или названных) в твик\n"
    "  --changes [ФАЙЛ]                список изменений относительно резервных копий\n"
    "  --history                       история записей, новые сначала\n"
    "  --undo-last                     отменить последнюю группу записей истории\n"
    "  --help                          эта справка\n"
    "  --version                       версия программы\n"
    "\n"
    "Параметры:\n"
    "  --gamedata ПАПКА   папка gamedata (иначе Gamedata_Path из файла настроек)\n"
    "  --settings ПАПКА   папка с Setting.ini и историей (иначе как у окна программы)\n"
    "  --dry-run          только показать, что будет записано\n"
    "  --allow-create     разрешить твику создавать отсутствующие файлы\n"
    "\n"
    "ФАЙЛ задаётся от папки gamedata, например config\\creatures\\actor.ltx.\n"
    "\n"
    "Коды выхода: 0 - сделано, 1 - ничего не найдено или нечего делать,\n"
    "2 - отказ или ошибка, 64 - неверные аргументы.\n";

class Run
{
public:
    Run(std::FILE *out, std::FILE *err) : out_(out), err_(err) {}

    int main(const QStringList &arguments, const QString &programFolder);

private:
    void print(const QString &text) { std::fputs((text + '\n').toUtf8().constData(), out_); }
    void complain(const QString &text) { std::fputs((text + '\n').toUtf8().constData(), err_); }
    int usage(const QString &text)
    {
        complain(text);
        complain(QStringLiteral("Справка: --help"));
        return Usage;
    }
    bool encoded(const QString &text, QByteArray *bytes)
    {
        if (cp1251::fromUnicode(text, bytes))
            return true;
        complain(QStringLiteral("Текст «%1» не представим в кодировке Windows-1251.").arg(text));
        return false;
    }
    WriteTarget target() const
    {
        return WriteTarget{gamedata_, settings_.run().duplicationOn(),
                           settings_.run().duplicationFolder};
    }
    void reportHistory()
    {
        if (const QString why = takeHistoryError(); !why.isEmpty())
            complain(why);
    }

    int get(const QStringList &args);
    int set(const QStringList &args);
    int applyTweak(const QString &path, bool dryRun, bool allowCreate);
    int removeTweak(const QString &path);
    int makeTweak(const QString &path, const QStringList &files);
    int changes(const QStringList &files);
    int history();
    int undoLast();
    // Undoes the group (newest first), or says why not; done: the closing line's text.
    int undo(const QList<HistoryRecord> &group, const QString &done);
    QByteArrayList changedFiles() const;

    std::FILE *out_;
    std::FILE *err_;
    SettingsFile settings_;
    QByteArray gamedata_;
    std::unique_ptr<ApplyHistory> history_;
};

QString u(const QByteArray &text)
{
    return cp1251::toUnicode(text);
}

// The folder of Setting.ini, as the window finds it: beside the program when it may be written
// there, else the user's copy (which the window makes at its first start there).
QString settingFolder(const QString &programFolder)
{
    const QString own = QDir(programFolder).filePath(QStringLiteral("Setting"));
    if (settingFolderWritable(own) || !QFileInfo::exists(own))
        return own;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("Setting"));
}

QString lineText(const std::optional<QByteArray> &line)
{
    return line ? u(*line) : QStringLiteral("(нет)");
}

// A line of a change, absent (null) when the line is not there.
std::optional<QByteArray> present(const QByteArray &line)
{
    return line.isNull() ? std::nullopt : std::optional(line);
}

QString changeText(const KeyChange &c)
{
    const QString where = QStringLiteral("%1 [%2] %3: ").arg(u(c.file), u(c.section), u(c.key));
    switch (c.kind) {
    case KeyChange::Kind::Added:
        return where + QStringLiteral("добавлен: ") + u(c.currentLine);
    case KeyChange::Kind::Removed:
        return where + QStringLiteral("удалён: ") + u(c.backupLine);
    case KeyChange::Kind::Line:
        return QStringLiteral("%1 [%2]: строка вне параметров: ").arg(u(c.file), u(c.section)) +
               lineText(present(c.backupLine)) + QStringLiteral(" → ") +
               lineText(present(c.currentLine));
    case KeyChange::Kind::Changed:
        break;
    }
    return where + QStringLiteral("изменён: ") + u(c.backupLine) + QStringLiteral(" → ") +
           u(c.currentLine);
}

// What names a tweak file in the history: its absolute path.
QByteArray tweakNote(const QString &path)
{
    return cp1251::encode(QFileInfo(path).absoluteFilePath());
}

int Run::main(const QStringList &arguments, const QString &programFolder)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption gamedata(QStringLiteral("gamedata"), {}, QStringLiteral("dir"));
    const QCommandLineOption settingsDir(QStringLiteral("settings"), {}, QStringLiteral("dir"));
    const QCommandLineOption getOpt(QStringLiteral("get"));
    const QCommandLineOption setOpt(QStringLiteral("set"));
    const QCommandLineOption apply(QStringLiteral("apply-tweak"), {}, QStringLiteral("file"));
    const QCommandLineOption remove(QStringLiteral("remove-tweak"), {}, QStringLiteral("file"));
    const QCommandLineOption make(QStringLiteral("make-tweak"), {}, QStringLiteral("file"));
    const QCommandLineOption dryRun(QStringLiteral("dry-run"));
    const QCommandLineOption allowCreate(QStringLiteral("allow-create"));
    const QCommandLineOption changesOpt(QStringLiteral("changes"));
    const QCommandLineOption historyOpt(QStringLiteral("history"));
    const QCommandLineOption undoOpt(QStringLiteral("undo-last"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({gamedata, settingsDir, getOpt, setOpt, apply, remove, make, dryRun,
                       allowCreate, changesOpt, historyOpt, undoOpt, help, version});
    // The operands of --get and --set are taken as they stand, so a value such as "-0.5" is not
    // read as an option.
    QStringList options = arguments;
    QStringList operands;
    for (const auto &[name, count] :
         {std::pair{QStringLiteral("get"), 3}, std::pair{QStringLiteral("set"), 4}}) {
        const qsizetype at = std::max(options.indexOf("--" + name), options.indexOf("-" + name));
        if (at > 0) {
            operands = options.mid(at + 1, count);
            options.remove(at + 1, operands.size());
        }
    }
    if (!parser.parse(options)) {
        const QStringList unknown = parser.unknownOptionNames();
        return usage(unknown.isEmpty()
                         ? QStringLiteral("Неверные аргументы: у параметра нет значения.")
                         : QStringLiteral("Неизвестный параметр: ") + unknown.join(", "));
    }
    if (parser.isSet(help)) {
        std::fputs(HelpText, out_);
        return Done;
    }
    if (parser.isSet(version)) {
        print(QStringLiteral("BRANVIK Configurator " BRANVIK_VERSION));
        return Done;
    }
    const QList<const QCommandLineOption *> commands{&getOpt, &setOpt,     &apply,      &remove,
                                                     &make,   &changesOpt, &historyOpt, &undoOpt};
    int given = 0;
    for (const QCommandLineOption *c : commands)
        given += parser.isSet(*c) ? 1 : 0;
    if (given != 1)
        return usage(given == 0 ? QStringLiteral("Не указана команда.")
                                : QStringLiteral("Указано больше одной команды."));
    if ((parser.isSet(dryRun) || parser.isSet(allowCreate)) && !parser.isSet(apply))
        return usage(
            QStringLiteral("--dry-run и --allow-create относятся только к --apply-tweak."));

    // The settings file: duplication, the gamedata folder when none is given, and the history.
    const QString folder =
        parser.isSet(settingsDir) ? parser.value(settingsDir) : settingFolder(programFolder);
    const QString settingsPath = QDir(folder).filePath(QStringLiteral("Setting.ini"));
    if (QFileInfo::exists(settingsPath)) {
        settings_.open(cp1251::encode(settingsPath));
        settings_.read();
    }
    if (parser.isSet(gamedata)) {
        QString dir = QDir(parser.value(gamedata)).absolutePath();
        if (!dir.endsWith('/'))
            dir += '/';
        if (!encoded(dir, &gamedata_))
            return Failed;
    } else if (settings_.isOpen() && settings_.gamedataPath() != settingkeys::AbsentGamedataPath) {
        gamedata_ = settings_.gamedataPath();
    }
    if (gamedata_.isEmpty()) {
        complain(QStringLiteral("Папка gamedata не указана: задайте --gamedata или выберите её в "
                                "окне программы (файл настроек %1).")
                     .arg(settingsPath));
        return Failed;
    }
    if (!QFileInfo(resolveDiskPath(gamedata_)).isDir()) {
        complain(QStringLiteral("Папка gamedata не найдена: ") + u(gamedata_));
        return Failed;
    }
    history_ = std::make_unique<ApplyHistory>(QDir(folder).filePath(QStringLiteral("History.log")));
    ApplyHistory::setActive(history_.get());
    struct Deactivate
    {
        ~Deactivate() { ApplyHistory::setActive(nullptr); }
    } deactivate;

    const QStringList args = operands + parser.positionalArguments();
    if (parser.isSet(getOpt))
        return get(args);
    if (parser.isSet(setOpt))
        return set(args);
    if (!args.isEmpty() && !parser.isSet(changesOpt) && !parser.isSet(make))
        return usage(QStringLiteral("Лишние аргументы: ") + args.join(' '));
    if (parser.isSet(apply))
        return applyTweak(parser.value(apply), parser.isSet(dryRun), parser.isSet(allowCreate));
    if (parser.isSet(remove))
        return removeTweak(parser.value(remove));
    if (parser.isSet(make))
        return makeTweak(parser.value(make), args);
    if (parser.isSet(changesOpt))
        return changes(args);
    if (parser.isSet(historyOpt))
        return history();
    return undoLast();
}

int Run::get(const QStringList &args)
{
    if (args.size() != 3)
        return usage(QStringLiteral("--get ждёт три аргумента: ФАЙЛ РАЗДЕЛ КЛЮЧ."));
    QByteArray file, section, key;
    if (!encoded(args[0], &file) || !encoded(args[1], &section) || !encoded(args[2], &key))
        return Failed;
    // Two reads with different defaults tell a stored default from a missing key.
    const QByteArray value = ParameterLookup::lookUp(gamedata_, file, section, key, "\x01");
    if (value == "\x01" &&
        ParameterLookup::lookUp(gamedata_, file, section, key, "\x02") == "\x02") {
        complain(QStringLiteral("Параметр не найден: %1 [%2] %3").arg(args[0], args[1], args[2]));
        return NothingFound;
    }
    print(u(value));
    return Done;
}

int Run::set(const QStringList &args)
{
    if (args.size() != 4)
        return usage(QStringLiteral("--set ждёт четыре аргумента: ФАЙЛ РАЗДЕЛ КЛЮЧ ЗНАЧЕНИЕ."));
    QByteArray file, section, key, value;
    if (!encoded(args[0], &file) || !encoded(args[1], &section) || !encoded(args[2], &key) ||
        !encoded(args[3], &value))
        return Failed;
    QString error;
    // The same value text as a row's apply: one blank, then the value.
    const WriteResult result =
        ParameterWriter(target()).writeParameter(file, section, key, ' ' + value, &error);
    reportHistory();
    if (!result) {
        complain(error);
        return Failed;
    }
    return Done;
}

int Run::applyTweak(const QString &path, bool dryRun, bool allowCreate)
{
    QByteArray bytes;
    if (readRegularFile(QFile::encodeName(path), &bytes) != FileRead::Read) {
        complain(QStringLiteral("Файл твика не читается: ") + path);
        return Failed;
    }
    const QList<TweakReviewLine> review =
        Tweak::review(gamedata_, TweakFile::parse(bytes), allowCreate);
    int writes = 0, blocked = 0;
    for (const TweakReviewLine &r : review) {
        print(r.text());
        writes += r.writes() ? 1 : 0;
        blocked += r.state == TweakReviewLine::State::Blocked ? 1 : 0;
    }
    // An installer gets the whole tweak or nothing of it.
    if (blocked > 0) {
        complain(
            QStringLiteral("Твик не записан: строк, которые нельзя применить: %1.").arg(blocked));
        return Failed;
    }
    if (writes == 0) {
        complain(QStringLiteral("Нечего записывать: файлы игры уже совпадают с твиком."));
        return NothingFound;
    }
    if (dryRun)
        return Done;
    const TweakApplyReport report = Tweak::apply(target(), review, tweakNote(path));
    reportHistory();
    if (!report.complete) {
        complain(report.message());
        return Failed;
    }
    complain(report.message());
    return Done;
}

int Run::removeTweak(const QString &path)
{
    const ApplyHistory::Contents contents = history_->read();
    const QList<HistoryRecord> group = HistoryUndo::tweakGroup(contents.records, tweakNote(path));
    if (group.isEmpty()) {
        complain(QStringLiteral("В истории нет записи этого твика: ") + path);
        return NothingFound;
    }
    return undo(group, QStringLiteral("Твик удалён: восстановлено строк: %1.").arg(group.size()));
}

QByteArrayList Run::changedFiles() const
{
    // Every game file with a backup: the files the program has written.
    QByteArrayList files;
    const QString root = resolveDiskPath(gamedata_);
    QDirIterator it(root, {QStringLiteral("*.bak")}, QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = QDir(root).relativeFilePath(it.next());
        files.append(cp1251::encode(relative.chopped(4).replace('/', '\\')));
    }
    std::sort(files.begin(), files.end());
    return files;
}

int Run::makeTweak(const QString &path, const QStringList &names)
{
    QByteArrayList files;
    for (const QString &name : names) {
        QByteArray file;
        if (!encoded(name, &file))
            return Failed;
        files.append(file);
    }
    const QList<KeyChange> list =
        ChangeList::changes(gamedata_, files.isEmpty() ? changedFiles() : files);
    if (list.isEmpty()) {
        complain(QStringLiteral("Изменений нет: твик не сохранён."));
        return NothingFound;
    }
    QString why;
    if (!saveFile(path, TweakFile::make(list), &why)) {
        complain(QStringLiteral("Твик не сохранён в %1: %2.").arg(path, why));
        return Failed;
    }
    complain(QStringLiteral("Твик сохранён: %1 (строк: %2).").arg(path).arg(list.size()));
    return Done;
}

int Run::changes(const QStringList &names)
{
    if (names.size() > 1)
        return usage(QStringLiteral("--changes ждёт не больше одного файла."));
    QByteArrayList files;
    if (names.isEmpty()) {
        files = changedFiles();
    } else {
        QByteArray file;
        if (!encoded(names[0], &file))
            return Failed;
        files.append(file);
    }
    const QList<KeyChange> list = ChangeList::changes(gamedata_, files);
    for (const KeyChange &c : list)
        print(changeText(c));
    if (list.isEmpty()) {
        complain(QStringLiteral("Изменений нет."));
        return NothingFound;
    }
    return Done;
}

int Run::history()
{
    const ApplyHistory::Contents contents = history_->read();
    if (contents.damaged > 0)
        complain(
            QStringLiteral("Повреждённых записей истории пропущено: %1.").arg(contents.damaged));
    for (auto it = contents.records.crbegin(); it != contents.records.crend(); ++it)
        print(QStringLiteral("%1 %2 #%3 %4 [%5] %6: %7 → %8")
                  .arg(QDateTime::fromMSecsSinceEpoch(it->time).toString(Qt::ISODate),
                       QString::fromLatin1(originName(it->origin)))
                  .arg(it->group)
                  .arg(u(it->file), u(it->section), u(it->key), lineText(it->before),
                       lineText(it->after)));
    if (contents.records.isEmpty()) {
        complain(QStringLiteral("История пуста."));
        return NothingFound;
    }
    return Done;
}

int Run::undoLast()
{
    const QList<HistoryRecord> group = HistoryUndo::lastGroup(history_->read().records);
    if (group.isEmpty()) {
        complain(QStringLiteral("История пуста: отменять нечего."));
        return NothingFound;
    }
    return undo(group, QStringLiteral("Отменено записей: %1.").arg(group.size()));
}

int Run::undo(const QList<HistoryRecord> &group, const QString &done)
{
    QString error;
    if (!HistoryUndo::undo(target(), group, &error)) {
        complain(error);
        return Failed;
    }
    reportHistory();
    complain(done);
    return Done;
}

} // namespace

int run(const QStringList &arguments, const QString &programFolder, std::FILE *out, std::FILE *err)
{
    Run command(out, err);
    const int code = command.main(arguments, programFolder);
    std::fflush(out);
    std::fflush(err);
    return code;
}

} // namespace CommandLine
