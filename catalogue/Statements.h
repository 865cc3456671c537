#pragma once

#include <QString>

// The statement texts the program runs on the work query.
namespace Statements
{
inline const QString NewDiscId = QStringLiteral("select max(cd.id)+1 as new_id from cd");
inline const QString InsertDisc =
    QStringLiteral("insert into cd (id, etichetta, tipo, data) values (:vid, :vetichetta, :vtipo, :vdata)");
inline const QString NewFileId = QStringLiteral("select max(files.id)+1 as new_id from files");
inline const QString InsertFile = QStringLiteral(
    "insert or fail into files (id, id_cd, nome, path, estensione, dimensione, data) values (:vid, "
    ":vid_cd, :vnome, :vpath, :vestensione, :vdimensione, :vdata)");
inline const QString DeleteDiscFiles = QStringLiteral("delete from files where id_cd = ");
inline const QString DeleteDisc = QStringLiteral("delete from cd where id = ");
inline const QString DiscList = QStringLiteral("select cd.id as id, tipo from cd order by id desc");
// Every disc list runs this one: DiscList's rows in its order, with the date that tells a row
// from a later disc under the same id, and the volume label.
inline const QString DiscRows = QStringLiteral("select id, tipo, data, etichetta from cd order by id desc");
// The remembered disc's row, compared exactly: the type letter without the column's case folding.
inline const QString SameDisc =
    QStringLiteral("select 1 from cd where id = :vid and tipo = :vtipo collate binary and data is :vdata");
inline const QString FileCounts = QStringLiteral("select id_cd, count(*) as files from files group by id_cd");
inline const QString ExtensionList =
    QStringLiteral("select distinct files.estensione from files order by estensione asc");
// The disc label inside SQL: the type letter and the id with at least four digits.
inline const QString DiscLabelExpression = QStringLiteral("cd.tipo || printf('%04d', cd.id)");
} // namespace Statements
