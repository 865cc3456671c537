#include "search/FilterLists.h"

#include "catalogue/Catalogue.h"
#include "common/AsciiCase.h"

namespace FilterLists
{
QStringList discLabels(Catalogue& catalogue)
{
    QStringList labels;
    for (const DiscStore::DiscRow& disc : catalogue.discs())
        labels.append(disc.label());
    return labels;
}

QStringList extensionEntries(Catalogue& catalogue)
{
    QStringList entries;
    for (const QString& stored : catalogue.extensions()) {
        QString entry;
        if (extensionEntry(stored, entry))
            entries.append(entry);
    }
    return entries;
}

QString trimControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

bool extensionEntry(const QString& stored, QString& entry)
{
    const QString text = trimControls(AsciiCase::lower(stored));
    if (text.isEmpty())
        return false;
    entry = text.mid(1);
    return true;
}
} // namespace FilterLists
