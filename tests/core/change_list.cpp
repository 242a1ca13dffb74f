// The change list of game files against their backups, restoring from the backups, and the
// parameter search of the find command.

#include <gtest/gtest.h>

#include <QDir>

#include <functional>

#include <map>
#include <optional>
#include <vector>

#include "changes/ChangeList.h"
#include "gamefiles/ParameterSearch.h"
#include "gamefiles/ParameterWriter.h"
#include "profile/IniDocument.h"
#include "profile/ProfileFile.h"
#include "support/TempDir.h"
#include "textcodec/Cp1251.h"

namespace {

const QByteArray Backup = "; weapons\r\n[pm]\r\nhit = 0.5 ; урон\r\nrpm=300\r\nold=1\r\n"
                          "[ak]\r\nhit=0.9\r\n";
// hit changed (its line respelt), rpm the same, old removed, new added, ak untouched.
const QByteArray Current = "; weapons\r\n[pm]\r\nhit= 0.7 ; урон\r\nrpm=300\r\nnew=5\r\n"
                           "[ak]\r\nhit=0.9\r\n";

class ChangeListTest : public ::testing::Test
{
protected:
    TempDir dir;
    WriteTarget target{dir.bytePath("gamedata") + "/", false, {}};

    void SetUp() override
    {
        dir.write("gamedata/config/w.ltx", cp1251::encode(QString::fromUtf8(Current)));
        dir.write("gamedata/config/w.ltx.bak", cp1251::encode(QString::fromUtf8(Backup)));
        dir.write("gamedata/config/plain.ltx", "[a]\r\nx=1\r\n"); // no backup
    }
    QByteArray file(const QString &name) const
    {
        return TempDir::read(dir.path("gamedata/" + name));
    }
    QList<LineChange> list() const
    {
        return ChangeList::changes(target.gamedataFolder,
                                   {"config\\plain.ltx", "config\\w.ltx", "CONFIG/W.LTX"});
    }
    LineChange change(const QByteArray &key) const
    {
        for (const LineChange &c : list())
            if (c.key == key)
                return c;
        return {};
    }
};

} // namespace

TEST_F(ChangeListTest, ListsChangedAddedAndRemovedKeysOfFilesWithABackup)
{
    using K = LineChange::Kind;
    struct Row
    {
        K kind;
        QByteArray section, key, oldValue, newValue;
    };
    const Row expected[] = {
        {K::Changed, "pm", "hit", cp1251::encode("0.5 ; урон"), cp1251::encode("0.7 ; урон")},
        {K::Added, "pm", "new", "", "5"},
        {K::Removed, "pm", "old", "1", ""},
    };
    const QList<LineChange> changes = list();
    ASSERT_EQ(changes.size(), std::size(expected))
        << "no backup: skipped; a file named twice: once";
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(changes[i].kind(), expected[i].kind);
        EXPECT_EQ(changes[i].file, "config\\w.ltx");
        EXPECT_EQ(changes[i].section, expected[i].section);
        EXPECT_EQ(changes[i].key, expected[i].key);
        EXPECT_EQ(ChangeList::oldValue(changes[i]), expected[i].oldValue);
        EXPECT_EQ(ChangeList::newValue(changes[i]), expected[i].newValue);
    }
    bool hasBackup = true;
    EXPECT_TRUE(
        ChangeList::changesOf(target.gamedataFolder, "config/plain.ltx", &hasBackup).isEmpty());
    EXPECT_FALSE(hasBackup);
    EXPECT_TRUE(ChangeList::changesOf(target.gamedataFolder, "../w.ltx").isEmpty());
}

TEST_F(ChangeListTest, RestoringAKeyPutsBackItsBackupLineAndKeepsEveryOtherByte)
{
    const QByteArray backupBytes = file("config/w.ltx.bak");
    struct Case
    {
        QByteArray key, expected;
    };
    const Case cases[] = {
        {"hit", "; weapons\r\n[pm]\r\nhit = 0.5 ; \xF3\xF0\xEE\xED\r\nrpm=300\r\nnew=5\r\n"
                "[ak]\r\nhit=0.9\r\n"},
        {"new",
         "; weapons\r\n[pm]\r\nhit = 0.5 ; \xF3\xF0\xEE\xED\r\nrpm=300\r\n[ak]\r\nhit=0.9\r\n"},
        {"old", backupBytes},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.key.constData());
        QString error;
        ASSERT_TRUE(ChangeList::restoreKey(ParameterWriter(target), change(c.key), &error))
            << error.toStdString();
        EXPECT_EQ(file("config/w.ltx"), c.expected);
    }
    EXPECT_TRUE(list().isEmpty());
    EXPECT_EQ(file("config/w.ltx.bak"), backupBytes) << "the backup stays as it was";
}

TEST_F(ChangeListTest, RestoreIsRefusedWhenTheLineChangedMeanwhileAndAFileComesBackWhole)
{
    const LineChange hit = change("hit");
    ProfileFile(dir.bytePath("gamedata/config/w.ltx")).writeString("pm", "hit", "2");
    const QByteArray before = file("config/w.ltx");
    QString error;
    EXPECT_FALSE(ChangeList::restoreKey(ParameterWriter(target), hit, &error));
    EXPECT_TRUE(error.contains("hit")) << error.toStdString();
    EXPECT_EQ(file("config/w.ltx"), before);

    EXPECT_FALSE(
        ChangeList::restoreFile(ParameterWriter(target), "config/plain.ltx", list(), &error));
    ASSERT_TRUE(ChangeList::restoreFile(ParameterWriter(target), "config/w.ltx", list(), &error))
        << error.toStdString();
    EXPECT_EQ(file("config/w.ltx"), file("config/w.ltx.bak"));
    EXPECT_FALSE(QFile::exists(dir.path("gamedata/config/w.ltx.bak.bak"))) << "no new backup";
}

TEST_F(ChangeListTest, AFileRestoreIsRefusedWhenTheFileChangedSinceTheListWasShown)
{
    struct Case
    {
        const char *what;
        std::function<void(ProfileFile &)> meanwhile;
        bool restored;
    };
    const Case cases[] = {
        {"nothing", [](ProfileFile &) {}, true},
        {"a listed key again", [](ProfileFile &f) { f.writeString("pm", "hit", "2"); }, false},
        {"an unlisted key", [](ProfileFile &f) { f.writeString("ak", "hit", "1"); }, false},
        {"a key added", [](ProfileFile &f) { f.writeString("ak", "rpm", "600"); }, false},
        {"an added key removed", [](ProfileFile &f) { f.deleteKey("pm", "new"); }, false},
        {"a removed key back", [](ProfileFile &f) { f.writeString("pm", "old", "1"); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        const QList<LineChange> shown = list();
        ProfileFile game(dir.bytePath("gamedata/config/w.ltx"));
        c.meanwhile(game);
        const QByteArray before = file("config/w.ltx");
        QString error;
        EXPECT_EQ(ChangeList::restoreFile(ParameterWriter(target), "CONFIG\\w.ltx", shown, &error),
                  c.restored);
        if (c.restored) {
            EXPECT_EQ(file("config/w.ltx"), file("config/w.ltx.bak"));
        } else {
            EXPECT_EQ(file("config/w.ltx"), before);
            EXPECT_TRUE(error.contains(QStringLiteral("обновите список"))) << error.toStdString();
        }
    }
}

TEST_F(ChangeListTest, WithDuplicationTheDuplicateTakesTheRestoredKeys)
{
    target.duplication = true;
    target.duplicationFolder = dir.bytePath("double") + "/";
    dir.write("double/w.ltx", "[pm]\r\nhit= 0.7\r\nnew=5\r\n");
    ASSERT_TRUE(ChangeList::restoreKey(ParameterWriter(target), change("hit")));
    EXPECT_EQ(file("../double/w.ltx"), "[pm]\r\nhit= 0.5 ; \xF3\xF0\xEE\xED\r\nnew=5\r\n");
    ASSERT_TRUE(ChangeList::restoreFile(ParameterWriter(target), "config/w.ltx", list()));
    EXPECT_EQ(file("../double/w.ltx"), "[pm]\r\nhit= 0.5 ; \xF3\xF0\xEE\xED\r\nold=1\r\n")
        << "each changed key, as the ordinary writes spell it";
    EXPECT_EQ(file("../double/!FileTable!.table"), "[table]\r\nw.ltx=config/w.ltx\r\n");
}

namespace {

// A plain line-by-line reading of profile text, the way every read of the program is meant to
// find keys, to hold the change list against.
struct Line
{
    QByteArray text, ending;
};

std::vector<Line> splitLines(const QByteArray &bytes)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        const qsizetype n =
            bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        lines.push_back({bytes.mid(start, i - start), bytes.mid(i, n)});
        i += n - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back({bytes.mid(start), QByteArray()});
    return lines;
}

QByteArray joinLines(const std::vector<Line> &lines)
{
    QByteArray out;
    for (const Line &l : lines)
        out += l.text + l.ending;
    return out;
}

QByteArray trimmedText(const QByteArray &t)
{
    qsizetype b = 0, e = t.size();
    while (b < e && (t[b] == ' ' || t[b] == '\t'))
        ++b;
    while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t'))
        --e;
    return t.mid(b, e - b);
}

// Header: the section's name; key line: the key's name; else nothing.
std::optional<QByteArray> headerName(const QByteArray &text)
{
    const QByteArray t = trimmedText(text);
    const qsizetype close = t.indexOf(']');
    if (t.startsWith('[') && close > 0)
        return trimmedText(t.mid(1, close - 1));
    return std::nullopt;
}

std::optional<QByteArray> keyName(const QByteArray &text)
{
    const QByteArray t = trimmedText(text);
    if (headerName(text) || t.isEmpty() || t.startsWith(';') || !t.contains('='))
        return std::nullopt;
    return trimmedText(t.left(t.indexOf('=')));
}

using Names = std::pair<QByteArray, QByteArray>; // folded section and key

// The line each (section, key) reads from, by its index: the first section of a name (lines
// before the first header make one with the empty name), its first key of a name.
std::map<Names, std::size_t> lineIndexRead(const std::vector<Line> &lines)
{
    std::map<Names, std::size_t> read;
    std::vector<QByteArray> seen;
    QByteArray section;
    bool counts = true;
    if (!lines.empty() && !headerName(lines[0].text))
        seen.push_back(QByteArray());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (const auto name = headerName(lines[i].text)) {
            section = cp1251::foldCase(*name);
            counts = std::find(seen.begin(), seen.end(), section) == seen.end();
            seen.push_back(section);
        } else if (const auto key = keyName(lines[i].text); key && counts) {
            read.try_emplace({section, cp1251::foldCase(*key)}, i);
        }
    }
    return read;
}

std::map<Names, QByteArray> linesRead(const QByteArray &bytes)
{
    const std::vector<Line> lines = splitLines(bytes);
    std::map<Names, QByteArray> read;
    for (const auto &[names, i] : lineIndexRead(lines))
        read[names] = lines[i].text;
    return read;
}

// Each input of the profile fuzz corpus: byte 3 the length of a value that follows the first four
// bytes, then the text.
std::vector<QByteArray> corpusTexts()
{
    std::vector<QByteArray> texts;
    for (const char *folder : {"fuzz-corpus", "fuzz-crashes"}) {
        const QDir dir(QStringLiteral(BRANVIK_TEST_DATA "/") + QLatin1String(folder));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            const QByteArray input = TempDir::read(dir.filePath(name));
            if (name == QLatin1String("README") || input.size() < 4)
                continue;
            texts.push_back(input.mid(4 + static_cast<unsigned char>(input[3])));
        }
    }
    return texts;
}

} // namespace

// Every text of the fuzz corpus is the backup; each edit of one line (a key line respelt, any
// line deleted) makes the game file. The change list must name exactly the keys whose line, as
// the plain reading finds it, differs, and a key restore must bring back that line alone.
TEST(ChangeListReplay, AgreesWithReadsOnEveryCorpusTextWithOneLineEdited)
{
    const std::vector<QByteArray> texts = corpusTexts();
    ASSERT_GE(texts.size(), 8u);
    int cases = 0;
    for (const QByteArray &text : texts) {
        const std::vector<Line> lines = splitLines(text);
        std::vector<QByteArray> edited;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            std::vector<Line> respelt = lines;
            respelt[i].text += "9";
            edited.push_back(joinLines(respelt));
            std::vector<Line> without = lines;
            without.erase(without.begin() + static_cast<std::ptrdiff_t>(i));
            edited.push_back(joinLines(without));
        }
        for (const QByteArray &current : edited) {
            SCOPED_TRACE(
                (text.toPercentEncoding() + " -> " + current.toPercentEncoding()).toStdString());
            ++cases;
            TempDir dir;
            const WriteTarget target{dir.bytePath() + "/", false, {}};
            dir.write("f.ltx.bak", text);
            dir.write("f.ltx", current);
            const std::map<Names, QByteArray> before = linesRead(text);
            const std::map<Names, QByteArray> after = linesRead(current);

            std::map<Names, LineChange> listed;
            for (const LineChange &c : ChangeList::changesOf(target.gamedataFolder, "f.ltx")) {
                if (c.kind() == LineChange::Kind::Line)
                    continue; // lines without a key: tested apart
                EXPECT_TRUE(
                    listed.try_emplace({cp1251::foldCase(c.section), cp1251::foldCase(c.key)}, c)
                        .second)
                    << "listed twice: [" << c.section.toStdString() << "] " << c.key.toStdString();
            }
            std::map<Names, LineChange::Kind> expected;
            for (const auto &[names, line] : after) {
                const auto b = before.find(names);
                if (b == before.end())
                    expected[names] = LineChange::Kind::Added;
                else if (b->second != line)
                    expected[names] = LineChange::Kind::Changed;
            }
            for (const auto &[names, line] : before)
                if (!after.count(names))
                    expected[names] = LineChange::Kind::Removed;
            ASSERT_EQ(listed.size(), expected.size());
            for (const auto &[names, kind] : expected) {
                const auto c = listed.find(names);
                ASSERT_NE(c, listed.end()) << "not listed: [" << names.first.toStdString() << "] "
                                           << names.second.toStdString();
                EXPECT_EQ(c->second.kind(), kind);
                EXPECT_EQ(c->second.before.value_or(QByteArray()),
                          before.count(names) ? before.at(names) : "");
                EXPECT_EQ(c->second.after.value_or(QByteArray()),
                          after.count(names) ? after.at(names) : "");
            }

            // Each restore, on its own, changes the one line of its key: the backup's line takes
            // its place, it goes (a later key of the same name may then be read), or it comes back.
            for (const auto &[names, change] : listed) {
                dir.write("f.ltx", current);
                QString error;
                ASSERT_TRUE(ChangeList::restoreKey(ParameterWriter(target), change, &error))
                    << error.toStdString();
                std::vector<Line> edit = splitLines(current);
                const auto index = lineIndexRead(edit);
                const auto at = index.find(names);
                std::map<Names, QByteArray> restored;
                if (change.kind() == LineChange::Kind::Removed) {
                    restored = after;
                    restored[names] = before.at(names);
                } else if (change.kind() == LineChange::Kind::Changed) {
                    edit[at->second].text = before.at(names);
                    restored = linesRead(joinLines(edit));
                } else {
                    edit.erase(edit.begin() + static_cast<std::ptrdiff_t>(at->second));
                    restored = linesRead(joinLines(edit));
                }
                EXPECT_EQ(linesRead(TempDir::read(dir.path("f.ltx"))), restored)
                    << names.second.toStdString();
            }
        }
    }
    EXPECT_GT(cases, 50);
}

TEST(ChangeListOtherLines, IncludeLinesHeadersAndOtherLinesAreComparedToo)
{
    using K = LineChange::Kind;
    struct Case
    {
        const char *name;
        QByteArray backup, current;
        std::vector<std::pair<QByteArray, QByteArray>> lines; // old and new line, in order
        QByteArray section;                                   // of the first line listed
    };
    const Case cases[] = {
        {"include changed",
         "#include \"a.ltx\"\r\n[s]\r\nk=1\r\n",
         "#include \"b.ltx\"\r\n[s]\r\nk=1\r\n",
         {{"#include \"a.ltx\"", "#include \"b.ltx\""}},
         ""},
        {"parent changed",
         "[base]\nk=1\n[gun]:base\nx=2\n",
         "[base]\nk=1\n[gun]:base2 ; new\nx=2\n",
         {{"[gun]:base", "[gun]:base2 ; new"}},
         "gun"},
        {"comment added between keys",
         "[s]\nk=1\nj=2\n",
         "[s]\nk=1\n; note\nj=2\n",
         {{"", "; note"}},
         "s"},
        {"include removed, key changed",
         "[s]\nk=1\n#include \"x.ltx\"\nodd line\n",
         "[s]\nk=2\nodd line\n",
         {{"#include \"x.ltx\"", ""}},
         "s"},
        {"include added above, a header changed below",
         "[a]\nk = 1\n[b]:a\nm = 2\n",
         "#include \"y.ltx\"\n[a]\nk = 1\n[b]:a,c\nm = 2\n",
         {{"", "#include \"y.ltx\""}, {"[b]:a", "[b]:a,c"}},
         ""},
        {"only keys changed", "[s]\r\nk=1\r\n", "[s]\r\nk=2\r\nj=3\r\n", {}, ""},
        {"line endings alone", "[s]\nk=1\n", "[s]\rk=1\r", {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const WriteTarget target{dir.bytePath() + "/", false, {}};
        dir.write("f.ltx.bak", c.backup);
        dir.write("f.ltx", c.current);
        QList<LineChange> lines;
        for (const LineChange &k : ChangeList::changesOf(target.gamedataFolder, "f.ltx"))
            if (k.kind() == K::Line)
                lines.append(k);
        ASSERT_EQ(std::size_t(lines.size()), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(lines[qsizetype(i)].before.value_or(QByteArray()), c.lines[i].first);
            EXPECT_EQ(lines[qsizetype(i)].after.value_or(QByteArray()), c.lines[i].second);
            EXPECT_TRUE(lines[qsizetype(i)].key.isEmpty());
        }
        if (lines.isEmpty())
            continue;
        EXPECT_EQ(lines[0].section, c.section);
        // Only the whole file comes back.
        QString error;
        EXPECT_FALSE(ChangeList::restoreKey(ParameterWriter(target), lines[0], &error));
        EXPECT_EQ(TempDir::read(dir.path("f.ltx")), c.current);
        ASSERT_TRUE(ChangeList::restoreFile(ParameterWriter(target), "f.ltx",
                                            ChangeList::changesOf(target.gamedataFolder, "f.ltx"),
                                            &error))
            << error.toStdString();
        EXPECT_EQ(TempDir::read(dir.path("f.ltx")), c.backup);
    }
}

TEST(ParameterSearch, MatchesAnyTextWithoutLetterCaseCyrillicIncluded)
{
    ParameterSearch search;
    search.add({cp1251::encode("Урон ПМ"), "hit_power", "wpn_pm", "config\\weapons\\w_pm.ltx",
                cp1251::encode("Сила удара пули"), ""});
    search.add({cp1251::encode("Ёмкость"), "ammo_mag_size", "wpn_ak", "config\\w_ak.ltx", "", ""});
    search.add({"Speed", "run_coef", "actor", "config\\actor.ltx", "", ""});
    search.add({"Rate", "rpm", "wpn_ak74u", "w.ltx", "",
                "0.5, 0.5 " + cp1251::encode("унаследовано из [wpn_base], b.ltx")});
    struct Case
    {
        QString query;
        QList<int> found;
    };
    const Case cases[] = {
        {"урон пм", {0}},
        {"УДАРА", {0}},
        {"ёмк", {1}},
        {"емк", {1}}, // "ё" reads as "е"
        {"ЕМКОСТЬ", {1}},
        {"HIT_P", {0}},
        {"W_AK.LTX", {1}},
        {"wpn_", {0, 1, 3}},
        {"", {0, 1, 2, 3}},
        {"speed", {2}},
        {"zzz", {}},
        {"actor.ltx", {2}},
        // values, inherited ones with their origin
        {"0.5, 0.5", {3}},
        {"унаследовано", {3}},
        {"WPN_BASE", {3}},
        {"ltx\n0.5", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(search.find(cp1251::encode(c.query)), c.found) << c.query.toStdString();
}

TEST(IniDocumentKeyLines, ListEveryKeyLineInFileOrderAndTellWhichOnesReadsFind)
{
    const IniDocument doc =
        IniDocument::parse("a = \"1\" \r\n[]\r\nb=2\r\n; c=0\r\n[s]:base\r\nk=1\r\n"
                           "K =2\r\n[S]\r\nk=3\r\n[t\r\nx=4");
    struct Row
    {
        QByteArray section, key, line, value;
        bool counts;
    };
    const Row expected[] = {
        {"", "a", "a = \"1\" ", "1", true}, {"", "b", "b=2", "2", false},
        {"s", "k", "k=1", "1", true},       {"s", "K", "K =2", "2", false},
        {"S", "k", "k=3", "3", false},      {"S", "x", "x=4", "4", false},
    };
    ASSERT_EQ(doc.keyLineCount(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        const IniDocument::KeyLine k = doc.keyLineAt(i);
        EXPECT_EQ(k.section, expected[i].section);
        EXPECT_EQ(k.key(), expected[i].key);
        EXPECT_EQ(k.line, expected[i].line);
        EXPECT_EQ(k.value(), expected[i].value);
        EXPECT_EQ(k.counts, expected[i].counts);
        EXPECT_EQ(doc.bytes().mid(k.start, k.line.size()), expected[i].line);
    }
    EXPECT_EQ(doc.keyLineOf(" S ", "K"), 2u);
    EXPECT_EQ(doc.keyLineOf("", "B"), std::nullopt) << "[] repeats the section before it";

    IniDocument edited = doc;
    const qsizetype k3 = doc.keyLineAt(2).start;
    EXPECT_FALSE(edited.replaceLine(k3 + 1, "z")) << "no line starts there";
    EXPECT_FALSE(edited.replaceLine(k3 - 1, "z")) << "between CR and LF";
    EXPECT_FALSE(edited.replaceLine(k3, "k=1\nz=2")) << "a line break";
    EXPECT_FALSE(edited.replaceLine(k3, "k=1")) << "unchanged";
    EXPECT_EQ(edited.bytes(), doc.bytes());
    ASSERT_TRUE(edited.replaceLine(k3, "  k = 9"));
    QByteArray expectedBytes = doc.bytes();
    expectedBytes.replace("k=1\r\n", "  k = 9\r\n");
    EXPECT_EQ(edited.bytes(), expectedBytes);
    EXPECT_EQ(edited.value("s", "k"), "9");
}
