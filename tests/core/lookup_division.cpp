// Dividing a value into value part and comment part, and what each kind of editor row shows.

#include <gtest/gtest.h>

#include "gamefiles/ParameterLookup.h"
#include "gamefiles/ValueDivision.h"
#include "textcodec/Cp1251.h"

using ParameterLookup::AbsentMarker;
using ParameterLookup::RowValue;
using ParameterLookup::rowValueFor;

namespace {

QByteArray cp(const char *utf8)
{
    return cp1251::encode(QString::fromUtf8(utf8));
}

} // namespace

TEST(ValueDivision, NumbersEndAtTheFirstOtherCharacterAndTextAtItsComment)
{
    struct Case
    {
        QByteArray text, value, comment;
    };
    const Case cases[] = {
        // Plain numbers and their comments.
        {"0.85 ; comment", "0.85", " ; comment"},
        {"-1,5", "-1,5", ""},
        {"+-.,9", "+-.,9", ""},
        {"", "", ""},
        {"0.0001        ; " + cp("само лечение"), "0.0001", "        ; " + cp("само лечение")},
        {"1.5, 1.2", "1.5, 1.2", ""},
        {"12\t;x", "12", "\t;x"},
        {"12;x", "12", ";x"},
        {cp("5км"), "5", cp("км")},
        {QByteArray("7\0x", 3), "7", QByteArray("\0x", 2)},
        // An exponent belongs to its number.
        {"1e-3", "1e-3", ""},
        {"5e-05 ; small", "5e-05", " ; small"},
        {"1.5E+3", "1.5E+3", ""},
        {"2e7", "2e7", ""},
        {"1.e5;x", "1.e5", ";x"},
        {"-3E12 ; big", "-3E12", " ; big"},
        {"1e5,2e-5", "1e5,2e-5", ""},
        {"1e5, 2e-5", "1e5, 2e-5", ""},
        // Lists: numbers separated by a comma with blanks are one value part.
        {"70, 140 ; money", "70, 140", " ; money"},
        {"0.5, 0.5, 0.5, 0.5", "0.5, 0.5, 0.5, 0.5", ""},
        {"-0.05, 0.1 ;x", "-0.05, 0.1", " ;x"},
        {"1 , 2", "1 , 2", ""},
        {"1 ,2", "1 ,2", ""},
        {"1,\t2\t; tab", "1,\t2", "\t; tab"},
        {"1,5, 2,5", "1,5, 2,5", ""},
        {"70, 140, fast", "70, 140,", " fast"},
        {"70, ; x", "70,", " ; x"},
        {"70,   ", "70,", "   "},
        {"70 140", "70", " 140"},
        {"70 ,x", "70", " ,x"},
        {"70, -", "70,", " -"},
        {"1e-3, 2E+4 ; e", "1e-3, 2E+4", " ; e"},
        // An "e" that no digit follows is no exponent.
        {"5e", "5", "e"},
        {"5ex", "5", "ex"},
        {"5e-", "5", "e-"},
        {"5e+x", "5", "e+x"},
        {"5 e5", "5", " e5"},
        {"1,e5", "1,", "e5"},
        {"2easy ; x", "2", "easy ; x"},
        // No leading number: the value up to the blanks before the first ";".
        {"fast ; speed", "fast", " ; speed"},
        {"fast;speed", "fast", ";speed"},
        {"fast \t ;speed ; more", "fast", " \t ;speed ; more"},
        {"actor", "actor", ""},
        {"actors\\hero\\hero.ogf", "actors\\hero\\hero.ogf", ""},
        {"a b c ; d", "a b c", " ; d"},
        {"e5", "e5", ""},
        {"-fast", "-fast", ""},
        {".x ; y", ".x", " ; y"},
        {"- ; y", "-", " ; y"},
        {"; only a comment", "", "; only a comment"},
        {"  ; blanks first", "", "  ; blanks first"},
        {" 5", " 5", ""}, // a quoted value keeping its leading blank
        {cp("быстро ; скорость"), cp("быстро"), cp(" ; скорость")},
        {AbsentMarker, AbsentMarker, ""},
    };
    for (const Case &c : cases) {
        const ValueDivision parts = ValueDivision::divide(c.text);
        EXPECT_EQ(parts.valuePart, c.value) << c.text.toStdString();
        EXPECT_EQ(parts.commentPart, c.comment) << c.text.toStdString();
    }
}

TEST(ValueDivision, PartsAlwaysGiveBackTheText)
{
    // Every byte value at the front, behind a number, an exponent marker and a text value.
    for (int b = 0; b < 256; ++b) {
        const QByteArray c(1, char(b));
        for (const QByteArray &text :
             {c, "1" + c + "2", "1e" + c + "2", "1E-" + c, "a" + c + ";b", c + " ; x"}) {
            const ValueDivision parts = ValueDivision::divide(text);
            EXPECT_EQ(parts.valuePart + parts.commentPart, text) << b;
        }
        const bool number = (b >= '0' && b <= '9') || b == '.' || b == ',' || b == '-' || b == '+';
        EXPECT_EQ(ValueDivision::isNumberCharacter(char(b)), number) << b;
    }
}

TEST(ParameterLookup, AbsentMarkerIsTheRussianTextInWindows1251)
{
    EXPECT_EQ(QByteArray(AbsentMarker), cp("НЕ ЗАГРУЖЕНО!"));
    EXPECT_FALSE(ParameterLookup::isPresent(AbsentMarker));
    EXPECT_TRUE(ParameterLookup::isPresent(""));
    EXPECT_TRUE(ParameterLookup::isPresent(cp("не загружено!")));
    EXPECT_FALSE(ParameterLookup::isPresent("ERROR!", "ERROR!"));
}

TEST(RowValue, EachRowKindShowsWhatTheLookupFound)
{
    const QByteArray value = "0.85 ; " + cp("высота глаз");
    struct Case
    {
        bool trade, full;
        QByteArray asRead;
        QByteArray text, comment;
        bool present, enabled, checked;
    };
    const Case cases[] = {
        // ordinary rows
        {false, true, value, value, "", true, true, false},
        {false, true, AbsentMarker, AbsentMarker, "", false, true, false},
        {false, false, value, "0.85", " ; " + cp("высота глаз"), true, true, false},
        // Missing, no <k>_FULL: an empty box. The marker is not kept as comment part, since
        // the apply writes the box's text followed by the comment part into the game file.
        {false, false, AbsentMarker, "", "", false, true, false},
        {false, false, "", "", "", true, true, false},
        // Text values show whole; typing replaces them and keeps their comment.
        {false, false, "actor", "actor", "", true, true, false},
        {false, false, "fast ; speed", "fast", " ; speed", true, true, false},
        {false, false, "5e-05 ; small", "5e-05", " ; small", true, true, false},
        // trade rows: the whole value, whatever <k>_FULL says
        {true, false, value, value, "", true, true, true},
        {true, true, value, value, "", true, true, true},
        {true, false, AbsentMarker, "", "", false, false, false},
        {true, true, AbsentMarker, "", "", false, false, false},
        {true, false, "", "", "", true, true, true},
    };
    for (const Case &c : cases) {
        const RowValue row = rowValueFor(c.trade, c.full, c.asRead);
        const std::string label = (c.trade ? "trade " : "ordinary ") +
                                  std::string(c.full ? "full " : "") + c.asRead.toStdString();
        EXPECT_EQ(row.text, c.text) << label;
        EXPECT_EQ(row.commentPart, c.comment) << label;
        EXPECT_EQ(row.present, c.present) << label;
        EXPECT_EQ(row.enabled, c.enabled) << label;
        EXPECT_EQ(row.checked, c.checked) << label;
    }
}
