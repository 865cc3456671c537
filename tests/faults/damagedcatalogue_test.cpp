#include "app/ui/UnMyForm.h"
#include "catalogue/Connection.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "catalogue/Statements.h"
#include "common/TessaroError.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

// A damaged catalogue either opens, with errors reported per statement, or ends with the
// start-up message; it never crashes the program.
class DamagedCatalogueTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void damage_data();
    void damage();
    void removeButtonReportsAnUnreadableDiscList();
};

namespace
{
QString buildCatalogue(TestCatalogue& cat)
{
    cat.connection.exec("BEGIN");
    for (int d = 0; d < 3; ++d) {
        const qint64 disc = cat.addDisc(d % 2 ? QStringLiteral("D") : QStringLiteral("C"));
        for (int f = 0; f < 400; ++f)
            cat.addFile(disc, QStringLiteral("\\folder%1\\").arg(f % 17),
                        QStringLiteral("file%1.txt").arg(f));
    }
    cat.connection.exec("COMMIT");
    cat.connection.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    cat.work->close();
    cat.connection.disconnect();
    return cat.path();
}
} // namespace

void DamagedCatalogueTest::damage_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("seed");
    QTest::newRow("truncated to half") << "truncate-half" << 0;
    QTest::newRow("truncated to one page") << "truncate-page" << 0;
    QTest::newRow("header zeroed") << "zero-header" << 0;
    for (int seed = 1; seed <= 12; ++seed)
        QTest::newRow(qPrintable(QStringLiteral("random pages overwritten %1").arg(seed)))
            << "scribble" << seed;
}

void DamagedCatalogueTest::damage()
{
    QFETCH(QString, how);
    QFETCH(int, seed);
    TestCatalogue cat;
    const QString path = buildCatalogue(cat);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 size = file.size();
    if (how == QLatin1String("truncate-half")) {
        QVERIFY(file.resize(size / 2));
    } else if (how == QLatin1String("truncate-page")) {
        QVERIFY(file.resize(4096));
    } else if (how == QLatin1String("zero-header")) {
        file.write(QByteArray(100, '\0'));
    } else {
        QRandomGenerator random{quint32(seed)};
        for (int i = 0; i < 4; ++i) {
            file.seek(random.bounded(size));
            QByteArray junk(int(random.bounded(1, 4096)), '\0');
            for (auto& byte : junk)
                byte = char(random.bounded(256));
            file.write(junk);
        }
    }
    file.close();

    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, path);
    if (!session.connection().connected()) {
        QCOMPARE(messages.messages,
                 QStringList{QStringLiteral("Unable to connect to DB, program will be closed")});
        return;
    }
    // Opened: every statement either works or raises the program error.
    const QString statements[] = {Statements::DiscList, Statements::ExtensionList, Statements::NewFileId,
                                  QStringLiteral("select * from files order by id_cd, path, nome")};
    for (const QString& sql : statements) {
        try {
            session.work().openWith(sql);
            while (!session.work().eof())
                session.work().next();
        } catch (const TessaroError&) {
        }
    }
    try {
        session.work().execWith(Statements::DeleteDiscFiles + QStringLiteral("1"));
    } catch (const TessaroError&) {
    }
    QVERIFY(session.connection().connected());
}

void DamagedCatalogueTest::removeButtonReportsAnUnreadableDiscList()
{
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    QVERIFY(session.connection().connected());
    session.work().execWith(QStringLiteral("drop table cd"));
    form.removeDisc();
    QCOMPARE(messages.errors.size(), 1);
    QVERIFY2(messages.errors.first().contains(QLatin1String("no such table: cd")),
             qPrintable(messages.errors.first()));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

QTEST_MAIN(DamagedCatalogueTest)
#include "damagedcatalogue_test.moc"
