#include "scan/FileNameText.h"

namespace
{
// 0x80-0x9F of Windows-1252; its five unassigned bytes keep the control characters of Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString windows1252(const char* name, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(name[i]);
        out[i] = QChar(byte >= 0x80 && byte <= 0x9F ? kHigh[byte - 0x80] : char16_t(byte));
    }
    return text;
}
} // namespace

QString nameWithoutSeparator(QString name)
{
    if (name.contains(QLatin1Char('\\')))
        name.replace(QLatin1Char('\\'), QChar(kBackslashInName));
    return name;
}

QString fileNameText(const char* name, qsizetype size)
{
    QString text = QString::fromUtf8(name, size);
    // Qt puts U+FFFD for every byte it cannot read; a name may also spell U+FFFD itself.
    if (text.contains(QChar::ReplacementCharacter) && text.toUtf8() != QByteArrayView(name, size))
        text = windows1252(name, size);
    return nameWithoutSeparator(std::move(text));
}

QStringList pathNameTexts(QByteArrayView path)
{
    QStringList names;
    qsizetype start = 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf('/', start);
        if (end < 0)
            end = path.size();
        if (end > start)
            names.append(fileNameText(path.data() + start, end - start));
        start = end + 1;
    }
    return names;
}
