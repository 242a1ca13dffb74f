// Runs profile-file operations read from standard input, one per line, and prints one line per
// operation. Fields are separated by one TAB; in fields and results TAB, LF, CR, backslash and
// every byte outside 0x20-0x7E are written \t, \n, \r, \\ and \xhh.
//
//   read     FILE SECTION KEY DEFAULT  -> the text read
//   readint  FILE SECTION KEY DEFAULT  -> the integer, in decimal
//   write    FILE SECTION KEY VALUE    -> ok | fail
//   delete   FILE SECTION KEY          -> ok | fail
//   hold     FILE                      -> held | busy | unavailable | unsupported
//   release                            -> ok
//
// hold takes the lock that every write of FILE takes and keeps it until release or the end of
// the input, so tests can play another copy of the program in the middle of a write.
//
// A malformed line prints "error: ..." and the driver carries on.

#include "base/Bytes.h"
#include "profile/DiskPath.h"
#include "profile/FileSystem.h"
#include "profile/ProfileFile.h"
#include "textcodec/Cp1251.h"

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using base::hexDigit;

std::optional<QByteArray> unescape(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            out.append(c);
            continue;
        }
        if (++i >= field.size())
            return std::nullopt;
        switch (field[i]) {
        case 't':
            out.append('\t');
            break;
        case 'n':
            out.append('\n');
            break;
        case 'r':
            out.append('\r');
            break;
        case '\\':
            out.append('\\');
            break;
        case 'x': {
            if (i + 2 >= field.size())
                return std::nullopt;
            const int high = hexDigit(field[i + 1]);
            const int low = hexDigit(field[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out.append(static_cast<char>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

QByteArray escape(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '\t':
            out.append("\\t");
            continue;
        case '\n':
            out.append("\\n");
            continue;
        case '\r':
            out.append("\\r");
            continue;
        case '\\':
            out.append("\\\\");
            continue;
        default:
            break;
        }
        if (b < 0x20 || b > 0x7E) {
            out.append("\\x");
            base::appendHex(out, b);
        } else {
            out.append(c);
        }
    }
    return out;
}

std::vector<fsys::FileLock> locks;

QByteArray run(const QByteArray &line)
{
    const QList<QByteArray> raw = line.split('\t');
    const QByteArray &op = raw.first();
    if (op == "release") {
        locks.clear();
        return "ok";
    }
    const qsizetype expected = op == "hold" ? 2 : op == "delete" ? 4 : 5;
    if (op != "read" && op != "readint" && op != "write" && op != "delete" && op != "hold")
        return "error: unknown operation " + escape(op);
    if (raw.size() != expected)
        return "error: " + op + " takes " + QByteArray::number(expected - 1) + " fields, got " +
               QByteArray::number(raw.size() - 1);
    QList<QByteArray> f;
    for (const QByteArray &field : raw) {
        const std::optional<QByteArray> value = unescape(field);
        if (!value)
            return "error: bad escape in " + escape(field);
        f.append(*value);
    }
    if (fsys::rootLength(cp1251::toUnicode(f[1])) == 0)
        return "error: the path must be absolute";

    ProfileFile file(f[1]);
    if (op == "hold") {
        fsys::FileLock::Outcome outcome;
        fsys::FileLock lock = fsys::FileLock::acquire(resolveSymlinks(file.diskPath()), &outcome);
        switch (outcome) {
        case fsys::FileLock::Outcome::Held:
            locks.push_back(std::move(lock));
            return "held";
        case fsys::FileLock::Outcome::Busy:
            return "busy";
        case fsys::FileLock::Outcome::Unavailable:
            return "unavailable";
        case fsys::FileLock::Outcome::Unsupported:
            return "unsupported";
        }
    }
    if (op == "read")
        return escape(file.readString(f[2], f[3], f[4]));
    if (op == "readint") {
        int defaultValue;
        if (!ProfileFile::parseInteger(f[4], &defaultValue))
            return "error: the default is not an integer";
        return QByteArray::number(file.readInteger(f[2], f[3], defaultValue));
    }
    if (op == "write")
        return file.writeString(f[2], f[3], f[4]) ? "ok" : "fail";
    return file.deleteKey(f[2], f[3]) ? "ok" : "fail";
}

} // namespace

int main()
{
    std::string input;
    while (std::getline(std::cin, input)) {
        QByteArray line = QByteArray::fromStdString(input);
        if (line.endsWith('\r'))
            line.chop(1);
        const QByteArray result = line.isEmpty() ? QByteArray("error: empty line") : run(line);
        std::fwrite(result.constData(), 1, static_cast<size_t>(result.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
