#pragma once

#include <QDir>
#include <QString>
#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "table/TablePage.h"
#include "textcodec/Cp1251.h"

// A program folder with a catalogue of table pages and a game folder, for the table view's
// core tests. Page 1 (Table.ini) has three sub-tabs: the first with three entries over
// config/a.ltx (a list, a number with an exponent shown whole, a text value), the second with
// two over config/b.ltx, the third with a missing key, an entry without its keys and a missing
// game file. Page 2 (Empty.ini) has no page file; pages 3 and 4 are no tables.
class TableCatalogue : public ::testing::Test
{
protected:
    TempDir dir;

    static QByteArray ini(const QString &text)
    {
        QString crlf = text;
        crlf.replace("\n", "\r\n");
        return cp1251::encode(crlf);
    }
    void writeSetting(const QString &name, const QString &text) const
    {
        dir.write("program/Setting/" + name, ini(text));
    }
    void writeGameFile(const QString &name, const QString &text) const
    {
        dir.write("gamedata/" + name, ini(text));
    }
    QByteArray gameFile(const QString &name) const
    {
        return TempDir::read(dir.path("gamedata/" + name));
    }
    QByteArray programFolder() const { return dir.bytePath("program") + '/'; }
    QByteArray gamedataFolder() const { return dir.bytePath("gamedata") + '/'; }
    QByteArray pageFile() const { return dir.bytePath("program/Setting/Table.ini"); }
    TablePage page() const { return TablePage(programFolder(), gamedataFolder()); }

    static inline const QString A =
        "[a]\nnum = 0.5, 0.6\nexp = -1.5e3 ; big\nname = fast ; speed\n";
    static inline const QString B = "[b]\nnum = 100 ; hundred\nfull = 7 ; seven\n";

    void SetUp() override
    {
        writeSetting("Pages.ini", "[Global Pages]\nKol-vo=4\n1=Таблица\n1_file=Table\n"
                                  "1_Enabled=true\n1_Tabl=\n2=Пусто\n2_file=Empty\n2_Tabl=1\n"
                                  "3=Обычная\n3_file=Table\n4=Нет\n4_file=Table\n4_Tabl=123\n");
        writeSetting("Table.ini",
                     "[Pages]\nKol-vo=3\n1=Первый\n2=Второй\n3=Третий\n"
                     "[Первый]\nKol-vo=3\n"
                     "1_Caption=Число\n1_File=config\\a.ltx\n1_Section=a\n1_Param=num\n"
                     "2_Caption=Экспонента\n2_File=config\\a.ltx\n2_Section=a\n2_Param=exp\n"
                     "2_FULL=1\n"
                     "3_Caption=Имя\n3_File=config\\a.ltx\n3_Section=a\n3_Param=name\n"
                     "[Второй]\nKol-vo=2\n"
                     "1_Caption=Число2\n1_File=config\\b.ltx\n1_Section=b\n1_Param=num\n"
                     "2_Caption=Полное\n2_File=config\\b.ltx\n2_Section=b\n2_Param=full\n"
                     "2_FULL=1\n"
                     "[Третий]\nKol-vo=3\n"
                     "1_Caption=Число3\n1_File=config\\b.ltx\n1_Section=b\n1_Param=absent\n"
                     "3_Caption=Имя3\n3_File=config\\c.ltx\n3_Section=c\n3_Param=x\n");
        writeGameFile("config/a.ltx", A);
        writeGameFile("config/b.ltx", B);
    }
};
