// The catalogue walk: reading order, defaults, the checks for old and faulty catalogues, and
// catalogues whose counts are wrong or absurd.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <functional>

#include "catalogue/CatalogueMessages.h"
#include "catalogue/CatalogueReader.h"
#include "catalogue/CatalogueVisitor.h"
#include "support/TempDir.h"
#include "support/TestSystem.h"
#include "textcodec/Cp1251.h"

namespace {

QString u(const QByteArray &cp1251Text)
{
    return cp1251::toUnicode(cp1251Text);
}

// Writes what catalogues made on Windows look like: Windows-1251 with CRLF line ends.
void writeIni(const TempDir &dir, const QString &name, const QString &text)
{
    QString crlf = text;
    crlf.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    dir.write(QStringLiteral("Setting/") + name, cp1251::encode(crlf));
}

// Records the walk as lines of text, so a test states the whole expected walk at once.
class Recorder : public CatalogueVisitor
{
public:
    void oldFormat() override { trace << QStringLiteral("old format"); }
    void notice(MessageKind kind, const QString &text) override
    {
        notices << text;
        kinds << kind;
    }
    bool beginPage(const CataloguePage &page) override
    {
        trace << QStringLiteral("page %1 '%2' %3 %4%5%6")
                     .arg(page.number)
                     .arg(u(page.caption), u(page.fileName))
                     .arg(page.filePath.endsWith("Setting/" + page.fileName + ".ini") ? "path-ok"
                                                                                      : "path-bad")
                     .arg(page.trade ? " trade" : "", page.table ? " table" : "");
        return step();
    }
    bool pageFileError(const CataloguePage &page) override
    {
        trace << QStringLiteral("page file error %1").arg(page.number);
        return step();
    }
    bool beginSubTab(const CatalogueSubTab &subTab) override
    {
        trace << QStringLiteral("sub %1.%2 '%3' image='%4' n=%5")
                     .arg(subTab.page)
                     .arg(subTab.number)
                     .arg(u(subTab.caption), u(subTab.image))
                     .arg(subTab.entryCount);
        return step();
    }
    bool entry(const CatalogueEntry &e) override
    {
        ++entries;
        if (!detailed)
            return step();
        trace << QStringLiteral("entry %1.%2.%3 [%4] %5|%6|%7|%8|%9")
                         .arg(e.page)
                         .arg(e.subTab)
                         .arg(e.number)
                         .arg(u(e.subTabCaption), u(e.caption), u(e.file), u(e.section), u(e.param),
                              u(e.help)) +
                     QStringLiteral(" apply=%1|%2%3%4")
                         .arg(u(e.applySection), u(e.applyParam))
                         .arg(e.hasFull ? " full" : "", e.trade ? " trade" : "");
        return step();
    }
    bool endPage(const CataloguePage &page) override
    {
        trace << QStringLiteral("end %1").arg(page.number);
        return step();
    }

    QStringList trace;
    QStringList notices;
    QList<MessageKind> kinds;
    int entries = 0;
    bool detailed = true;
    int stopAfter = -1; // stop when the visitor has been called this many times

private:
    bool step() { return stopAfter < 0 || ++calls_ < stopAfter; }
    int calls_ = 0;
};

class CatalogueReaderTest : public ::testing::Test
{
protected:
    CatalogueResult walk() { return CatalogueReader(dir.bytePath() + '/').walk(recorder); }

    TempDir dir;
    Recorder recorder;
};

} // namespace

TEST_F(CatalogueReaderTest, MissingIndexOrPageCountIsTheOldFormat)
{
    EXPECT_EQ(walk().status, CatalogueResult::OldFormat);
    EXPECT_EQ(recorder.trace, QStringList{"old format"});

    // An index of the old format: pages listed, but no count.
    writeIni(dir, "Pages.ini", "[Global Pages]\n1=Актёр\n1_file=Actor\n1_Enabled=true\n");
    recorder.trace.clear();
    EXPECT_EQ(walk().status, CatalogueResult::OldFormat);
    EXPECT_EQ(recorder.trace, QStringList{"old format"});

    // A count that is no number reads as missing, so this is the old format too.
    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=abc\n1_Enabled=true\n");
    recorder.trace.clear();
    EXPECT_EQ(walk().status, CatalogueResult::OldFormat);
    EXPECT_EQ(recorder.trace, QStringList{"old format"});
}

TEST_F(CatalogueReaderTest, CountOfZeroOrLessBuildsNothing)
{
    for (const char *count : {"0", "-1", "-2147483648"}) {
        writeIni(dir, "Pages.ini",
                 QStringLiteral("[Global Pages]\nKol-vo=%1\n1=A\n1_Enabled=true\n")
                     .arg(QLatin1String(count)));
        recorder.trace.clear();
        EXPECT_EQ(walk().status, CatalogueResult::Completed) << count;
        EXPECT_TRUE(recorder.trace.isEmpty()) << count;
    }
}

TEST_F(CatalogueReaderTest, WalksPagesSubTabsAndEntriesInOrderWithDefaults)
{
    writeIni(dir, "Pages.ini",
             "; index\n"
             "[Global Pages]\n"
             "Kol-vo=4\n"
             "1=Актёр\n1_file=Actor\n1_Enabled=true\n1_Tabl=\n"
             "2=Скрытая\n2_file=Actor\n2_Enabled=True\n"
             "3=Торговля\n3_Enabled=true\n3_Trade=true\n"
             "4_file=Actor\n4_Enabled=true\n4_Trade=TRUE\n");
    writeIni(dir, "Actor.ini",
             "[Pages]\nKol-vo=2\n1=Основное\n2=Пустая\n"
             "\n"
             "[Основное]\n"
             "Kol-vo=3\n"
             "Image=hero.jpg\n"
             "1_Caption=Высота камеры\n1_File=config\\creatures\\actor.ltx\n1_Section=actor\n"
             "1_Param=camera_height_factor\n1_Help=Рост\n"
             "2_Caption=Модель\n2_File=config\\creatures\\actor.ltx\n2_Section=actor\n"
             "2_Param=visual\n2_Help=Путь\n2_FULL=\n"
             "3_Caption=Без раздела\n3_Section=123456\n"
             "\n"
             "[Пустая]\nImage=\n");
    // The trade page has no <p>_file: its page file is Misc.ini.
    writeIni(
        dir, "Misc.ini",
        "[Pages]\nKol-vo=1\n1=Продаёт\n"
        "[Продаёт]\nKol-vo=1\n"
        "1_Caption=ПМ\n1_File=trade.ltx\n1_Section=sell\n1_Param=wpn_pm\n1_Help=П\n1_FULL=1\n");

    const CatalogueResult result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Completed);
    const QStringList expected = {
        "page 1 'Актёр' Actor path-ok table",
        "sub 1.1 'Основное' image='hero.jpg' n=3",
        "entry 1.1.1 [Основное] Высота камеры|config\\creatures\\actor.ltx|actor|"
        "camera_height_factor|Рост apply=actor|camera_height_factor",
        "entry 1.1.2 [Основное] Модель|config\\creatures\\actor.ltx|actor|visual|Путь "
        "apply=actor|visual full",
        // Missing keys read as "123456"; the apply button keeps "1" for a missing key but a
        // stored "123456" as it is.
        "entry 1.1.3 [Основное] Без раздела|123456|123456|123456|123456 apply=123456|1",
        "sub 1.2 'Пустая' image='' n=0",
        "end 1",
        // Page 2 is off ("True" is not "true") and page 3 keeps its number.
        "page 3 'Торговля' Misc path-ok trade",
        "sub 3.1 'Продаёт' image='' n=1",
        // <k>_FULL is not read for trade rows.
        "entry 3.1.1 [Продаёт] ПМ|trade.ltx|sell|wpn_pm|П apply=sell|wpn_pm trade",
        "end 3",
        // No caption: empty; "TRUE" is no trade page.
        "page 4 '' Actor path-ok",
        "sub 4.1 'Основное' image='hero.jpg' n=3",
    };
    ASSERT_GE(recorder.trace.size(), expected.size());
    EXPECT_EQ(recorder.trace.mid(0, expected.size()), expected);
    EXPECT_EQ(recorder.trace.size(), expected.size() + 5);
    EXPECT_EQ(recorder.trace.last(), "end 4");
}

TEST_F(CatalogueReaderTest, PageFileWithoutSubTabCountKeepsItsPageAndTheWalkGoesOn)
{
    writeIni(dir, "Pages.ini",
             "[Global Pages]\nKol-vo=4\n"
             "1=Нет файла\n1_file=Missing\n1_Enabled=true\n"
             "2=Без счёта\n2_file=NoCount\n2_Enabled=true\n"
             "3=Мусор\n3_file=Garbage\n3_Enabled=true\n"
             "4=Хорошая\n4_file=Good\n4_Enabled=true\n");
    writeIni(dir, "NoCount.ini", "[Pages]\n1=Вкладка\n[Вкладка]\nKol-vo=1\n");
    writeIni(dir, "Garbage.ini", "[Pages]\nKol-vo=три\n1=Вкладка\n");
    writeIni(dir, "Good.ini", "[Pages]\nKol-vo=1\n1=Вкладка\n");

    EXPECT_EQ(walk().status, CatalogueResult::Completed);
    const QStringList expected = {
        "page 1 'Нет файла' Missing path-ok",
        "page file error 1",
        "end 1",
        "page 2 'Без счёта' NoCount path-ok",
        "page file error 2",
        "end 2",
        "page 3 'Мусор' Garbage path-ok",
        "page file error 3",
        "end 3",
        "page 4 'Хорошая' Good path-ok",
        "sub 4.1 'Вкладка' image='' n=0",
        "end 4",
    };
    EXPECT_EQ(recorder.trace, expected);
}

TEST_F(CatalogueReaderTest, OddSubTabsAndSharedPageFiles)
{
    writeIni(dir, "Pages.ini",
             "[Global Pages]\nKol-vo=2\n"
             "1=Первая\n1_file=Shared\n1_Enabled=true\n"
             "2=Вторая\n2_file=Shared\n2_Enabled=true\n");
    // Two sub-tabs named alike read one section; a caption naming no section gives an empty
    // sub-tab; bad or negative counts read as nothing.
    writeIni(dir, "Shared.ini",
             "[Pages]\nKol-vo=6\n1=Дубль\n2=Дубль\n3=Нет такого раздела\n4=Мусор\n5=Минус\n"
             "[Дубль]\nKol-vo=1\n1_Caption=Один\n1_File=a.ltx\n1_Section=s\n1_Param=k\n"
             "1_Help=h\n"
             "[Мусор]\nKol-vo=x1\nImage=pic.bmp\n"
             "[Минус]\nKol-vo=-5\n");

    EXPECT_EQ(walk().status, CatalogueResult::Completed);
    const QString entry = "entry %1.%2.1 [Дубль] Один|a.ltx|s|k|h apply=s|k";
    const QStringList expected = {
        "page 1 'Первая' Shared path-ok",
        "sub 1.1 'Дубль' image='' n=1",
        entry.arg(1).arg(1),
        "sub 1.2 'Дубль' image='' n=1",
        entry.arg(1).arg(2),
        "sub 1.3 'Нет такого раздела' image='' n=0",
        "sub 1.4 'Мусор' image='pic.bmp' n=0",
        "sub 1.5 'Минус' image='' n=0",
        // Sub-tab 6 is not listed: no caption, no entries.
        "sub 1.6 '' image='' n=0",
        "end 1",
    };
    ASSERT_GE(recorder.trace.size(), expected.size());
    EXPECT_EQ(recorder.trace.mid(0, expected.size()), expected);
    // The second page shares the page file and shows the same sub-tabs.
    EXPECT_EQ(recorder.trace.size(), 2 * expected.size());
    EXPECT_EQ(recorder.trace.at(expected.size()), "page 2 'Вторая' Shared path-ok");
    EXPECT_EQ(recorder.trace.at(expected.size() + 2), entry.arg(2).arg(1));
}

TEST_F(CatalogueReaderTest, AbsurdCountsFailAtOnce)
{
    QElapsedTimer timer;
    timer.start();

    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=1000000\n1=A\n1_Enabled=true\n");
    CatalogueResult result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    EXPECT_TRUE(result.reason.contains("1000000")) << result.reason.toStdString();
    EXPECT_TRUE(recorder.trace.isEmpty());

    writeIni(dir, "Pages.ini",
             "[Global Pages]\nKol-vo=2\n1=A\n1_file=Big\n1_Enabled=true\n"
             "2=B\n2_file=Small\n2_Enabled=true\n");
    writeIni(dir, "Big.ini", "[Pages]\nKol-vo=2147483647\n");
    writeIni(dir, "Small.ini", "[Pages]\nKol-vo=1\n1=S\n");
    recorder.trace.clear();
    result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    // What was reported before the failure stays; nothing after it is read.
    EXPECT_EQ(recorder.trace, QStringList{"page 1 'A' Big path-ok"});

    writeIni(dir, "Big.ini", "[Pages]\nKol-vo=2\n1=S\n2=T\n[S]\nKol-vo=1\n[T]\nKol-vo=1000000\n");
    recorder.trace.clear();
    result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    EXPECT_EQ(recorder.trace.size(), 3);
    EXPECT_EQ(recorder.trace.last(),
              "entry 1.1.1 [S] 123456|123456|123456|123456|123456 apply=1|1");

    EXPECT_LT(timer.elapsed(), 5000);
}

TEST_F(CatalogueReaderTest, CountsThatAddUpBeyondTheLimitsFail)
{
    // Each count is allowed on its own, together they are too many entries.
    const int perSubTab = CatalogueReader::MaxCount;
    const int full = CatalogueReader::MaxTotalEntries / perSubTab;
    ASSERT_LE(full + 1, CatalogueReader::MaxSubTabsPerPage);
    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=1\n1=A\n1_file=P\n1_Enabled=true\n");
    QString pageFile = QStringLiteral("[Pages]\nKol-vo=%1\n").arg(full + 1);
    for (int j = 1; j <= full + 1; ++j)
        pageFile += QStringLiteral("%1=S%1\n").arg(j);
    for (int j = 1; j <= full + 1; ++j)
        pageFile += QStringLiteral("[S%1]\nKol-vo=%2\n").arg(j).arg(j > full ? 1 : perSubTab);
    writeIni(dir, "P.ini", pageFile);
    recorder.detailed = false;
    CatalogueResult result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    EXPECT_EQ(recorder.entries, full * perSubTab);
    EXPECT_EQ(recorder.trace.last(),
              QStringLiteral("sub 1.%1 'S%1' image='' n=%2").arg(full).arg(perSubTab));
    EXPECT_TRUE(result.reason.contains(QString::number(CatalogueReader::MaxTotalEntries)))
        << "the message names the limit: " << result.reason.toStdString();

    // Many pages sharing one page file with many sub-tabs: too many sub-tabs.
    const int perPage = CatalogueReader::MaxSubTabsPerPage;
    const int pages = CatalogueReader::MaxTotalSubTabs / perPage + 1;
    QString index = QStringLiteral("[Global Pages]\nKol-vo=%1\n").arg(pages);
    for (int p = 1; p <= pages; ++p)
        index += QStringLiteral("%1_file=P\n%1_Enabled=true\n").arg(p);
    writeIni(dir, "Pages.ini", index);
    writeIni(dir, "P.ini", QStringLiteral("[Pages]\nKol-vo=%1\n").arg(perPage));
    recorder.trace.clear();
    result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    EXPECT_EQ(recorder.trace.last(), QStringLiteral("page %1 '' P path-ok").arg(pages));
    EXPECT_EQ(recorder.trace.size(), (pages - 1) * (perPage + 2) + 1);
}

TEST_F(CatalogueReaderTest, SubTabsBeyondThePageLimitAreSkippedWithOneMessage)
{
    const int limit = CatalogueReader::MaxSubTabsPerPage;
    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=1\n1=A\n1_file=P\n1_Enabled=true\n");
    for (const int count : {limit + 5, limit}) {
        writeIni(dir, "P.ini", QStringLiteral("[Pages]\nKol-vo=%1\n").arg(count));
        recorder = Recorder();
        recorder.detailed = false;
        EXPECT_EQ(walk().status, CatalogueResult::Completed);
        EXPECT_EQ(recorder.trace.filter(QRegularExpression("^sub ")).size(), limit);
        EXPECT_EQ(recorder.notices.size(), count > limit ? 1 : 0);
        if (count > limit) {
            EXPECT_TRUE(recorder.notices[0].contains(QString::number(count)) &&
                        recorder.notices[0].contains(QString::number(limit)))
                << recorder.notices[0].toStdString();
        }
    }
}

TEST_F(CatalogueReaderTest, VisitorCanStopTheWalk)
{
    writeIni(dir, "Pages.ini",
             "[Global Pages]\nKol-vo=2\n1=A\n1_file=P\n1_Enabled=true\n2=B\n2_file=P\n"
             "2_Enabled=true\n");
    writeIni(dir, "P.ini", "[Pages]\nKol-vo=1\n1=S\n[S]\nKol-vo=3\n");
    recorder.detailed = false;
    recorder.stopAfter = 3; // page, sub-tab, the first entry refuses
    const CatalogueResult result = walk();
    EXPECT_EQ(result.status, CatalogueResult::Failed);
    EXPECT_EQ(recorder.entries, 1);
    EXPECT_EQ(recorder.trace, (QStringList{"page 1 'A' P path-ok", "sub 1.1 'S' image='' n=3"}));
}

TEST_F(CatalogueReaderTest, EntriesWithoutFileSectionOrKeyAreNotWritable)
{
    class Entries : public CatalogueVisitor
    {
    public:
        bool beginPage(const CataloguePage &) override { return true; }
        bool beginSubTab(const CatalogueSubTab &) override { return true; }
        bool entry(const CatalogueEntry &e) override
        {
            list << e;
            return true;
        }
        QList<CatalogueEntry> list;
    } entries;

    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=1\n1=A\n1_file=P\n1_Enabled=true\n");
    // Kol-vo counts more entries than the sub-tab lists; only caption and help are optional.
    writeIni(dir, "P.ini",
             "[Pages]\nKol-vo=1\n1=S\n"
             "[S]\nKol-vo=7\n"
             "1_File=a.ltx\n1_Section=s\n1_Param=k\n"
             "2_Caption=Без файла\n2_Section=s\n2_Param=k\n"
             "3_File=a.ltx\n3_Param=k\n"
             "4_File=a.ltx\n4_Section=s\n"
             // A stored "123456" is a value like any other.
             "5_File=123456\n5_Section=123456\n5_Param=123456\n"
             // Present but empty: the writer refuses those itself.
             "6_File=\n6_Section=\n6_Param=\n");
    ASSERT_EQ(CatalogueReader(dir.bytePath() + '/').walk(entries).status,
              CatalogueResult::Completed);

    const QList<QByteArrayList> missing = {
        {}, {"2_File"}, {"3_Section"}, {"4_Param"}, {}, {}, {"7_File", "7_Section", "7_Param"},
    };
    ASSERT_EQ(entries.list.size(), missing.size());
    for (qsizetype i = 0; i < missing.size(); ++i) {
        const CatalogueEntry &e = entries.list.at(i);
        EXPECT_EQ(e.missingKeys, missing.at(i)) << e.number;
        EXPECT_EQ(e.writable(), missing.at(i).isEmpty()) << e.number;
    }
    // The defaults stand in for what is missing, as before.
    EXPECT_EQ(entries.list.at(6).file, "123456");
    EXPECT_EQ(entries.list.at(6).applySection, "1");
    EXPECT_EQ(entries.list.at(4).applySection, "123456");
}

TEST_F(CatalogueReaderTest, AnIndexWithoutAUsablePageCountSaysWhy)
{
    struct Case
    {
        const char *name;
        std::function<void(const TempDir &)> make; // the index
        CatalogueResult::Status status;
        QString firstLine;
        QString reason;
    };
    const auto text = [](const QByteArray &bytes) {
        return [bytes](const TempDir &d) {
            d.write("Setting/Pages.ini", "[Global Pages]\r\n" + bytes);
        };
    };
    const QString oldFormat = CatalogueMessages::OldFormat;
    const Case cases[] = {
        {"no index", [](const TempDir &) {}, CatalogueResult::OldFormat, oldFormat,
         "Kol-vo - нет файла."},
        {"a folder", [](const TempDir &d) { QDir().mkpath(d.path("Setting/Pages.ini")); },
         CatalogueResult::OldFormat, oldFormat, "Kol-vo - не файл"},
        {"a FIFO",
         [](const TempDir &d) {
             QDir().mkpath(d.path("Setting"));
             testsys::makeFifo(d.path("Setting/Pages.ini"));
         },
         CatalogueResult::OldFormat, oldFormat, "Kol-vo - не файл"},
        {"no count", text("1=A\r\n"), CatalogueResult::OldFormat, oldFormat, "Kol-vo - нет ключа."},
        {"letters", text("Kol-vo=abc\r\n"), CatalogueResult::OldFormat, oldFormat,
         "Kol-vo=abc - не число."},
        {"too many digits", text("Kol-vo=99999999999\r\n"), CatalogueResult::OldFormat, oldFormat,
         "Kol-vo=99999999999 - слишком большое число."},
        {"a NUL", text(QByteArray("Kol-vo=1\0\r\n", 11)), CatalogueResult::OldFormat, oldFormat,
         "Kol-vo=1? - не число."},
        {"negative", text("Kol-vo=-5\r\n1_Enabled=true\r\n"), CatalogueResult::Completed,
         CatalogueMessages::NoPages, "Kol-vo=-5 - отрицательное число."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir d;
        Recorder recorder;
        c.make(d);
        if (QByteArrayView(c.name) == "a FIFO" && !testsys::isFifo(d.path("Setting/Pages.ini")))
            continue; // a system without FIFOs
        EXPECT_EQ(CatalogueReader(d.bytePath() + '/').walk(recorder).status, c.status);
        ASSERT_EQ(recorder.notices.size(), 1);
        const QStringList lines = recorder.notices[0].split('\n');
        ASSERT_EQ(lines.size(), 2) << recorder.notices[0].toStdString();
        EXPECT_EQ(lines[0], c.firstLine);
        EXPECT_TRUE(lines[1].contains("Pages.ini: [Global Pages] ")) << lines[1].toStdString();
        EXPECT_TRUE(lines[1].endsWith(c.reason) || lines[1].contains(c.reason))
            << lines[1].toStdString();
        EXPECT_EQ(recorder.kinds[0], MessageKind::Always);
        EXPECT_EQ(recorder.trace.contains("old format"), c.status == CatalogueResult::OldFormat);
    }
}

TEST_F(CatalogueReaderTest, FaultyCountsAndPageFileNamesOfPagesSayWhy)
{
    writeIni(dir, "Pages.ini",
             "[Global Pages]\nKol-vo=4\n"
             "1=Счёт\n1_file=Counts\n1_Enabled=true\n"
             "2=Наружу\n2_file=../../outside\n2_Enabled=true\n"
             "3=Минус\n3_file=Minus\n3_Enabled=true\n"
             "4=Выключена\n4_file=../off\n4_Enabled=false\n");
    writeIni(dir, "Counts.ini",
             "[Pages]\nKol-vo=3\n1=Минус\n2=Буквы\n3=Нуль\n[Минус]\nKol-vo=-7\n1_Caption=A\n"
             "[Буквы]\nKol-vo=x7\n[Нуль]\nKol-vo=0\n");
    writeIni(dir, "Minus.ini", "[Pages]\nKol-vo=-3\n");

    EXPECT_EQ(walk().status, CatalogueResult::Completed);
    const QStringList expected = {
        "page 1 'Счёт' Counts path-ok",
        "sub 1.1 'Минус' image='' n=0",
        "sub 1.2 'Буквы' image='' n=0",
        "sub 1.3 'Нуль' image='' n=0",
        "end 1",
        // The page file outside the catalogue folder is not read.
        "page 2 'Наружу' ../../outside path-bad",
        "page file error 2",
        "end 2",
        "page 3 'Минус' Minus path-ok",
        "end 3",
    };
    EXPECT_EQ(recorder.trace, expected);
    ASSERT_EQ(recorder.notices.size(), 4) << recorder.notices.join("|").toStdString();
    EXPECT_TRUE(recorder.notices[0].endsWith("Counts.ini: [Минус] Kol-vo=-7 - отрицательное "
                                             "число: параметров нет."))
        << recorder.notices[0].toStdString();
    EXPECT_TRUE(recorder.notices[1].endsWith("[Буквы] Kol-vo=x7 - не число: параметров нет."));
    EXPECT_TRUE(recorder.notices[2].startsWith(CatalogueMessages::PageFileError + "\n"));
    EXPECT_TRUE(recorder.notices[2].contains("2_file=../../outside"))
        << recorder.notices[2].toStdString();
    // The fourth fault is past the ones shown: the closing message counts and names it.
    EXPECT_TRUE(recorder.notices[3].startsWith("Ещё ошибок в файлах настроек: 1."));
    EXPECT_TRUE(recorder.notices[3].endsWith("\n3 \"Минус\" (Minus.ini)"))
        << recorder.notices[3].toStdString();
    for (const MessageKind kind : recorder.kinds)
        EXPECT_EQ(kind, MessageKind::Error);

    writeIni(dir, "Pages.ini", "[Global Pages]\nKol-vo=1\n1=Минус\n1_file=Minus\n1_Enabled=true\n");
    recorder = Recorder();
    walk();
    ASSERT_EQ(recorder.notices.size(), 1);
    EXPECT_TRUE(recorder.notices[0].endsWith(
        "Minus.ini: [Pages] Kol-vo=-3 - отрицательное число: вкладок нет."))
        << recorder.notices[0].toStdString();
}

TEST_F(CatalogueReaderTest, ManyFaultyPagesGiveAFewMessagesAndOneThatListsTheRest)
{
    const int pages = CatalogueReader::MaxEnabledPages;
    QString index = QStringLiteral("[Global Pages]\nKol-vo=%1\n").arg(pages);
    for (int p = 1; p <= pages; ++p)
        index += QStringLiteral("%1=Стр%1\n%1_file=Missing%1\n%1_Enabled=true\n").arg(p);
    writeIni(dir, "Pages.ini", index);
    recorder.detailed = false;
    EXPECT_EQ(walk().status, CatalogueResult::Completed);
    const int shown = CatalogueReader::ShownFaults;
    ASSERT_EQ(recorder.notices.size(), shown + 1);
    for (int i = 0; i < shown; ++i)
        EXPECT_TRUE(recorder.notices[i].contains(QStringLiteral("Missing%1.ini").arg(i + 1)));
    const QString last = recorder.notices.last();
    EXPECT_TRUE(
        last.startsWith(QStringLiteral("Ещё ошибок в файлах настроек: %1.").arg(pages - shown)))
        << last.toStdString();
    const int named = CatalogueReader::NamedFaults;
    EXPECT_TRUE(last.contains(QStringLiteral("Missing%1.ini").arg(shown + 1)));
    EXPECT_TRUE(last.contains(QStringLiteral("Missing%1.ini").arg(shown + named)));
    EXPECT_FALSE(last.contains(QStringLiteral("Missing%1.ini").arg(shown + named + 1)));
    EXPECT_EQ(recorder.trace.filter("page file error").size(), pages);
}

TEST_F(CatalogueReaderTest, PagesSwitchedOnBeyondTheLimitAreSkippedWithOneMessage)
{
    // Every third page is off; the pages on beyond the limit are counted in the message, and
    // the walk goes on to its end.
    const int limit = CatalogueReader::MaxEnabledPages;
    const int pages = limit * 3 / 2 + 3;
    QString index = QStringLiteral("[Global Pages]\nKol-vo=%1\n").arg(pages);
    int on = 0, lastBuilt = 0;
    for (int p = 1; p <= pages; ++p) {
        const bool enabled = p % 3 != 0;
        index += QStringLiteral("%1=Стр%1\n%1_Enabled=%2\n").arg(p).arg(enabled ? "true" : "false");
        if (enabled && ++on <= limit)
            lastBuilt = p;
    }
    writeIni(dir, "Pages.ini", index);
    writeIni(dir, "Misc.ini", "[Pages]\nKol-vo=0\n");
    recorder.detailed = false;
    EXPECT_EQ(walk().status, CatalogueResult::Completed);
    const QStringList built = recorder.trace.filter(QRegularExpression("^page \\d+ "));
    ASSERT_EQ(built.size(), limit);
    EXPECT_TRUE(built.last().startsWith(QStringLiteral("page %1 ").arg(lastBuilt)));
    const QString message = CatalogueMessages::tooManyPages(limit, on);
    EXPECT_EQ(recorder.notices.filter(message).size(), 1)
        << recorder.notices.join('\n').toStdString();
    EXPECT_TRUE(message.contains(QString::number(limit)) && message.contains(QString::number(on)));

    // At the limit exactly: every page is built, no message.
    index = QStringLiteral("[Global Pages]\nKol-vo=%1\n").arg(limit);
    for (int p = 1; p <= limit; ++p)
        index += QStringLiteral("%1_Enabled=true\n").arg(p);
    writeIni(dir, "Pages.ini", index);
    recorder = Recorder();
    recorder.detailed = false;
    walk();
    EXPECT_EQ(recorder.trace.filter(QRegularExpression("^page \\d+ ")).size(), limit);
    EXPECT_TRUE(recorder.notices.filter(QStringLiteral("Включено страниц")).isEmpty());
}
