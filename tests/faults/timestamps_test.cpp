#include "catalogue/Query.h"
#include "maintenance/DiscCataloguer.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "tests/faults/RawTree.h"
#include "tests/maintenance/MaintenanceFixture.h"

#include <QRegularExpression>
#include <QtTest>
#include <climits>
#include <sys/mount.h>

// Last-write times before 1970, after 2038 and beyond what a calendar date can hold are stored
// as sound dates in the catalogue's form (TZ=Europe/Rome): real moments as their local time,
// moments the C library cannot turn into a date of years 1 to 9999 as the epoch.
class TimestampsTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void everyTimeBecomesASoundDate();
    void dateFiltersAgreeWithTheStatement();

  private:
    struct Case {
        const char* name;
        qint64 seconds;
        const char* stored;
    };
    QTemporaryDir dir_;
    QString root_;
    bool mounted_ = false;
    std::vector<Case> cases_;
    FakeHost host_;
};

namespace
{
const char* const kEpoch = "1970-01-01 01:00:00";
}

void TimestampsTest::initTestCase()
{
    QCOMPARE(qgetenv("TZ"), QByteArray("Europe/Rome"));
    root_ = dir_.path();
    // A tmpfs keeps any 64-bit time; ext4 only 1901 to 2446.
    mounted_ = ::mount("tessaro-times", QFile::encodeName(root_).constData(), "tmpfs", 0, "size=1m") == 0;
    const std::vector<Case> all = {
        {"epoch", 0, kEpoch},
        {"a second before the epoch", -1, "1970-01-01 00:59:59"},
        {"1900", -2208988800LL, "1900-01-01 01:00:00"},
        {"1901, the oldest signed 32 bits", INT_MIN, "1901-12-13 21:45:52"},
        {"2038, the last signed 32 bits", INT_MAX, "2038-01-19 04:14:07"},
        {"2038, one second later", 2147483648LL, "2038-01-19 04:14:08"},
        {"2106, past unsigned 32 bits", 4294967296LL, "2106-02-07 07:28:16"},
        {"summer of 2200", 7273756800LL, "2200-07-01 02:00:00"},
        {"year 1", -62135596800LL, "0001-01-01 00:49:56"},
        {"year 9999", 253402257600LL, "9999-12-31 13:00:00"},
        {"year 0", -62135596801LL - 86400LL * 10, kEpoch},
        {"year 10000 in local time", 253402300799LL, kEpoch},
        {"year 31 million", 1000000000000000LL, kEpoch},
        {"far future", LLONG_MAX / 2, kEpoch},
        {"far past", LLONG_MIN / 2, kEpoch},
    };
    const int fd = ::open(QFile::encodeName(root_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    for (const Case& c : all) {
        const QByteArray name = QByteArray(c.name) + ".txt";
        QVERIFY(rawtree::file(fd, name));
        const timespec times[2] = {{time_t(0), 0}, {time_t(c.seconds), 0}};
        struct stat st;
        if (::utimensat(fd, name.constData(), times, 0) == 0 &&
            ::fstatat(fd, name.constData(), &st, 0) == 0 && st.st_mtim.tv_sec == time_t(c.seconds))
            cases_.push_back(c);
        else
            ::unlinkat(fd, name.constData(), 0);
    }
    ::close(fd);
    if (!mounted_)
        qInfo("no tmpfs: %zu of %zu times kept by this file system", cases_.size(), all.size());
    QVERIFY(cases_.size() >= 7);

    DiscCataloguer run(host_.session(), [this](QChar) { return root_; });
    QVERIFY(run.catalogue(QStringLiteral("C"), QStringLiteral("e:\\"), [] { return QString(); }));
    QVERIFY(run.catalogue(QStringLiteral("C"), QStringLiteral("e:\\"), [] { return QString(); }));
    host_.catalogue.connection.exec("delete from search_index where id_cd = 2");
}

void TimestampsTest::cleanupTestCase()
{
    if (mounted_)
        ::umount2(QFile::encodeName(root_).constData(), MNT_DETACH);
}

void TimestampsTest::everyTimeBecomesASoundDate()
{
    const QRegularExpression form(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"));
    for (const Case& c : cases_) {
        Query query(host_.connection());
        query.openWith(QStringLiteral("select data from files where nome = :n and id_cd = 1"),
                       {{QStringLiteral("n"), QString::fromLatin1(c.name) + QStringLiteral(".txt")}});
        QVERIFY2(!query.eof(), c.name);
        const QString stored = query.value(0).toString();
        QVERIFY2(form.match(stored).hasMatch(), qPrintable(stored));
        QCOMPARE(stored, QString::fromLatin1(c.stored));
    }
    // The grid shows every one of them as a date.
    ResultSet result(host_.connection());
    result.open(SearchStatement(SearchCriteria{}));
    QCOMPARE(result.rowCount(), qsizetype(2 * cases_.size()));
    ResultModel model(result);
    for (int row = 0; row < model.rowCount(); ++row) {
        const QString shown = model.index(row, ResultModel::Date).data().toString();
        QVERIFY2(!shown.isEmpty(), qPrintable(result.rows().data(row)));
    }
}

void TimestampsTest::dateFiltersAgreeWithTheStatement()
{
    const QList<QPair<QDate, QDate>> ranges = {
        {QDate(1, 1, 1), QDate(1969, 12, 31)},   {QDate(1970, 1, 1), QDate(1970, 1, 1)},
        {QDate(2038, 1, 19), QDate(2106, 2, 7)}, {QDate(2039, 1, 1), QDate(9999, 12, 31)},
        {QDate(1, 1, 1), QDate(1, 1, 1)},
    };
    ResultSet result(host_.connection());
    for (const auto& [from, to] : ranges) {
        SearchCriteria criteria;
        criteria.byDateFrom = criteria.byDateTo = true;
        criteria.dateFrom = QDateTime(from, QTime(0, 0, 0));
        criteria.dateTo = QDateTime(to, QTime(23, 59, 59));
        const SearchStatement statement(criteria);
        result.open(statement);
        QStringList fromIndex, fromStatement;
        for (qsizetype row = 0; row < result.rowCount(); ++row)
            fromIndex << result.rows().cdid(row) + result.rows().file(row) + result.rows().data(row);
        Query plain(host_.connection());
        for (plain.openWith(statement.text(), statement.params()); !plain.eof(); plain.next())
            fromStatement << plain.value(0).toString() + plain.value(1).toString() +
                                 plain.value(3).toString();
        QCOMPARE(fromIndex, fromStatement);
        // Both discs answer alike: one through its index, one through the statement.
        QCOMPARE(fromIndex.filter(QStringLiteral("C0001")).size(), fromIndex.size() / 2);
    }
}

QTEST_MAIN(TimestampsTest)
#include "timestamps_test.moc"
