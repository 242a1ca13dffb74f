#include "cli/CommandLine.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

#include "changes/ChangeList.h"
#include "gamefiles/GamePath.h"
#include "gamefiles/ParameterLookup.h"
#include "history/ApplyHistory.h"
#include "history/HistoryText.h"
#include "history/HistoryUndo.h"
#include "profile/DiskPath.h"
#include "profile/SafeFile.h"
#include "session/Session.h"
#include "settings/ProgramSettings.h"
#include "settings/SettingsFile.h"
#include "textcodec/Cp1251.h"
#include "tweaks/TweakApply.h"
#include "tweaks/TweakFile.h"
#include "tweaks/TweakReview.h"

namespace CommandLine {
namespace {

const char HelpText[] =
    "Использование: branvik-configurator [--gamedata ПАПКА] [--settings ПАПКА] КОМАНДА\n"
    "\n"
    "Без аргументов программа открывает окно. С аргументами она работает без окна.\n"
    "\n"
    "Команды:\n"
    "  --get ФАЙЛ РАЗДЕЛ КЛЮЧ [--no-inherit] [--line]\n"
    "                                  напечатать значение ключа, как его показывает окно\n"
    "  --set ФАЙЛ РАЗДЕЛ КЛЮЧ ЗНАЧЕНИЕ [--create]\n"
    "                                  записать значение (резервная копия, дублирование)\n"
    "  --apply-tweak ТВИК [--dry-run] [--create]\n"
    "                                  проверить твик и записать его целиком\n"
    "  --remove-tweak ТВИК             отменить запись этого твика\n"
    "  --make-tweak ТВИК [ФАЙЛ...] [--force]\n"
    "                                  сохранить изменения (всех файлов или названных) в твик\n"
    "  --changes [ФАЙЛ]                список изменений относительно резервных копий\n"
    "  --history                       история записей, новые сначала\n"
    "  --undo-last                     отменить последнюю ещё не отменённую группу записей\n"
    "  --redo                          вернуть последнюю отменённую группу\n"
    "  --help                          эта справка\n"
    "  --version                       версия программы\n"
    "\n"
    "Параметры:\n"
    "  --gamedata ПАПКА   папка gamedata (иначе Gamedata_Path из файла настроек)\n"
    "  --settings ПАПКА   папка с Setting.ini и историей (иначе как у окна программы)\n"
    "  --no-inherit       не искать значение у родителей секции\n"
    "  --line             напечатать всю строку ключа, как в файле\n"
    "  --create           разрешить создать отсутствующие файл, раздел или ключ\n"
    "  --dry-run          только показать, что будет записано\n"
    "  --force            заменить существующий файл твика\n"
    "\n"
    "ФАЙЛ задаётся от папки gamedata, например config\\creatures\\actor.ltx. Раздел ищется\n"
    "так же, как в окне: в файле и во включённых им файлах (#include); запись попадает в тот\n"
    "файл, где раздел описан.\n"
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
    // Says why a write is not in the history, when it is not.
    void reportHistory(const QString &problem)
    {
        if (!problem.isEmpty())
            complain(problem);
    }
    // The file, section and key operands; false (after the message) when one cannot be held.
    bool keyOperands(const QStringList &args, QByteArray *file, QByteArray *section,
                     QByteArray *key)
    {
        return encoded(args[0], file) && encoded(args[1], section) && encoded(args[2], key);
    }
    bool insideGamedata(const QString &file, const QByteArray &bytes)
    {
        if (isInsideGamedata(session_->gamedataFolder(), bytes))
            return true;
        complain(
            QStringLiteral("Файл %1 не прочитан: путь ведёт за пределы папки gamedata.").arg(file));
        return false;
    }

    int get(const QStringList &args, bool inherit, bool wholeLine);
    int set(const QStringList &args, bool create);
    bool readTweak(const QString &path, QList<TweakLine> *lines);
    int applyTweak(const QString &path, bool dryRun, bool create);
    int removeTweak(const QString &path);
    int makeTweak(const QString &path, const QStringList &files, bool force);
    int changes(const QStringList &files);
    int history();
    int undoLast();
    int redo();
    // Says what became of an undo or redo and gives its exit code.
    int step(const HistoryUndo::Result &result);
    // Undoes the group (newest first), or says why not; done: the closing line's text.
    int undo(const QList<HistoryRecord> &group, const QString &done);

    std::FILE *out_;
    std::FILE *err_;
    std::unique_ptr<Session> session_;
};

QString lineText(const std::optional<QByteArray> &line)
{
    return line ? cp1251::toUnicode(*line) : QStringLiteral("(нет)");
}

QString changeText(const LineChange &c)
{
    const QString where =
        QStringLiteral("%1 [%2] %3: ")
            .arg(cp1251::toUnicode(c.file), cp1251::toUnicode(c.section), cp1251::toUnicode(c.key));
    switch (c.kind()) {
    case LineChange::Kind::Added:
        return where + QStringLiteral("добавлен: ") + lineText(c.after);
    case LineChange::Kind::Removed:
        return where + QStringLiteral("удалён: ") + lineText(c.before);
    case LineChange::Kind::Line:
        return QStringLiteral("%1 [%2]: строка вне параметров: ")
                   .arg(cp1251::toUnicode(c.file), cp1251::toUnicode(c.section)) +
               lineText(c.before) + QStringLiteral(" → ") + lineText(c.after);
    case LineChange::Kind::Changed:
        break;
    }
    return where + QStringLiteral("изменён: ") + lineText(c.before) + QStringLiteral(" → ") +
           lineText(c.after);
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
    // --allow-create is the older spelling of --create, kept for scripts written for it.
    const QCommandLineOption create(
        QStringList{QStringLiteral("create"), QStringLiteral("allow-create")});
    const QCommandLineOption noInherit(QStringLiteral("no-inherit"));
    const QCommandLineOption line(QStringLiteral("line"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QCommandLineOption changesOpt(QStringLiteral("changes"));
    const QCommandLineOption historyOpt(QStringLiteral("history"));
    const QCommandLineOption undoOpt(QStringLiteral("undo-last"));
    const QCommandLineOption redoOpt(QStringLiteral("redo"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({gamedata, settingsDir, getOpt, setOpt, apply, remove, make, dryRun, create,
                       noInherit, line, force, changesOpt, historyOpt, undoOpt, redoOpt, help,
                       version});
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
    const QList<const QCommandLineOption *> commands{
        &getOpt, &setOpt, &apply, &remove, &make, &changesOpt, &historyOpt, &undoOpt, &redoOpt};
    int given = 0;
    for (const QCommandLineOption *c : commands)
        given += parser.isSet(*c) ? 1 : 0;
    if (given != 1)
        return usage(given == 0 ? QStringLiteral("Не указана команда.")
                                : QStringLiteral("Указано больше одной команды."));
    // Each modifier belongs to the commands it changes.
    const struct
    {
        const QCommandLineOption &option;
        QList<const QCommandLineOption *> commands;
        const char *text;
    } modifiers[] = {
        {dryRun, {&apply}, "--dry-run относится только к --apply-tweak."},
        {create, {&setOpt, &apply}, "--create относится только к --set и --apply-tweak."},
        {noInherit, {&getOpt}, "--no-inherit относится только к --get."},
        {line, {&getOpt}, "--line относится только к --get."},
        {force, {&make}, "--force относится только к --make-tweak."},
    };
    for (const auto &m : modifiers) {
        if (parser.isSet(m.option) &&
            std::none_of(m.commands.begin(), m.commands.end(),
                         [&](const QCommandLineOption *c) { return parser.isSet(*c); }))
            return usage(QString::fromUtf8(m.text));
    }

    // The settings, the gamedata folder and the history, found as the window finds them.
    Session::Options where;
    where.programFolder = programFolder;
    where.userFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    if (parser.isSet(settingsDir))
        where.settingsFolder = parser.value(settingsDir);
    session_ = std::make_unique<Session>(where);
    QString problem;
    if (!session_->locate(&problem))
        return usage(problem);
    if (!problem.isEmpty())
        complain(problem);
    const QString settingsPath = cp1251::toUnicode(session_->settingsPath());
    if (QFileInfo(session_->settingsFolder() + QStringLiteral("Setting.ini")).exists())
        session_->openSettings();
    if (parser.isSet(gamedata)) {
        QString dir = QDir(parser.value(gamedata)).absolutePath();
        if (!dir.endsWith('/'))
            dir += '/';
        QByteArray folder;
        if (!encoded(dir, &folder))
            return Failed;
        session_->setGamedataFolder(folder);
    } else if (session_->settings().isOpen() &&
               session_->settings().gamedataPath() != settingkeys::AbsentGamedataPath) {
        session_->setGamedataFolder(session_->settings().gamedataPath());
    }
    if (session_->gamedataFolder().isEmpty()) {
        complain(QStringLiteral("Папка gamedata не указана: задайте --gamedata или выберите её в "
                                "окне программы (файл настроек %1).")
                     .arg(settingsPath));
        return Failed;
    }
    if (!QFileInfo(resolveDiskPath(session_->gamedataFolder())).isDir()) {
        complain(QStringLiteral("Папка gamedata не найдена: ") +
                 cp1251::toUnicode(session_->gamedataFolder()));
        return Failed;
    }

    // A write a crash left unfinished is settled before any command looks at the files.
    for (const QString &problem : session_->settleHistory())
        complain(problem);

    const QStringList args = operands + parser.positionalArguments();
    if (parser.isSet(getOpt))
        return get(args, !parser.isSet(noInherit), parser.isSet(line));
    if (parser.isSet(setOpt))
        return set(args, parser.isSet(create));
    if (!args.isEmpty() && !parser.isSet(changesOpt) && !parser.isSet(make))
        return usage(QStringLiteral("Лишние аргументы: ") + args.join(' '));
    if (parser.isSet(apply))
        return applyTweak(parser.value(apply), parser.isSet(dryRun), parser.isSet(create));
    if (parser.isSet(remove))
        return removeTweak(parser.value(remove));
    if (parser.isSet(make))
        return makeTweak(parser.value(make), args, parser.isSet(force));
    if (parser.isSet(changesOpt))
        return changes(args);
    if (parser.isSet(historyOpt))
        return history();
    if (parser.isSet(redoOpt))
        return redo();
    return undoLast();
}

int Run::get(const QStringList &args, bool inherit, bool wholeLine)
{
    if (args.size() != 3)
        return usage(QStringLiteral("--get ждёт три аргумента: ФАЙЛ РАЗДЕЛ КЛЮЧ."));
    QByteArray file, section, key;
    if (!keyOperands(args, &file, &section, &key))
        return Failed;
    if (!insideGamedata(args[0], file))
        return Failed;
    GameValues values = session_->values(inherit && session_->inheritance());
    const GameValues::Value value = values.valueOf(file, section, key);
    if (!value.present()) {
        complain(QStringLiteral("Параметр не найден: %1 [%2] %3").arg(args[0], args[1], args[2]));
        return NothingFound;
    }
    // What a row shows: the value part, the comment behind it set aside.
    print(cp1251::toUnicode(
        wholeLine ? value.line : ParameterLookup::rowValueFor(false, false, *value.value).text));
    if (value.inherited)
        complain(cp1251::toUnicode(ParameterLookup::originText(value)));
    return Done;
}

int Run::set(const QStringList &args, bool create)
{
    if (args.size() != 4)
        return usage(QStringLiteral("--set ждёт четыре аргумента: ФАЙЛ РАЗДЕЛ КЛЮЧ ЗНАЧЕНИЕ."));
    QByteArray file, section, key, value;
    if (!keyOperands(args, &file, &section, &key) || !encoded(args[3], &value))
        return Failed;
    // A name with a typo must not make a new file, section or key unasked. The key is resolved
    // once, and the write goes where it was found (as a row's apply); the reader is gone before
    // the write: its copy of the file would make the write copy the file's text.
    const GameValues::Value now = session_->values().valueOf(file, section, key);
    if (!create && isInsideGamedata(session_->gamedataFolder(), file)) {
        const QString diskPath =
            resolveDiskPath(ParameterLookup::gameFilePath(session_->gamedataFolder(), file));
        QString missing;
        if (!targetExists(diskPath))
            missing = QStringLiteral("Файла %1 нет").arg(args[0]);
        else if (!now.place.found)
            missing = QStringLiteral("Раздела [%1] нет в %2").arg(args[1], args[0]);
        else if (!now.present())
            missing =
                QStringLiteral("Ключа %1 нет в разделе [%2] (%3)").arg(args[2], args[1], args[0]);
        if (!missing.isEmpty()) {
            complain(missing + QStringLiteral(": ничего не записано. Чтобы создать, добавьте "
                                              "--create."));
            return NothingFound;
        }
    }
    // As a row's apply: one blank, the value, then the comment the line had behind its value.
    const QByteArray comment =
        now.present() ? ParameterLookup::rowValueFor(false, false, *now.value).commentPart
                      : QByteArray();
    QString error;
    const WriteResult result =
        session_->applyValueAt(now.place, key, ' ' + value + comment, {}, &error);
    reportHistory(result.historyProblem);
    if (!result) {
        complain(error);
        return Failed;
    }
    return Done;
}

// The lines of the tweak file at path; false after saying why there are none.
bool Run::readTweak(const QString &path, QList<TweakLine> *lines)
{
    QByteArray bytes;
    QString why;
    if (readRegularFile(QFile::encodeName(path), &bytes, nullptr, &why) != FileRead::Read) {
        complain(QStringLiteral("Файл твика не читается: %1%2")
                     .arg(path, why.isEmpty() ? QString() : QStringLiteral(" (") + why + ')'));
        return false;
    }
    *lines = TweakFile::parse(bytes);
    return true;
}

int Run::applyTweak(const QString &path, bool dryRun, bool create)
{
    QList<TweakLine> lines;
    if (!readTweak(path, &lines))
        return Failed;
    const QList<TweakReviewLine> review = Tweak::review(session_->gamedataFolder(), lines, create);
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
    const TweakApplyReport report =
        Tweak::apply(session_->writer(), &session_->history(), review, Tweak::note(path),
                     TweakFile::identity(lines), create);
    complain(report.message());
    return report.complete ? Done : Failed;
}

int Run::removeTweak(const QString &path)
{
    QList<TweakLine> lines;
    if (!readTweak(path, &lines))
        return Failed;
    // Known by its content, wherever the file lies now.
    const QList<HistoryRecord> group =
        Tweak::appliedGroup(session_->gamedataFolder(), session_->history().read(),
                            TweakFile::identity(lines), Tweak::note(path));
    if (group.isEmpty()) {
        complain(QStringLiteral("Этот твик не применён: %1").arg(path));
        return NothingFound;
    }
    return undo(group, QStringLiteral("Твик удалён: восстановлено строк: %1.").arg(group.size()));
}

int Run::makeTweak(const QString &path, const QStringList &names, bool force)
{
    QByteArrayList files;
    for (const QString &name : names) {
        QByteArray file;
        if (!encoded(name, &file))
            return Failed;
        files.append(file);
    }
    if (!force && QFileInfo::exists(path)) {
        complain(QStringLiteral("Файл %1 уже есть: твик не сохранён. Чтобы заменить его, "
                                "добавьте --force.")
                     .arg(path));
        return Failed;
    }
    const QList<LineChange> list = ChangeList::changes(
        session_->gamedataFolder(),
        files.isEmpty() ? ChangeList::filesWithBackup(session_->gamedataFolder()) : files);
    const TweakFile::Made made = TweakFile::make(list);
    if (!made.leftOut.isEmpty())
        complain(TweakFile::leftOutText(made.leftOut));
    if (made.lines == 0) {
        complain(list.isEmpty() ? QStringLiteral("Изменений нет: твик не сохранён.")
                                : QStringLiteral("Изменений ключей нет: твик не сохранён."));
        return NothingFound;
    }
    QString why;
    if (!saveFile(path, made.bytes, &why)) {
        complain(QStringLiteral("Твик не сохранён в %1: %2.").arg(path, why));
        return Failed;
    }
    complain(QStringLiteral("Твик сохранён: %1 (строк: %2).").arg(path).arg(made.lines));
    return Done;
}

int Run::changes(const QStringList &names)
{
    if (names.size() > 1)
        return usage(QStringLiteral("--changes ждёт не больше одного файла."));
    QByteArrayList files;
    if (names.isEmpty()) {
        files = ChangeList::filesWithBackup(session_->gamedataFolder());
    } else {
        QByteArray file;
        if (!encoded(names[0], &file))
            return Failed;
        files.append(file);
    }
    const QList<LineChange> list = ChangeList::changes(session_->gamedataFolder(), files);
    for (const LineChange &c : list)
        print(changeText(c));
    if (list.isEmpty()) {
        complain(QStringLiteral("Изменений нет."));
        return NothingFound;
    }
    return Done;
}

int Run::history()
{
    // Newest first, as the file is read from its end: a large history starts printing at once.
    bool any = false;
    int damaged = 0;
    session_->history().readNewestFirst(
        [&](const HistoryRecord &record, bool undone) {
            any = true;
            print(HistoryText::record(record, undone));
            return true;
        },
        &damaged);
    if (damaged > 0)
        complain(QStringLiteral("Пропущено повреждённых записей истории: %1.").arg(damaged));
    if (!any) {
        complain(QStringLiteral("История пуста."));
        return NothingFound;
    }
    return Done;
}

int Run::step(const HistoryUndo::Result &result)
{
    complain(result.message);
    switch (result.outcome) {
    case HistoryUndo::Result::Outcome::Done:
        return Done;
    case HistoryUndo::Result::Outcome::Nothing:
        return NothingFound;
    case HistoryUndo::Result::Outcome::Failed:
        break;
    }
    return Failed;
}

int Run::undoLast()
{
    return step(HistoryUndo::undoLast(session_->history(), session_->writer()));
}

int Run::redo()
{
    return step(HistoryUndo::redoLast(session_->history(), session_->writer()));
}

int Run::undo(const QList<HistoryRecord> &group, const QString &done)
{
    QString error;
    if (!HistoryUndo::undo(session_->writer(), group, &error)) {
        complain(error);
        return Failed;
    }
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
