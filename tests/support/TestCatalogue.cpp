#include "tests/support/TestCatalogue.h"

#include "catalogue/DiscStore.h"
#include "catalogue/Schema.h"
#include "catalogue/Statements.h"

#include <QFileInfo>

TestCatalogue::TestCatalogue() : connection(session.connection()), work(&session.work())
{
    Schema::createCatalogue(path());
    session.connect(path());
}

qint64 TestCatalogue::addDisc(const QString& type, const QString& label, qint64 id)
{
    if (id == 0)
        id = DiscStore::allocateDiscId(*work);
    work->execWith(Statements::InsertDisc,
                   {{QStringLiteral("vid"), id},
                    {QStringLiteral("vetichetta"), label},
                    {QStringLiteral("vtipo"), type},
                    {QStringLiteral("vdata"), QStringLiteral("2024-05-01 10:00:00")}});
    return id;
}

qint64 TestCatalogue::addFile(qint64 disc, const QString& path, const QString& name, qint64 size,
                              const QString& date)
{
    const qint64 id = DiscStore::allocateFileId(*work);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    work->execWith(Statements::InsertFile,
                   {{QStringLiteral("vid"), id},
                    {QStringLiteral("vid_cd"), disc},
                    {QStringLiteral("vnome"), name},
                    {QStringLiteral("vpath"), path},
                    {QStringLiteral("vestensione"), dot < 0 ? QString() : name.mid(dot)},
                    {QStringLiteral("vdimensione"), size},
                    {QStringLiteral("vdata"), date}});
    return id;
}

qint64 TestCatalogue::count(const QString& table)
{
    return scalar(QStringLiteral("select count(*) from ") + table).toLongLong();
}

QVariant TestCatalogue::scalar(const QString& sql)
{
    Query q(connection);
    q.openWith(sql);
    return q.eof() ? QVariant() : q.value(0);
}
