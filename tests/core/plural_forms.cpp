#include <gtest/gtest.h>

#include "base/Plural.h"

// Counts meet nouns in messages ("1 повреждённая строка", "22 строки", "11 строк").
TEST(PluralForms, EachCountTakesItsForm)
{
    const struct
    {
        qint64 n;
        const char *expected;
    } cases[] = {
        {0, "0 строк"},          {1, "1 строка"},    {2, "2 строки"},       {4, "4 строки"},
        {5, "5 строк"},          {11, "11 строк"},   {12, "12 строк"},      {14, "14 строк"},
        {21, "21 строка"},       {22, "22 строки"},  {25, "25 строк"},      {101, "101 строка"},
        {111, "111 строк"},      {112, "112 строк"}, {1001, "1001 строка"}, {-1, "-1 строка"},
        {65541, "65541 строка"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(base::counted(c.n, "строка", "строки", "строк"), QString::fromUtf8(c.expected))
            << c.n;
}
