#pragma once

#include <QByteArray>

// A value as read from a game file, divided into the part the user edits and the rest
// (typically " ; comment") that is set aside and written back behind it. The two parts,
// value part first, always give back the text they came from.
//
// A value that starts with a number is divided after the number: the longest leading run of
// number characters, with an exponent ("5e-05", "1.5E+3", "2e7") counted in. The comment part
// starts at the first other character, so "0.85 ; eyes" gives "0.85" and " ; eyes", and "5km"
// gives "5" and "km". An "e" that no digit follows ("5e", "5ex") is no exponent and starts the
// comment part.
//
// A list of numbers, separated by commas with blanks ("70, 140", "-0.05, 0.1",
// "0.5 , 0.5"), is one value part: "70, 140 ; money" gives "70, 140" and " ; money". A comma
// without blanks belongs to its number ("-1,5" is one number with a decimal comma, and
// "1,5, 2" a list of "1,5" and "2").
//
// Any other value (a name, a path, a list that starts with a letter) is kept whole up to its
// comment, which starts at the blanks before the first ";": "fast ; speed" gives "fast" and
// " ; speed"; a value without ";" is all value part. Typing into the value box then replaces
// the value instead of being glued to the front of it.
struct ValueDivision
{
    QByteArray valuePart;
    QByteArray commentPart;

    static ValueDivision divide(const QByteArray &text);

    // "0" to "9", ".", ",", "-", "+". A comma counts: turning it into a dot is up to the apply.
    static bool isNumberCharacter(char c);
};
