#include "search/FilterLists.h"

#include "catalogue/DiscLabel.h"
#include "catalogue/Query.h"
#include "catalogue/Statements.h"

namespace FilterLists
{
QStringList discLabels(Query& work)
{
    QStringList labels;
    work.openWith(Statements::DiscList);
    for (; !work.eof(); work.next())
        labels.append(
            discLabel(work.fieldAsString(QStringLiteral("tipo")), work.fieldAsInt(QStringLiteral("id"))));
    work.close();
    return labels;
}

QStringList extensionEntries(Query& work)
{
    QStringList entries;
    work.openWith(Statements::ExtensionList);
    for (; !work.eof(); work.next()) {
        QString entry;
        if (extensionEntry(work.value(0).toString(), entry))
            entries.append(entry);
    }
    work.close();
    return entries;
}

QString foldAsciiLower(QString text)
{
    for (QChar& c : text) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return text;
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
    const QString text = trimControls(foldAsciiLower(stored));
    if (text.isEmpty())
        return false;
    entry = text.mid(1);
    return true;
}
} // namespace FilterLists
