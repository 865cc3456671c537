#include "catalogue/Catalogue.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "cli/DiscUuids.h"
#include "cli/FieldText.h"
#include "cli/JsonText.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/DiscTree.h"

#include <QCommandLineParser>

#include <utility>
#include <vector>

namespace
{
QString folderPath(QString folder)
{
    folder.replace(QLatin1Char('/'), QLatin1Char('\\'));
    if (!folder.startsWith(QLatin1Char('\\')))
        folder.prepend(QLatin1Char('\\'));
    if (!folder.endsWith(QLatin1Char('\\')))
        folder.append(QLatin1Char('\\'));
    return folder;
}

void folderLine(const QString& path, const DiscTree::Folder& folder, bool json)
{
    if (json)
        Output::line(JsonObject()
                         .text("folder", path)
                         .number("files", folder.allFiles)
                         .number("size", folder.allBytes)
                         .line());
    else
        Output::line(
            QStringList{fieldText(path), QString::number(folder.allFiles), QString::number(folder.allBytes)}
                .join(QLatin1Char('\t')));
}
} // namespace

int cmdTree(const CliContext& context)
{
    const QString wanted = context.args.first();
    const bool json = context.options->isSet(QStringLiteral("json"));
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    // The tree and the folder's files as one moment of the catalogue.
    Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
    const DiscStore::DiscRow disc = namedDisc(catalogue, wanted);
    const DiscTree tree = DiscTree::load(catalogue.connection(), disc.id);
    const DiscUuids uuids = json ? DiscUuids(catalogue) : DiscUuids();
    if (context.args.size() < 2) {
        // Depth first, children by name, so every folder follows its parent. One path is
        // grown and cut back on the way, never one kept per folder.
        QString path;
        std::vector<std::pair<int, qsizetype>> stack{{0, 0}}; // folder, its parent's path length
        while (!stack.empty()) {
            const auto [at, parentLength] = stack.back();
            stack.pop_back();
            const DiscTree::Folder& folder = tree.folders()[std::size_t(at)];
            path.truncate(parentLength);
            if (folder.parent >= 0)
                path += folder.name;
            path += QLatin1Char('\\');
            folderLine(path, folder, json);
            for (auto child = folder.children.rbegin(); child != folder.children.rend(); ++child)
                stack.emplace_back(*child, path.size());
        }
        return 0;
    }
    const int at = tree.find(folderPath(context.args.at(1)));
    if (at < 0)
        throw TessaroError(
            QStringLiteral("No folder %1 on %2").arg(folderPath(context.args.at(1)), disc.label()));
    const DiscTree::Folder& folder = tree.folders()[std::size_t(at)];
    const QString path = tree.path(at);
    for (const int child : folder.children)
        folderLine(path + tree.folders()[std::size_t(child)].name + QLatin1Char('\\'),
                   tree.folders()[std::size_t(child)], json);
    for (const DiscTree::File& file : DiscTree::files(catalogue.connection(), disc.id, path)) {
        if (json)
            Output::line(JsonObject()
                             .text("disc", disc.label())
                             .text("uuid", uuids.of(disc.label()))
                             .text("path", path)
                             .text("name", file.name)
                             .text("date", file.date)
                             .number("size", file.size)
                             .line());
        else
            Output::line(
                QStringList{fieldText(path + file.name), fieldText(file.date), QString::number(file.size)}
                    .join(QLatin1Char('\t')));
    }
    return 0;
}
