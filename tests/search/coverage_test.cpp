#include "catalogue/Statement.h"
#include "search/Coverage.h"
#include "tests/support/TestCatalogue.h"

#include <QRandomGenerator>
#include <QtTest>
#include <map>

// Coverage against a plain statement that says the same thing the slow way, on random
// catalogues full of near-copies: names in other cases and scripts, sizes and dates a little
// off, hashes that agree and disagree, names on many discs, empty files.
class CoverageTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void matchesThePlainStatement();
};

namespace
{
// Per file: disc, size, excluded (1 empty, 2 common name without a hash), best level (3 none).
const char* const kPlain = R"sql(
with f as (select f.id, f.id_cd, f.nome, f.dimensione, f.data, h.hash from files f left join file_hash h
           on h.id_file = f.id and h.id_cd = f.id_cd and h.dimensione = f.dimensione),
     c as (select nome, count(distinct id_cd) > ?1 as common from files group by nome)
select a.id, a.id_cd, a.dimensione,
  case when a.dimensione = 0 then 1 when c.common and a.hash is null then 2 else 0 end,
  case
    when a.hash is not null and exists (select 1 from f b where b.id_cd <> a.id_cd and b.hash = a.hash
                                        and b.dimensione = a.dimensione) then 0
    when not c.common and exists (select 1 from f b where b.id_cd <> a.id_cd and b.nome = a.nome and
         b.dimensione = a.dimensione and b.data = a.data and (a.hash is null or b.hash is null or
         a.hash = b.hash)) then 1
    when not c.common and exists (select 1 from f b where b.id_cd <> a.id_cd and b.nome = a.nome and
         b.dimensione = a.dimensione and (a.hash is null or b.hash is null or a.hash = b.hash)) then 2
    else 3 end
from f a join c on c.nome = a.nome order by a.id
)sql";

QString describe(const Coverage::DiscCoverage& d)
{
    QString text = QStringLiteral("%1: %2 files %3 bytes, %4 empty, %5 common, %6 counted %7 bytes;")
                       .arg(d.id)
                       .arg(d.files)
                       .arg(d.bytes)
                       .arg(d.empty)
                       .arg(d.common)
                       .arg(d.counted)
                       .arg(d.countedBytes);
    for (int level = 0; level < Coverage::kLevels; ++level)
        text += QStringLiteral(" %1/%2").arg(d.copies[size_t(level)]).arg(d.copiedBytes[size_t(level)]);
    return text;
}
} // namespace

void CoverageTest::matchesThePlainStatement()
{
    const QStringList names = {QStringLiteral("a.txt"),
                               QStringLiteral("A.TXT"),
                               QStringLiteral("b.jpg"),
                               QStringLiteral("\u00e9t\u00e9.doc"),
                               QStringLiteral("\u00c9T\u00c9.doc"),
                               QStringLiteral("Thumbs.db"),
                               QStringLiteral("c")};
    const QStringList dates = {QStringLiteral("2020-01-01 00:00:00"), QStringLiteral("2021-06-01 12:00:00")};
    for (quint32 seed = 1; seed <= 80; ++seed) {
        QRandomGenerator random(seed);
        TestCatalogue cat;
        const int discs = 2 + int(random.bounded(5));
        for (int d = 0; d < discs; ++d)
            cat.addDisc(QStringLiteral("C"));
        {
            Statement hash(cat.connection, "insert into file_hash values (?1, ?2, ?3, ?4)");
            for (int d = 1; d <= discs; ++d) {
                const int files = int(random.bounded(25));
                for (int i = 0; i < files; ++i) {
                    const qint64 size = random.bounded(4);
                    const qint64 id = cat.addFile(d, QStringLiteral("\\f%1\\").arg(random.bounded(3)),
                                                  names[int(random.bounded(names.size()))], size,
                                                  dates[int(random.bounded(2))]);
                    if (random.bounded(2) == 0)
                        continue;
                    // Few contents, so that hashes both agree and disagree; now and then a hash kept
                    // for another size, which must not count.
                    hash.bind(1, id);
                    hash.bind(2, d);
                    hash.bind(3, random.bounded(8) == 0 ? size + 1 : size);
                    const QByteArray value(16, char('0' + random.bounded(3)));
                    hash.bindBlob(4, value);
                    hash.step();
                    hash.reset();
                }
            }
        }
        const Coverage::Options options{1 + int(random.bounded(4))};

        std::map<qint64, Coverage::DiscCoverage> expected;
        std::map<qint64, std::vector<qint64>> onlyHere;
        for (int d = 1; d <= discs; ++d)
            expected[d].id = d;
        Statement plain(cat.connection, kPlain);
        plain.bind(1, options.commonDiscs);
        while (plain.step()) {
            Coverage::DiscCoverage& d = expected[plain.integer(1)];
            const qint64 size = plain.integer(2);
            ++d.files;
            d.bytes += size;
            const qint64 excluded = plain.integer(3);
            if (excluded != 0) {
                ++(excluded == 1 ? d.empty : d.common);
                continue;
            }
            ++d.counted;
            d.countedBytes += size;
            const int best = int(plain.integer(4));
            for (int level = best; level < Coverage::kLevels; ++level) {
                ++d.copies[size_t(level)];
                d.copiedBytes[size_t(level)] += size;
            }
            if (best == Coverage::None)
                onlyHere[d.id].push_back(plain.integer(0));
        }

        const std::vector<Coverage::DiscCoverage> found = Coverage::discs(cat.connection, options);
        QCOMPARE(found.size(), expected.size());
        for (const Coverage::DiscCoverage& d : found) {
            QCOMPARE(describe(d), describe(expected[d.id]));
            QCOMPARE(Coverage::onlyHere(cat.connection, d.id, options), onlyHere[d.id]);
            // One disc alone, from the rows that could be its copies, as Disc details reads it.
            const Coverage::DiscCoverage alone = Coverage::disc(cat.connection, d.id, options);
            QCOMPARE(describe(alone), describe(d));
            // Its line claims no evidence stronger than what holds every copy.
            const QString line = Coverage::line(alone, {});
            if (d.counted > 0 && d.copies[Coverage::NameSize] > 0) {
                QVERIFY2(line.contains(QStringLiteral(": %1 % of files")
                                           .arg(d.copies[Coverage::NameSize] * 100 / d.counted)),
                         qPrintable(line));
                QCOMPARE(line.endsWith(QLatin1String("(size and content)")),
                         d.copies[Coverage::Hash] == d.copies[Coverage::NameSize]);
                QCOMPARE(line.endsWith(QLatin1String("(name and size)")),
                         d.copies[Coverage::NameSizeDate] < d.copies[Coverage::NameSize]);
            }
            // Every disc named as holding copies is another disc of the catalogue.
            QVERIFY(!d.copyDiscs.count(d.id));
            QCOMPARE(d.copyDiscs.empty(), d.copies[Coverage::NameSize] == 0);
        }
    }
}

QTEST_GUILESS_MAIN(CoverageTest)
#include "coverage_test.moc"
