#include "catalogue/Query.h"
#include "maintenance/DiscCataloguer.h"
#include "scan/FileNameText.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "search/ui/GridRequisiti.h"
#include "tests/faults/RawTree.h"
#include "tests/maintenance/MaintenanceFixture.h"

#include <QHeaderView>
#include <QProcess>
#include <QtTest>

// File and folder names with every kind of byte a Linux file system allows are catalogued as
// they are, shown, found by their own text (through the search index and without it) and
// printed by the command line one record per line.
//
// A "\" inside a name is stored as it is: `nome` keeps it, and in `path` only the "\" that
// close the folders separate them. A folder named a\b and the folders a and b inside each
// other give the same `path`; the full name shown and searched is the same text either way.
// A name that is not UTF-8 is read as Windows-1252, the encoding of the old discs that carry
// such names, so that it stays readable, distinct and findable.
class NamesTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void everyNameIsStoredAsItIs();
    void everyNameIsFoundByItsOwnText();
    void gridShowsEveryRowOnOneLine();
    void commandLineKeepsOneRecordPerLine();

  private:
    struct Entry {
        QByteArray folder; // empty for the root
        QByteArray name;
        QString path() const
        {
            return folder.isEmpty() ? QStringLiteral("\\")
                                    : QLatin1Char('\\') + fileNameText(folder) + QLatin1Char('\\');
        }
        QString full() const { return path() + fileNameText(name); }
    };
    QStringList cli(const QStringList& args, int* status = nullptr);

    FakeHost host_;
    FakeDrive drive_;
    std::vector<Entry> entries_;
    const QString volume_ = QStringLiteral("VOL\tONE\nTWO");
};

namespace
{
// The command line's escape for control characters.
QString escaped(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f))
            out +=
                QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// RFC 4180 records.
QList<QStringList> parseCsv(const QString& text)
{
    QList<QStringList> records;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            fields << field;
            records << fields;
            fields.clear();
            field.clear();
            ++i;
        } else {
            field += c;
        }
    }
    return records;
}

bool trimmedAway(QChar c)
{
    return c.unicode() <= 32;
}
} // namespace

void NamesTest::initTestCase()
{
    entries_ = {
        {"", "new\nline.txt"},
        {"", "tab\there.txt"},
        {"", "cr\rname.txt"},
        {"", "100%.txt"},
        {"", "under_score.txt"},
        {"", "star*.txt"},
        {"", "it's.txt"},
        {"", "say \"hi\".txt"},
        {"", "back\\slash.txt"},
        {"", " lead.txt"},
        {"", "trail.txt "},
        {"", "  "},
        {"", "ctl\x01\x7f\x1b[31m.txt"},
        {"", "glob[ab]?{c}.txt"},
        {"", "semi;pipe|amp&hash#dollar$.txt"},
        {"", "colon:name.TXT"},
        {"", "..."},
        {"", "-n"},
        {"", "bad\xff\xfe.txt"},
        {"", "lone\x80.txt"},
        {"", "overlong\xc0\xaf.txt"},
        {"", "cut\xe6\x97.txt"},
        {"", "caf\xe9 \x80\x81\x9f.txt"},
        {"", "\xc3\xbcn\xc3\xaf"
             "c\xc3\xb6"
             "d\xc3\xa9.txt"},
        {"", "\xf0\x9f\x98\x80.txt"},
        {"", "\xc2\x85next line\xe2\x80\xa8sep.txt"},
        {"", QByteArray(251, 'x') + ".txt"},
        {"", QByteArray("\xe6\x97\xa5").repeated(85)},
        {"dir\\with\\backslash", "inner.txt"},
        {"tab\tdir", "in.txt"},
        {"new\nline dir", "in.txt"},
        {"bad\xff dir", "in.txt"},
        {"100% _dir_", "x_y%.txt"},
        {" blank dir ", " f "},
        {QByteArray(255, 'd'), QByteArray(255, 'f')},
    };
    const int root =
        ::open(QFile::encodeName(drive_.disc.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(root >= 0);
    for (const Entry& entry : entries_) {
        int where = root;
        if (!entry.folder.isEmpty())
            where = rawtree::folder(root, entry.folder);
        QVERIFY2(where >= 0 && rawtree::file(where, entry.name, entry.name.size()), entry.name.constData());
        if (where != root)
            ::close(where);
    }
    ::close(root);

    // Disc 1 is searched through its index, disc 2 by the statement.
    DiscCataloguer run(host_.session(), [this](QChar l) { return drive_.rootOf(l); });
    for (const char* type : {"C", "D"}) {
        QCOMPARE(run.countFiles(QStringLiteral("e:\\")), qint64(entries_.size()));
        QVERIFY(run.catalogue(QLatin1String(type), QStringLiteral("e:\\"), [this] { return volume_; }));
        QCOMPARE(run.FilesAdded, qint64(entries_.size()));
    }
    host_.catalogue.connection.exec("delete from search_index where id_cd = 2");
    QCOMPARE(host_.catalogue.count(QStringLiteral("search_index")), 1);
}

void NamesTest::cleanupTestCase()
{
    rawtree::empty(drive_.disc.path());
}

void NamesTest::everyNameIsStoredAsItIs()
{
    QStringList expected;
    for (const Entry& entry : entries_) {
        const QString name = fileNameText(entry.name);
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        expected << entry.path() + QLatin1Char('|') + name + QLatin1Char('|') +
                        (dot < 0 ? QString() : name.mid(dot)) + QLatin1Char('|') +
                        QString::number(entry.name.size());
    }
    expected.sort();
    for (int disc = 1; disc <= 2; ++disc) {
        QStringList stored;
        Query query(host_.connection());
        for (query.openWith(
                 QStringLiteral("select path, nome, estensione, dimensione from files where id_cd = :d"),
                 {{QStringLiteral("d"), disc}});
             !query.eof(); query.next())
            stored << QStringList{query.value(0).toString(), query.value(1).toString(),
                                  query.value(2).toString(), query.value(3).toString()}
                          .join(QLatin1Char('|'));
        stored.sort();
        QCOMPARE(stored, expected);
    }
    // Names that are not UTF-8 read as Windows-1252, its unassigned bytes as the control
    // characters of Latin-1; nothing becomes U+FFFD.
    const QList<std::pair<QString, QString>> legacy = {
        {QStringLiteral("\\"), QStringLiteral("bad\u00FF\u00FE.txt")},
        {QStringLiteral("\\"), QStringLiteral("caf\u00E9 \u20AC\u0081\u0178.txt")},
        {QStringLiteral("\\"), QStringLiteral("overlong\u00C0\u00AF.txt")},
        {QStringLiteral("\\"), QStringLiteral("cut\u00E6\u2014.txt")},
        {QStringLiteral("\\bad\u00FF dir\\"), QStringLiteral("in.txt")},
    };
    for (const auto& [path, name] : legacy) {
        Query query(host_.connection());
        query.openWith(QStringLiteral("select count(*) from files where path = :p and nome = :n"),
                       {{QStringLiteral("p"), path}, {QStringLiteral("n"), name}});
        QVERIFY2(query.value(0).toInt() == 2, qPrintable(escaped(path + name)));
    }
    QCOMPARE(host_.catalogue
                 .scalar(QStringLiteral("select count(*) from files where instr(path || nome, char(65533))"))
                 .toInt(),
             0);
}

void NamesTest::everyNameIsFoundByItsOwnText()
{
    ResultSet result(host_.connection());
    for (const Entry& entry : entries_) {
        QString pattern = entry.full();
        // The pattern box drops trailing blanks and control characters from what is typed.
        if (trimmedAway(pattern.back()))
            pattern += QLatin1Char('*');
        SearchCriteria criteria;
        criteria.byFile = true;
        criteria.pattern = pattern;
        const SearchStatement statement(criteria);
        result.open(statement);
        QStringList found;
        for (qsizetype row = 0; row < result.rowCount(); ++row)
            found << result.rows().cdid(row) + result.rows().file(row);
        QVERIFY2(
            found.contains(QStringLiteral("C0001") + entry.full()) &&
                found.contains(QStringLiteral("D0002") + entry.full()),
            qPrintable(escaped(pattern) + QStringLiteral(" found ") + escaped(found.join(QLatin1Char('|')))));
        // Without a wildcard in the text, the file is all there is.
        const bool wild = pattern.contains(QLatin1Char('%')) || pattern.contains(QLatin1Char('_')) ||
                          pattern.contains(QLatin1Char('*'));
        if (!wild)
            QCOMPARE(found.size(), 2);
        // The index and the statement agree row for row.
        Query plain(host_.connection());
        qsizetype rows = 0;
        for (plain.openWith(statement.text(), statement.params()); !plain.eof(); plain.next()) {
            QVERIFY(rows < result.rowCount());
            QCOMPARE(plain.value(0).toString() + plain.value(1).toString(), found.at(rows));
            ++rows;
        }
        QCOMPARE(rows, result.rowCount());
    }
}

void NamesTest::gridShowsEveryRowOnOneLine()
{
    ResultSet result(host_.connection());
    result.open(SearchStatement(SearchCriteria{}));
    QCOMPARE(result.rowCount(), qsizetype(2 * entries_.size()));
    TGridRequisiti grid(result, nullptr);
    grid.resize(700, 400);
    const QAbstractItemModel* model = grid.model();
    for (int row = 0; row < model->rowCount(); ++row) {
        QCOMPARE(model->index(row, ResultModel::File).data().toString(), result.rows().file(row));
        QVERIFY(!model->index(row, ResultModel::Date).data().toString().isEmpty());
        QCOMPARE(grid.rowHeight(row), 18);
    }
    for (int top = 0; top < model->rowCount(); top += 10) {
        grid.scrollTo(model->index(top, 0), QAbstractItemView::PositionAtTop);
        QVERIFY(!grid.grab().isNull());
    }
}

QStringList NamesTest::cli(const QStringList& args, int* status)
{
    QProcess process;
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
                  QStringList{QStringLiteral("--catalogue"), host_.catalogue.path()} + args);
    if (!process.waitForFinished(60000))
        return {};
    if (status)
        *status = process.exitCode();
    QString out = QString::fromUtf8(process.readAllStandardOutput());
    if (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out.split(QLatin1Char('\n'));
}

void NamesTest::commandLineKeepsOneRecordPerLine()
{
    int status = -1;
    const QStringList lines = cli({QStringLiteral("search")}, &status);
    QCOMPARE(status, 0);
    QCOMPARE(lines.size(), qsizetype(2 * entries_.size()));
    QStringList printed, expected;
    for (const QString& line : lines) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QVERIFY2(fields.size() == 4, qPrintable(line));
        printed << fields.at(0) + fields.at(1);
    }
    for (const char* label : {"C0001", "D0002"})
        for (const Entry& entry : entries_)
            expected << QLatin1String(label) + escaped(entry.full());
    printed.sort();
    expected.sort();
    QCOMPARE(printed, expected);

    // CSV keeps the names whole, line breaks and all.
    QProcess csv;
    csv.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tessaro-cli"),
              {QStringLiteral("--catalogue"), host_.catalogue.path(), QStringLiteral("search"),
               QStringLiteral("--csv")});
    QVERIFY(csv.waitForFinished(60000));
    const QList<QStringList> records = parseCsv(QString::fromUtf8(csv.readAllStandardOutput()));
    QCOMPARE(records.size(), qsizetype(2 * entries_.size() + 1));
    QStringList names;
    for (qsizetype i = 1; i < records.size(); ++i) {
        QCOMPARE(records.at(i).size(), 4);
        names << records.at(i).at(0) + records.at(i).at(1);
    }
    names.sort();
    expected.clear();
    for (const char* label : {"C0001", "D0002"})
        for (const Entry& entry : entries_)
            expected << QLatin1String(label) + entry.full();
    expected.sort();
    QCOMPARE(names, expected);

    // The volume label with its tab and line break stays in its column, escaped as search escapes.
    const QStringList discs = cli({QStringLiteral("discs")});
    QCOMPARE(discs.size(), 2);
    for (const QString& line : discs) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        QCOMPARE(fields.size(), 5);
        QCOMPARE(fields.at(1), escaped(volume_));
        QCOMPARE(fields.at(3), QString::number(entries_.size()));
    }
}

QTEST_MAIN(NamesTest)
#include "names_test.moc"
