// Writes a generated catalogue for the whole-program measurement (bench/whole_startup.sh):
//   make_catalogue FOLDER ENTRIES
// FOLDER/program/Setting holds the catalogue (pages of 10 sub-tabs x 25 entries; ENTRIES a
// multiple of 250) and a settings file naming FOLDER/gamedata/, which gets 100 game files.

#include <cstdio>
#include <cstdlib>

#include "LargeCatalogue.h"

int main(int argc, char **argv)
{
    const int perPage = SubTabs * Entries;
    const int entries = argc == 3 ? std::atoi(argv[2]) : 0;
    if (entries <= 0 || entries % perPage != 0) {
        std::fprintf(stderr, "usage: make_catalogue FOLDER ENTRIES (a multiple of %d)\n", perPage);
        return 2;
    }
    writeLargeCatalogue(QString::fromLocal8Bit(argv[1]), entries / perPage);
    return 0;
}
