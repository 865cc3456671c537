#include "catalogue/Statements.h"
#include "tests/support/ConnectionProbe.h"
#include "tests/support/TestCatalogue.h"

#include <QtTest>

// The extension list is read by seeking from one extension to the next in the extension index;
// whatever the catalogue holds, it must be the list of the plain statement, row for row.
class ExtensionListTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void listIsThePlainStatements_data();
    void listIsThePlainStatements();
    void listIsReadWithoutAPassOverEveryFile();
};

namespace
{
QStringList plainList(Catalogue& session)
{
    QStringList rows;
    for (session.work().openWith(Statements::ExtensionList); !session.work().eof(); session.work().next())
        rows.append(session.work().value(0).toString());
    session.work().close();
    return rows;
}

// Extensions of every kind the column may hold, spelled several ways, in no particular order.
const char* const kSpellings =
    "insert into files (id, id_cd, nome, path, estensione, dimensione, data) values "
    "(10, 1, 'a', '\\', '.TXT', 0, ''), (3, 1, 'b', '\\', '.txt', 0, ''), (7, 1, 'c', '\\', '.Txt', 0, ''), "
    "(1, 1, 'd', '\\', '.jpg', 0, ''), (2, 1, 'e', '\\', '', 0, ''), (4, 1, 'f', '\\', x'2e41', 0, ''), "
    "(5, 1, 'g', '\\', '.a', 0, ''), (6, 1, 'h', '\\', '.A', 0, ''), (8, 1, 'i', '\\', '.B', 0, ''), "
    "(9, 1, 'j', '\\', '.ä', 0, ''), (11, 1, 'k', '\\', '.Ä', 0, ''), (12, 1, 'l', '\\', ' .z'||char(9), 0, "
    "''), "
    "(13, 1, 'm', '\\', x'2eff00', 0, ''), (14, 1, 'n', '\\', '.jpg', 0, ''), (15, 1, 'o', '\\', '.tx', 0, "
    "'')";
} // namespace

void ExtensionListTest::listIsThePlainStatements_data()
{
    QTest::addColumn<QString>("schema");
    QTest::addColumn<QString>("rows");
    // The statement's own rows where its index fixes which of the spellings that compare equal
    // stands for them (the lowest file id); empty where it does not.
    QTest::addColumn<QStringList>("expected");
    const QStringList spelled{QString(),
                              QStringLiteral(" .z\t"),
                              QStringLiteral(".a"),
                              QStringLiteral(".B"),
                              QStringLiteral(".jpg"),
                              QStringLiteral(".tx"),
                              QStringLiteral(".txt"),
                              QStringLiteral(".Ä"),
                              QStringLiteral(".ä"),
                              QStringLiteral(".A"),
                              QString::fromUtf8("\x2e\xff\x00", 3)};
    QTest::newRow("the program's catalogue") << QString() << QString::fromUtf8(kSpellings) << spelled;
    QTest::newRow("empty catalogue") << QString() << QString() << QStringList();
    QTest::newRow("older catalogue without the extension index")
        << QStringLiteral("drop index files_extension") << QString::fromUtf8(kSpellings) << spelled;
    QTest::newRow("extension index of another collation")
        << QStringLiteral("drop index files_extension; create index files_extension on files (estensione "
                          "collate binary)")
        << QString::fromUtf8(kSpellings) << QStringList();
    // A table made by another tool: no type, no case folding, no NOT NULL.
    const QString untyped = QStringLiteral(
        "drop table files; create table files (id integer primary key, id_cd, nome, path, estensione, "
        "dimensione, data); create index files_extension on files (estensione)");
    QTest::newRow("untyped column holding numbers and nulls")
        << untyped
        << QStringLiteral("insert into files (id, estensione) values (1, '.txt'), (2, null), (3, 7), "
                          "(4, 2.5), (5, '.TXT'), (6, x'00'), (7, null), (8, 7.0), (9, '7'), (10, -1)")
        << QStringList{QString(),           QStringLiteral("-1"),   QStringLiteral("2.5"),
                       QStringLiteral("7"), QStringLiteral(".TXT"), QStringLiteral(".txt"),
                       QStringLiteral("7"), QString(QChar(0))};
}

void ExtensionListTest::listIsThePlainStatements()
{
    QFETCH(QString, schema);
    QFETCH(QString, rows);
    QFETCH(QStringList, expected);
    TestCatalogue cat;
    if (!schema.isEmpty())
        cat.connection.exec(schema.toUtf8().constData());
    if (!rows.isEmpty())
        cat.connection.exec(rows.toUtf8().constData());
    // Connected again, as the program starts on a catalogue it finds.
    cat.session.connect(cat.path());
    const QStringList plain = plainList(cat.session);
    QCOMPARE(cat.session.extensions(), plain);
    if (!expected.isEmpty())
        QCOMPARE(plain, expected);
}

// The list costs a seek per extension, not a step per file: counted in SQLite's own steps.
void ExtensionListTest::listIsReadWithoutAPassOverEveryFile()
{
    TestCatalogue cat;
    cat.connection.exec(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 5000) "
        "insert into files (id, id_cd, nome, path, estensione, dimensione, data) select i, 1, "
        "'f', '\\', case i % 3 when 0 then '.jpg' when 1 then '.TXT' else '' end, 0, '' from n");
    int steps = 0;
    sqlite3_progress_handler(
        ConnectionProbe::handle(cat.connection), 1,
        [](void* counter) {
            ++*static_cast<int*>(counter);
            return 0;
        },
        &steps);
    const QStringList list = cat.session.extensions();
    sqlite3_progress_handler(ConnectionProbe::handle(cat.connection), 0, nullptr, nullptr);
    QCOMPARE(list, (QStringList{QString(), QStringLiteral(".jpg"), QStringLiteral(".TXT")}));
    QVERIFY2(steps < 1000, qPrintable(QStringLiteral("%1 steps for 3 extensions of 5,000 files").arg(steps)));
    const int seeking = steps;
    steps = 0;
    sqlite3_progress_handler(
        ConnectionProbe::handle(cat.connection), 1,
        [](void* counter) {
            ++*static_cast<int*>(counter);
            return 0;
        },
        &steps);
    QCOMPARE(plainList(cat.session), list);
    sqlite3_progress_handler(ConnectionProbe::handle(cat.connection), 0, nullptr, nullptr);
    // The measure itself sees a pass over every file.
    QVERIFY2(steps > 5000, qPrintable(QStringLiteral("%1 steps against %2").arg(steps).arg(seeking)));
}

QTEST_GUILESS_MAIN(ExtensionListTest)
#include "extensionlist_test.moc"
