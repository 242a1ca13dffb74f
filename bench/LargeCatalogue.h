#pragma once

// The large catalogue of the benchmarks: 20 pages x 10 sub-tabs x 25 entries = 5,000 entries
// over 100 game files of 2,000 lines each, in a temporary folder made once per run.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include "BenchSupport.h"
#include "textcodec/Cp1251.h"

namespace {

constexpr int Pages = 20, SubTabs = 10, Entries = 25, GameFiles = 100, Sections = 100,
              KeysPerSection = 19;

using bench::writeFile;

// Writes a catalogue of `pages` pages x 10 sub-tabs x 25 entries into root + "/program" (with a
// settings file) over 100 game files in root + "/gamedata/".
inline void writeLargeCatalogue(const QString &root, int pages)
{
    const QString program = root + "/program", gamedata = root + "/gamedata/";
    for (int g = 0; g < GameFiles; ++g) {
        const QByteArray text = bench::generatedGameFile(Sections, KeysPerSection);
        writeFile(gamedata + QString("config/file_%1.ltx").arg(g), text);
    }
    QByteArray index = "[Global Pages]\r\nKol-vo=" + QByteArray::number(pages) + "\r\n";
    int e = 0;
    for (int p = 1; p <= pages; ++p) {
        const QByteArray n = QByteArray::number(p);
        index +=
            n + "=Page " + n + "\r\n" + n + "_file=Page" + n + "\r\n" + n + "_Enabled=true\r\n";
        QByteArray page = "[Pages]\r\nKol-vo=" + QByteArray::number(SubTabs) + "\r\n";
        for (int j = 1; j <= SubTabs; ++j)
            page += QByteArray::number(j) + "=Sub " + QByteArray::number(j) + "\r\n";
        for (int j = 1; j <= SubTabs; ++j) {
            page += "[Sub " + QByteArray::number(j) + "]\r\nKol-vo=" + QByteArray::number(Entries) +
                    "\r\n";
            for (int k = 1; k <= Entries; ++k, ++e) {
                const QByteArray key = QByteArray::number(k);
                page += key + "_Caption=Parameter " + QByteArray::number(e) + "\r\n";
                page +=
                    key + "_File=config\\file_" + QByteArray::number(e % GameFiles) + ".ltx\r\n";
                page += key + "_Section=section_" + QByteArray::number((e / GameFiles) % Sections) +
                        "\r\n";
                page += key + "_Param=key_" + QByteArray::number(e % KeysPerSection) + "\r\n";
                page += key + "_Help=Help text of the parameter\r\n";
            }
        }
        writeFile(program + "/Setting/Page" + n + ".ini", page);
    }
    writeFile(program + "/Setting/Pages.ini", index);
    writeFile(program + "/Setting/Setting.ini",
              cp1251::encode("[Setting]\r\nGamedata_Path=" + gamedata +
                             "\r\nВерсия=0.6\r\nWarning=2\r\n"));
}

struct LargeCatalogue
{
    QTemporaryDir dir;
    QString program() const { return dir.path() + "/program"; }
    QString gamedata() const { return dir.path() + "/gamedata/"; }

    LargeCatalogue() { writeLargeCatalogue(dir.path(), Pages); }
};

inline LargeCatalogue &catalogue()
{
    static LargeCatalogue c;
    return c;
}

} // namespace
