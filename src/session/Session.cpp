#include "session/Session.h"

#include <QDir>
#include <QFileInfo>

#include "history/ApplyHistory.h"
#include "textcodec/Cp1251.h"

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith('/'))
        folder += '/';
    return folder;
}

} // namespace

// Records every write in the history and tells the session's listeners which files changed.
class Session::Journal : public WriteJournal
{
public:
    explicit Journal(const Session &session) : session_(session) {}

    qint64 begin(const HistoryStamp &stamp, const QList<LineChange> &changes, bool duplicated,
                 bool *ok, QString *error) override
    {
        const qint64 mine = ++lastTicket_;
        if (!changes.isEmpty())
            files_.insert(mine, changes.first().file);
        tickets_.insert(mine, session_.history_->begin(stamp, changes, duplicated, ok, error));
        return mine;
    }
    void done(qint64 ticket, bool written, QString *error) override
    {
        session_.history_->done(tickets_.take(ticket), written, error);
        const QByteArray file = files_.take(ticket);
        if (written && !file.isNull())
            emit session_.filesWritten({file});
    }
    qint64 newGroup() override { return session_.history_->newGroup(); }
    void endGroup(const HistoryStamp &stamp, bool whole, QString *error) override
    {
        session_.history_->endGroup(stamp, whole, error);
    }

private:
    const Session &session_;
    qint64 lastTicket_ = 0;
    QHash<qint64, qint64> tickets_;
    QHash<qint64, QByteArray> files_;
};

Session::Session(Options options, QObject *parent)
    : QObject(parent), options_(std::move(options)), journal_(std::make_unique<Journal>(*this))
{
    const QString folder = withSlash(QDir::cleanPath(options_.programFolder));
    programFolder_ = cp1251::encode(folder);
    settingsFolder_ = folder + QStringLiteral("Setting/");
    history_ = std::make_unique<ApplyHistory>(settingsFolder_ + QStringLiteral("History.log"));
}

Session::~Session() = default;

bool Session::locate(QString *problem)
{
    if (!options_.settingsFolder.isEmpty()) {
        const QString given = QDir(options_.settingsFolder).absolutePath();
        if (!QFileInfo(given).isDir()) {
            if (problem)
                *problem = QStringLiteral("Папка настроек не найдена: ") + given;
            return false;
        }
        settingsFolder_ = withSlash(given);
        // Catalogue paths are the folder above it + "Setting/".
        programFolder_ = cp1251::encode(withSlash(QFileInfo(given).absolutePath()));
    } else {
        const SettingsLocation where =
            locateSettings(options_.programFolder, options_.userFolder, options_.writable);
        if (!where.problem.isEmpty() && problem)
            *problem = QStringLiteral("Папка программы недоступна для записи, а папку настроек "
                                      "не удалось скопировать в ") +
                       options_.userFolder + QStringLiteral(":\n") + where.problem;
        programFolder_ = cp1251::encode(where.folder);
        settingsFolder_ = where.folder + QStringLiteral("Setting/");
        perUser_ = where.perUser;
    }
    history_ = std::make_unique<ApplyHistory>(settingsFolder_ + QStringLiteral("History.log"));
    return true;
}

QByteArray Session::settingsPath() const
{
    return cp1251::encode(settingsFolder_) + "Setting.ini";
}

void Session::openSettings(bool read)
{
    settings_.open(settingsPath());
    if (read)
        settings_.read();
}

QStringList Session::settleHistory()
{
    return history_->settle(gamedataFolder_).problems;
}

WriteTarget Session::target() const
{
    const ProgramSettings &s = settings_.run();
    return WriteTarget{gamedataFolder_, s.duplicationOn(), s.duplicationFolder};
}

ParameterWriter Session::writer(HistoryStamp stamp) const
{
    ParameterWriter writer(target(), journal_.get());
    writer.setHistoryStamp(std::move(stamp));
    return writer;
}

qint64 Session::newGroup() const
{
    return history_->newGroup();
}

bool Session::inheritance() const
{
    return settings_.run().inheritanceOn();
}

GameValues Session::values() const
{
    return values(inheritance());
}

GameValues Session::values(bool inheritance) const
{
    return GameValues(gamedataFolder_, inheritance);
}

WriteResult Session::applyValue(const QByteArray &relativeFile, const QByteArray &section,
                                const QByteArray &key, const QByteArray &valueText,
                                const HistoryStamp &stamp, QString *error) const
{
    // The reader is gone before the write (its own statement: a temporary lives to the end of
    // the statement): a copy of the file it held would have the write copy the file's text
    // instead of editing it where it lies.
    const SectionResolver::Place place = values().valueOf(relativeFile, section, key).place;
    return applyValueAt(place, key, valueText, stamp, error);
}

WriteResult Session::applyValueAt(const SectionResolver::Place &place, const QByteArray &key,
                                  const QByteArray &valueText, const HistoryStamp &stamp,
                                  QString *error) const
{
    return writer(stamp).writeParameter(place.file, place.section, key, valueText, error);
}

WriteResult Session::applyTrade(const QByteArray &relativeFile, const QByteArray &section,
                                const QByteArray &key, bool present, const QByteArray &valueText,
                                QString *error, const QByteArray &caption) const
{
    const SectionResolver::Place place = values().ownValueOf(relativeFile, section, key).place;
    return writer({HistoryOrigin::Trade, 0, caption})
        .writeTrade(place.file, place.section, key, present, valueText, error);
}

QStringList Session::unreported(const QStringList &problems)
{
    QStringList fresh;
    for (const QString &problem : problems) {
        if (!reported_.contains(problem)) {
            reported_.insert(problem);
            fresh.append(problem);
        }
    }
    return fresh;
}
