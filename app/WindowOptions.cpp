#include "app/WindowOptions.h"

namespace
{
const QString kCatalogue = QStringLiteral("--catalogue");
} // namespace

WindowOptions WindowOptions::parse(const QStringList& arguments, const QString& environmentCatalogue)
{
    WindowOptions options;
    QStringList catalogues;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == QLatin1String("-h") || word == QLatin1String("--help")) {
            options.help = true;
        } else if (word == QLatin1String("-V") || word == QLatin1String("--version")) {
            options.version = true;
        } else if (word == kCatalogue) {
            if (i + 1 == arguments.size()) {
                options.error = QStringLiteral("missing value after --catalogue");
                return options;
            }
            catalogues.append(arguments.at(++i));
        } else if (word.startsWith(kCatalogue + QLatin1Char('='))) {
            catalogues.append(word.mid(kCatalogue.size() + 1));
        } else {
            options.error = word.startsWith(QLatin1Char('-'))
                                ? QStringLiteral("unknown option %1").arg(word)
                                : QStringLiteral("unexpected argument %1").arg(word);
            return options;
        }
    }
    if (catalogues.size() > 1) {
        options.error = QStringLiteral("--catalogue given more than once");
    } else if (!catalogues.isEmpty()) {
        // An unset variable in a script must not fall back to another catalogue.
        if (catalogues.first().isEmpty())
            options.error = QStringLiteral("--catalogue takes a file name; the empty name is none");
        options.catalogue = catalogues.first();
    } else {
        options.catalogue = environmentCatalogue;
    }
    return options;
}

bool WindowOptions::asksForTextOnly(const QStringList& arguments)
{
    for (const QString& word : arguments) {
        if (word == kCatalogue)
            return false; // what follows is a file name, and the rest is for the parse
        if (word == QLatin1String("-h") || word == QLatin1String("--help") || word == QLatin1String("-V") ||
            word == QLatin1String("--version"))
            return true;
    }
    return false;
}

QString WindowOptions::helpText()
{
    return QStringLiteral("Usage: tessaro [--catalogue FILE]\n"
                          "A catalogue of the files on your CDs and DVDs.\n"
                          "\n"
                          "  --catalogue FILE  use this catalogue (else $TESSARO_CATALOGUE, else the\n"
                          "                    program's own archive.mdb)\n"
                          "  -h, --help        print this help and exit\n"
                          "  -V, --version     print the version and exit\n"
                          "\n"
                          "The catalogue from the command line: tessaro-cli --help\n");
}

QString WindowOptions::versionText()
{
    return QStringLiteral("tessaro " TESSARO_VERSION "\n");
}
