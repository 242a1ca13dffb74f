// A game file of a given size as the game's own large files look: Windows-1251 text with CRLF
// endings, sections with parents, aligned keys with Russian comments behind many values, and
// long Russian comment lines between the sections. The section [item_1] near the start has a
// key "cost" that benchmarks write: every byte after it moves when its length changes.
//   make_game_file PATH SIZE-IN-MB
#include "textcodec/Cp1251.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>

namespace {

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("usage: make_game_file PATH SIZE-IN-MB\n", stderr);
        return 64;
    }
    const qint64 size = QByteArray(argv[2]).toLongLong() << 20;
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 2;
    }
    const QByteArray comments[] = {
        cp("; Предмет снаряжения: параметры веса, цены и износа подобраны так, чтобы торговцы "
           "на разных уровнях давали за него разную цену, а игрок чувствовал его вес в рюкзаке."),
        cp("; Значения после точки с запятой - комментарии, игра их не читает; менять их можно "
           "свободно, но строки ключей трогать осторожно: лишний пробел внутри имени ломает ключ."),
        cp("; Скорости указаны в долях от полного значения в секунду, расстояния - в метрах, "
           "время - в секундах игрового мира, если рядом не сказано иначе."),
    };
    const QByteArray notes[] = {cp(" ; цена у торговца"), cp(" ; кг"), cp(" ; износ за выстрел"),
                                cp(" ; название в инвентаре"), QByteArray()};
    const char *keys[] = {"cost",          "inv_weight",   "condition_shot_dec",
                          "inv_name",      "visual",       "slot",
                          "hit_power",     "hit_impulse",  "fire_distance",
                          "bullet_speed",  "rpm",          "misfire_probability",
                          "ammo_mag_size", "ammo_class",   "grenade_class",
                          "zoom_enabled",  "scope_status", "silencer_status",
                          "description",   "icon_position"};
    QByteArray out;
    out.reserve(1 << 20);
    out += cp("; Оружие и снаряжение. Файл собран для проверки записи в большой файл.\r\n\r\n");
    out += "[item_base]\r\n";
    for (const char *key : keys)
        out += QByteArray(key).leftJustified(24, ' ') + "= 0\r\n";
    for (qint64 n = 1, written = 0; written + out.size() < size; ++n) {
        out += "\r\n" + comments[n % 3] + "\r\n" + comments[(n + 1) % 3] + "\r\n";
        out += "[item_" + QByteArray::number(n) + "]:item_base\r\n";
        for (int k = 0; k < 20; ++k) {
            const QByteArray value = k == 3 ? "item_" + QByteArray::number(n) + "_name"
                                            : QByteArray::number((n * 7 + k * 13) % 5000);
            out += QByteArray(keys[k]).leftJustified(24, ' ') + "= " +
                   value.leftJustified(12, ' ') + notes[k % 5] + "\r\n";
        }
        if (out.size() > (1 << 20)) {
            written += file.write(out);
            out.clear();
        }
    }
    file.write(out);
    return file.error() == QFileDevice::NoError ? 0 : 2;
}
