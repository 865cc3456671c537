#include "app/ui/UnMyForm.h"
#include "catalogue/Catalogue.h"
#include "maintenance/DiscCataloguer.h"
#include "maintenance/ui/DiscUpdateWindow.h"
#include "search/ResultSet.h"
#include "search/ui/DiscDetails.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WhenShown.h"
#include "tests/support/WindowChild.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

// Disc details' "Update…" in the running program: the Update disc window reads the folder the
// disc was catalogued from, shows what changed, and OK writes it; Disc details then shows the
// disc as it is now.
class DiscUpdateTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void updateFromDiscDetails();
};

namespace
{
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}
} // namespace

void DiscUpdateTest::updateFromDiscDetails()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("disc"));
    QVERIFY(QDir().mkpath(folder));
    for (const char* name : {"a.txt", "b.txt", "c.txt"})
        writeFile(folder + QLatin1Char('/') + QLatin1String(name), name);
    TestCatalogue cat;
    {
        Catalogue writer;
        writer.connect(cat.path());
        DiscCataloguer run(writer);
        run.searcher().mapDrive(QLatin1Char('d'), folder);
        QVERIFY(run.catalogue(QStringLiteral("C"), QStringLiteral("d:\\"), [] { return QString(); }));
    }
    QVERIFY(QFile::remove(folder + QStringLiteral("/b.txt")));
    writeFile(folder + QStringLiteral("/d.txt"), "new");

    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path(), dir.filePath(QStringLiteral("tessaro.ini")));
    form.show();
    windowChild<QCheckBox>(form, "CheckBox2")->setChecked(true);
    windowChild<QLineEdit>(form, "Edit2")->setText(QStringLiteral("*.txt"));
    form.search();
    QCOMPARE(form.resultQuery().rowCount(), 3);

    QString counts;
    QStringList listed;
    QString facts;
    whenShown<TfrmDiscDetails>([&](TfrmDiscDetails* details) {
        whenShown<DiscUpdateWindow>([&](DiscUpdateWindow* window) {
            // The reading starts as the window shows and runs the event loop: OK once it has
            // shown what changed, looked for from a timer, never by waiting here.
            auto* label = windowChild<QLabel>(*window, "LabelCounts");
            auto* poll = new QTimer(window);
            QObject::connect(poll, &QTimer::timeout, window, [&, window, label, poll] {
                if (label->text().isEmpty())
                    return;
                poll->stop();
                counts = label->text();
                auto* list = windowChild<QTreeWidget>(*window, "ListChanges");
                for (int i = 0; i < list->topLevelItemCount(); ++i)
                    listed << list->topLevelItem(i)->text(0) + list->topLevelItem(i)->text(1);
                windowChild<QPushButton>(*window, "ButtonOK")->click();
            });
            poll->start(20);
        });
        windowChild<QPushButton>(*details, "ButtonUpdate")->click();
        facts = windowChild<QLabel>(*details, "LabelFacts")->text();
        windowChild<QPushButton>(*details, "ButtonCancel")->click();
    });
    form.ShowDiscDetails(0);
    QCOMPARE(counts, QStringLiteral("1 added, 1 removed, 0 changed, 2 unchanged"));
    QCOMPARE(listed, (QStringList{QStringLiteral("+\\d.txt"), QStringLiteral("-\\b.txt")}));
    QVERIFY2(facts.contains(QStringLiteral(", updated ")) && facts.contains(QStringLiteral("3 files")),
             qPrintable(facts));
    QVERIFY2(messages.messages.isEmpty() && messages.errors.isEmpty() && messages.questions.isEmpty(),
             qPrintable((messages.messages + messages.errors + messages.questions).join('|')));

    // The catalogue holds the disc as it is now, and the main window's search finds it so.
    form.search();
    QStringList files;
    for (qsizetype i = 0; i < form.resultQuery().rowCount(); ++i)
        files << form.resultQuery().rows().file(i);
    files.sort();
    QCOMPARE(files,
             (QStringList{QStringLiteral("\\a.txt"), QStringLiteral("\\c.txt"), QStringLiteral("\\d.txt")}));
}

QTEST_MAIN(DiscUpdateTest)
#include "discupdate_test.moc"
