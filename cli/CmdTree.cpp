#include "catalogue/Catalogue.h"
#include "catalogue/Transaction.h"
#include "cli/Commands.h"
#include "cli/FieldText.h"
#include "cli/NamedDisc.h"
#include "cli/Output.h"
#include "common/TessaroError.h"
#include "search/DiscTree.h"

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

void folderLine(const DiscTree::Folder& folder)
{
    Output::line(QStringList{fieldText(folder.path), QString::number(folder.allFiles),
                             QString::number(folder.allBytes)}
                     .join(QLatin1Char('\t')));
}
} // namespace

int cmdTree(const CliContext& context)
{
    const QString wanted = context.args.first();
    Catalogue& catalogue = context.catalogue;
    catalogue.connect(context.cataloguePath, Connection::Access::ReadOnly);
    // The tree and the folder's files as one moment of the catalogue.
    Transaction read(catalogue.connection(), Transaction::Kind::Deferred);
    const DiscStore::DiscRow disc = namedDisc(catalogue, wanted);
    const DiscTree tree = DiscTree::load(catalogue.connection(), disc.id);
    if (context.args.size() < 2) {
        // Depth first, children by name, so every folder follows its parent.
        std::vector<int> stack{0};
        while (!stack.empty()) {
            const DiscTree::Folder& folder = tree.folders()[std::size_t(stack.back())];
            stack.pop_back();
            folderLine(folder);
            stack.insert(stack.end(), folder.children.rbegin(), folder.children.rend());
        }
        return 0;
    }
    const int at = tree.find(folderPath(context.args.at(1)));
    if (at < 0)
        throw TessaroError(
            QStringLiteral("No folder %1 on %2").arg(folderPath(context.args.at(1)), disc.label()));
    const DiscTree::Folder& folder = tree.folders()[std::size_t(at)];
    for (const int child : folder.children)
        folderLine(tree.folders()[std::size_t(child)]);
    for (const DiscTree::File& file :
         DiscTree::files(catalogue.connection(), disc.id, tree.folders()[std::size_t(at)].path))
        Output::line(
            QStringList{fieldText(folder.path + file.name), fieldText(file.date), QString::number(file.size)}
                .join(QLatin1Char('\t')));
    return 0;
}
