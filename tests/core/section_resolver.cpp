// The effective value of a key through includes and parent sections, and the problems met on
// the way.

#include <gtest/gtest.h>

#include <optional>

#include "gamefiles/ParameterLookup.h"
#include "gamefiles/SectionResolver.h"
#include "profile/ProfileCache.h"
#include "support/TempDir.h"

namespace {

struct Tree
{
    TempDir dir;
    QByteArray folder() const { return dir.bytePath("gamedata") + "/"; }
    void write(const char *name, const QByteArray &bytes) const
    {
        dir.write(QStringLiteral("gamedata/") + QString::fromLatin1(name), bytes);
    }
};

} // namespace

TEST(SectionResolver, FindsTheValueThroughParentsAndIncludes)
{
    Tree tree;
    tree.write("outside.ltx", "[far]\nk = outside\n");
    tree.write("config/system.ltx", "#include \"weapons\\w_base.ltx\"\r\n"
                                    "  #include \"weapons/w_ak74.ltx\" ; the rifle\r\n"
                                    "#include \"weapons/missing.ltx\"\r\n"
                                    "#include \"../../outside.ltx\"\r\n"
                                    "#include \"../top.ltx\"\r\n"
                                    "[wpn_ak74u]:wpn_ak74, wpn_base ; short\r\n"
                                    "own = 1\r\n"
                                    "[deep]:wpn_ak74u\r\n"
                                    "[both]:left,right\r\n"
                                    "[left]:leftparent\r\n"
                                    "[right]\r\nk = right\r\n"
                                    "[leftparent]\r\nk = leftparent\r\n"
                                    "[twice]\r\nk = first\r\n"
                                    "[loop]:loop2\r\n[loop2]:loop\r\n"
                                    "[orphan]:nobody\r\n");
    tree.write("config/weapons/w_base.ltx",
               "[wpn_base]\nhit_power = 0.5, 0.5, 0.5, 0.5\ncost = 100\n"
               "#include \"../system.ltx\"\n");
    tree.write("config/weapons/w_ak74.ltx",
               "[wpn_ak74]:wpn_base\ncost = 200\n[twice]\nk = second\n");
    tree.write("top.ltx", "[top]\nk = top\n");

    struct Case
    {
        const char *section, *key;
        std::optional<const char *> value, holder, file;
        bool inherited;
    };
    const Case cases[] = {
        {"wpn_ak74u", "own", "1", "wpn_ak74u", "config\\system.ltx", false},
        {"WPN_AK74U", "cost", "200", "wpn_ak74", "config/weapons/w_ak74.ltx", true},
        {"wpn_ak74u", "hit_power", "0.5, 0.5, 0.5, 0.5", "wpn_base", "config/weapons/w_base.ltx",
         true},
        {"deep", "hit_power", "0.5, 0.5, 0.5, 0.5", "wpn_base", "config/weapons/w_base.ltx", true},
        {"deep", "own", "1", "wpn_ak74u", "config\\system.ltx", true},
        // Depth first: the left parent's parent comes before the right parent.
        {"both", "k", "leftparent", "leftparent", "config\\system.ltx", true},
        // The includes come first: their [twice] is the first one read, and it is the section
        // itself, wherever it stands: its keys are its own, not inherited.
        {"twice", "k", "second", "twice", "config/weapons/w_ak74.ltx", false},
        {"top", "k", "top", "top", "top.ltx", false},
        {"far", "k", std::nullopt, std::nullopt, std::nullopt, false},
        {"loop", "k", std::nullopt, std::nullopt, std::nullopt, false},
        {"orphan", "k", std::nullopt, std::nullopt, std::nullopt, false},
        {"nothere", "k", std::nullopt, std::nullopt, std::nullopt, false},
    };
    SectionResolver resolver(tree.folder());
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        const auto found = resolver.find("config\\system.ltx", c.section, c.key);
        ASSERT_EQ(found.has_value(), c.value.has_value());
        if (!found)
            continue;
        EXPECT_EQ(found->value, *c.value);
        EXPECT_EQ(found->section, *c.holder);
        EXPECT_EQ(found->file, *c.file);
        EXPECT_EQ(found->inherited, c.inherited);
    }
    const QStringList expected = {
        QStringLiteral("Включение по кругу: config/weapons/w_base.ltx включает config/system.ltx"),
        QStringLiteral(
            "Включаемый файл config/weapons/missing.ltx не найден (из config\\system.ltx)"),
        QStringLiteral("Включение \"../../outside.ltx\" из config\\system.ltx ведёт за папку "
                       "gamedata и не читается"),
        QStringLiteral("Секция [twice] описана дважды: config/weapons/w_ak74.ltx и "
                       "config\\system.ltx; используется первая"),
        QStringLiteral("Родитель [nobody] не найден (config\\system.ltx)"),
    };
    EXPECT_EQ(resolver.problems(), expected);
    EXPECT_EQ(resolver.parentsOf("config/system.ltx", "wpn_ak74u"),
              QByteArrayList({"wpn_ak74", "wpn_base"}));
}

TEST(SectionResolver, WideAndDeepTreesNeedNoRecursion)
{
    Tree tree;
    // One file including 1,000 others, and a chain of 300 includes and 300 parents.
    QByteArray wide;
    for (int i = 0; i < 1000; ++i) {
        wide += "#include \"w/" + QByteArray::number(i) + ".ltx\"\n";
        tree.write(qPrintable(QStringLiteral("w/%1.ltx").arg(i)),
                   "[s" + QByteArray::number(i) + "]\nk = " + QByteArray::number(i) + "\n");
    }
    tree.write("wide.ltx", wide + "[all]:s998,s999\n");
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes = "#include \"" + QByteArray::number(i + 1) + ".ltx\"\n[p" +
                           QByteArray::number(i) + "]:p" + QByteArray::number(i + 1) + "\n";
        if (i == 0)
            bytes = "#include \"d/1.ltx\"\n[p0]:p1\n";
        tree.write(i == 0 ? "deep.ltx" : qPrintable(QStringLiteral("d/%1.ltx").arg(i)), bytes);
    }
    tree.write("d/300.ltx", "[p300]\nk = bottom\n");

    SectionResolver resolver(tree.folder());
    const auto wideFound = resolver.find("wide.ltx", "all", "k");
    ASSERT_TRUE(wideFound);
    EXPECT_EQ(wideFound->value, "998");
    const auto deepFound = resolver.find("deep.ltx", "p0", "k");
    ASSERT_TRUE(deepFound);
    EXPECT_EQ(deepFound->value, "bottom");
    EXPECT_EQ(deepFound->file, "d/300.ltx");
    EXPECT_TRUE(resolver.problems().isEmpty()) << resolver.problems().join('\n').toStdString();
}

TEST(SectionResolver, IncludePathsStayInsideTheGamedataFolder)
{
    struct Case
    {
        const char *from, *name;
        std::optional<const char *> path;
    };
    const Case cases[] = {
        {"config/system.ltx", "weapons\\w.ltx", "config/weapons/w.ltx"},
        {"config\\system.ltx", "./w.ltx", "config/w.ltx"},
        {"config/system.ltx", "../w.ltx", "w.ltx"},
        {"config/system.ltx", "../../w.ltx", std::nullopt},
        {"config/system.ltx", "a/../../../config/w.ltx", std::nullopt},
        {"system.ltx", "/etc/passwd", std::nullopt},
        {"system.ltx", "C:w.ltx", std::nullopt},
        {"system.ltx", "", std::nullopt},
    };
    for (const Case &c : cases) {
        const auto path = SectionResolver::includePath(c.from, c.name);
        ASSERT_EQ(path.has_value(), c.path.has_value()) << c.name;
        if (path) {
            EXPECT_EQ(*path, *c.path);
        }
    }
}

TEST(IniDocumentStructure, HoldsHeadersWithParentsAndIncludeLinesOnly)
{
    struct Case
    {
        QByteArray bytes;
        QByteArrayList names; // include lines as "#name"
        QByteArrayList parentsOfLast;
    };
    const Case cases[] = {
        {"[a]\r\nk = [x] # y\r\n  [b] : a , c ; note\r\n", {"a", "b"}, {"a", "c"}},
        {"\xEF\xBB\xBF[a]:p\n#include \"x.ltx\"\n", {"a", "#x.ltx"}, {}},
        {"[a]\r#include \"x.ltx\"\r\t#include  \"y.ltx\" ; z\r[b]:a",
         {"a", "#x.ltx", "#y.ltx", "b"},
         {"a"}},
        {"k=1\n#includes \"x\"\n#include x.ltx\n; [c]\n[d\n[e]]:f", {"e"}, {}},
        {"", {}, {}},
    };
    for (const Case &c : cases) {
        QByteArrayList names;
        QByteArrayList parents;
        for (const IniDocument::StructureLine &line : IniDocument::parse(c.bytes).structure()) {
            names.append(line.include ? "#" + line.name.toByteArray() : line.name.toByteArray());
            parents = IniDocument::parentsOf(line.parentText);
        }
        EXPECT_EQ(names, c.names) << c.bytes.toStdString();
        EXPECT_EQ(parents, c.parentsOfLast) << c.bytes.toStdString();
    }
}

TEST(SectionResolver, ProblemsAreOneMessageNamingTheFirstFewAndCountingTheRest)
{
    struct Case
    {
        int problems;
        int named;
        const char *rest; // the closing count, or null
    };
    for (const Case &c : {Case{0, 0, nullptr}, Case{1, 1, nullptr}, Case{5, 5, nullptr},
                          Case{8, 5, "И ещё таких ошибок: 3."}}) {
        QStringList problems;
        for (int i = 0; i < c.problems; ++i)
            problems << QStringLiteral("Включаемый файл f%1.ltx не найден (из a.ltx)").arg(i);
        const QString text = ParameterLookup::resolverProblemsText(problems);
        EXPECT_EQ(text.isEmpty(), c.problems == 0) << c.problems;
        EXPECT_EQ(text.count(QStringLiteral("не найден")), c.named) << c.problems;
        EXPECT_EQ(text.contains(QStringLiteral("И ещё")), c.rest != nullptr) << c.problems;
        if (c.rest) {
            EXPECT_TRUE(text.endsWith(QString::fromUtf8(c.rest))) << text.toStdString();
        }
    }
}
