#include "catalogue/Query.h"
#include "catalogue/searchindex/SearchIndex.h"
#include "search/ResultModel.h"
#include "search/ResultSet.h"
#include "search/SearchStatement.h"
#include "tests/support/TestCatalogue.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QRandomGenerator>
#include <QtTest>

// Sorting the grid by a column against SQLite's own ORDER BY over the same rows: discs by
// number, names as the catalogue's NOCASE compares them, dates and sizes by value, ties in the
// search's own order, either way round, for discs read from their search index and discs read
// by the plain statement alike.
class ResultOrderTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void sortsAsTheCatalogueOrders_data();
    void sortsAsTheCatalogueOrders();
};

void ResultOrderTest::sortsAsTheCatalogueOrders_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("key");
    QTest::newRow("disc") << int(ResultModel::Cd) << QStringLiteral("cd.id, cd.tipo");
    QTest::newRow("file") << int(ResultModel::File)
                          << QStringLiteral("(files.path || files.nome) collate nocase");
    QTest::newRow("date") << int(ResultModel::Date) << QStringLiteral("files.data");
    QTest::newRow("size") << int(ResultModel::Size) << QStringLiteral("files.dimensione");
}

void ResultOrderTest::sortsAsTheCatalogueOrders()
{
    QFETCH(int, column);
    QFETCH(QString, key);
    TestCatalogue cat;
    // Names that only a careful comparison orders right: case, a folder that is a prefix of a
    // name, letters beyond ASCII (NOCASE folds A to Z only), and many ties of size and date.
    const QStringList folders{QStringLiteral("\\"), QStringLiteral("\\a\\"), QStringLiteral("\\a\\b\\"),
                              QStringLiteral("\\A b\\"), QStringLiteral("\\\u00c9t\u00e9\\")};
    const QStringList names{QStringLiteral("b"),         QStringLiteral("B.txt"),     QStringLiteral("a\\"),
                            QStringLiteral("\u00e9lan"), QStringLiteral("\u00c9LAN"), QStringLiteral("z1"),
                            QStringLiteral("Z10"),       QStringLiteral("b c")};
    QRandomGenerator random(21);
    for (int disc = 1; disc <= 12; ++disc) {
        const qint64 id = cat.addDisc(disc % 3 == 0 ? QStringLiteral("D") : QStringLiteral("C"));
        for (const QString& folder : folders) {
            for (const QString& name : names) {
                if (random.bounded(3) == 0)
                    continue;
                cat.addFile(id, folder, name, random.bounded(4),
                            QStringLiteral("2021-0%1-1%2 10:00:0%3")
                                .arg(1 + random.bounded(3))
                                .arg(random.bounded(3))
                                .arg(random.bounded(2)));
            }
        }
        // Every other disc is searched through its index, the rest by the statement.
        if (disc % 2 == 0)
            QVERIFY(SearchIndex::indexDisc(cat.connection, id));
    }

    ResultSet result(cat.connection);
    result.open(SearchStatement(SearchCriteria{}));
    ResultModel model(result);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QItemSelectionModel selection(&model);
    const int chosen = 17;
    const QString chosenFile = model.index(chosen, ResultModel::Cd).data().toString() +
                               model.index(chosen, ResultModel::File).data().toString();
    selection.setCurrentIndex(model.index(chosen, ResultModel::File), QItemSelectionModel::Select);

    const auto shown = [&] {
        QStringList rows;
        for (int row = 0; row < model.rowCount(); ++row)
            rows << model.index(row, ResultModel::Cd).data().toString() +
                        model.index(row, ResultModel::File).data().toString() + QLatin1Char('|') +
                        model.index(row, ResultModel::Size).data().toString();
        return rows;
    };
    const auto ordered = [&](const QString& direction) {
        Query q(cat.connection);
        q.openWith(
            QStringLiteral("select cd.tipo || printf('%04d', cd.id) || files.path || files.nome || '|' ||"
                           " files.dimensione from cd, files where files.id_cd = cd.id order by %1 %2,"
                           " cd.id, files.path, files.nome")
                .arg(
                    key.split(QStringLiteral(", ")).join(QLatin1Char(' ') + direction + QStringLiteral(", ")),
                    direction));
        QStringList rows;
        for (; !q.eof(); q.next())
            rows << q.value(0).toString();
        return rows;
    };
    const QStringList statementOrder = shown();
    QVERIFY(statementOrder.size() > 300);

    for (const auto& [order, direction] : {std::pair{Qt::AscendingOrder, QStringLiteral("asc")},
                                           std::pair{Qt::DescendingOrder, QStringLiteral("desc")}}) {
        model.sort(column, order);
        QCOMPARE(shown(), ordered(direction));
        // The selection stays on its file.
        const QModelIndex current = selection.currentIndex();
        QCOMPARE(model.index(current.row(), ResultModel::Cd).data().toString() +
                     model.index(current.row(), ResultModel::File).data().toString(),
                 chosenFile);
    }
    model.sort(-1);
    QCOMPARE(shown(), statementOrder);
    // A new result comes in the statement's order.
    model.sort(column, Qt::DescendingOrder);
    result.open(SearchStatement(SearchCriteria{}));
    QCOMPARE(shown(), statementOrder);
}

QTEST_MAIN(ResultOrderTest)
#include "resultorder_test.moc"
