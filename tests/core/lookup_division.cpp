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

TEST(ValueDivision, SplitsAtTheFirstCharacterThatIsNoNumberCharacter)
{
    struct Case
    {
        QByteArray text, value, comment;
    };
    const Case cases[] = {
        {"0.85 ; comment", "0.85", " ; comment"},
        {"-1,5", "-1,5", ""},
        {"1e-3", "1", "e-3"},
        {"actor", "", "actor"},
        {AbsentMarker, "", AbsentMarker},
        {"+-.,9", "+-.,9", ""},
        {"", "", ""},
        {"0.0001        ; " + cp("само лечение"), "0.0001", "        ; " + cp("само лечение")},
        {"1.5, 1.2", "1.5,", " 1.2"},
        {" 5", "", " 5"}, // a quoted value keeping its leading blank
        {"12\t;x", "12", "\t;x"},
        {cp("5км"), "5", cp("км")},
        {QByteArray("7\0x", 3), "7", QByteArray("\0x", 2)},
    };
    for (const Case &c : cases) {
        const ValueDivision parts = ValueDivision::divide(c.text);
        EXPECT_EQ(parts.valuePart, c.value) << c.text.toStdString();
        EXPECT_EQ(parts.commentPart, c.comment) << c.text.toStdString();
    }
}

TEST(ValueDivision, PartsAlwaysGiveBackTheText)
{
    // Every byte value, at the front and behind a number.
    for (int b = 0; b < 256; ++b) {
        const char c = char(b);
        for (const QByteArray &text : {QByteArray(1, c), "1" + QByteArray(1, c) + "2"}) {
            const ValueDivision parts = ValueDivision::divide(text);
            EXPECT_EQ(parts.valuePart + parts.commentPart, text) << b;
        }
        const bool number = (c >= '0' && c <= '9') || c == '.' || c == ',' || c == '-' || c == '+';
        EXPECT_EQ(ValueDivision::isNumberCharacter(c), number) << b;
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
        {false, false, "actor", "", "actor", true, true, false},
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
