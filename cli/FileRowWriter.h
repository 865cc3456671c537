#pragma once

#include "cli/DiscUuids.h"

#include <QString>
#include <QtGlobal>

class QCommandLineParser;

// One file per line in the forms the search command writes: tab-separated (escaped), CSV with a
// header, JSON Lines, disc label and full name NUL-ended, or only the count. Commands that list files share
// it.
class FileRowWriter
{
  public:
    enum class Form { Tabs, Count, Csv, Json, Null };

    // The form chosen by --count, --csv, --json or --null (at most one); tabs by default.
    explicit FileRowWriter(const QCommandLineParser& options);

    Form form() const { return form_; }
    // The JSON form gives each row's disc UUID: read once from the catalogue, before the rows.
    void knowDiscs(Catalogue& catalogue)
    {
        if (form_ == Form::Json)
            uuids_ = DiscUuids(catalogue);
    }
    // The CSV header, when CSV is written.
    void begin();
    void row(const QString& disc, const QString& path, const QString& name, const QString& date, qint64 size);
    // The count (--count), or the count on standard error once every row is out (not when quiet).
    void end(qint64 found, bool quiet = false);

  private:
    Form form_ = Form::Tabs;
    DiscUuids uuids_;
};
