#include "search/ui/DiscDetails.h"

#include "catalogue/Catalogue.h"
#include "catalogue/DiscLabel.h"
#include "catalogue/DiscRecord.h"
#include "catalogue/Transaction.h"
#include "catalogue/Verifications.h"
#include "common/ShownDate.h"
#include "common/TessaroError.h"
#include "common/ui/Panels.h"
#include "search/DiscTree.h"
#include "search/ui/CoverageLabel.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{
constexpr int kFolderRole = Qt::UserRole;     // a folder item's folder in the disc's tree
constexpr int kLoadedRole = Qt::UserRole + 1; // its files are in the tree

QString bytes(qint64 value)
{
    return QLocale::c().toString(value);
}
} // namespace

TfrmDiscDetails::TfrmDiscDetails(Catalogue& catalogue, QWidget* parent)
    : QDialog(parent), catalogue_(catalogue)
{
    setObjectName(QStringLiteral("frmDiscDetails"));
    setWindowTitle(QStringLiteral("Disc details"));
    setFixedSize(560, 460);
    QFrame* panel = Panels::outerPanel(this, Panels::SkyBlue);
    panel->setGeometry(0, 0, width(), height());

    auto* grid = new QGridLayout(panel);
    // The caption bar takes the top 20 pixels.
    grid->setContentsMargins(8, 26, 8, 8);
    discName_ = new QLabel(panel);
    discName_->setObjectName(QStringLiteral("LabelDisc"));
    QFont bold = Panels::windowFont(13);
    bold.setBold(true);
    discName_->setFont(bold);
    facts_ = new QLabel(panel);
    facts_->setObjectName(QStringLiteral("LabelFacts"));
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    location_ = new QLineEdit(panel);
    location_->setObjectName(QStringLiteral("EditLocation"));
    notes_ = new QPlainTextEdit(panel);
    notes_->setObjectName(QStringLiteral("MemoNotes"));
    notes_->setFixedHeight(48);
    // Tab moves on, as in every other field; the notes are plain lines.
    notes_->setTabChangesFocus(true);
    folders_ = new QTreeWidget(panel);
    folders_->setObjectName(QStringLiteral("TreeFolders"));
    folders_->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Files"), QStringLiteral("Size"), QStringLiteral("Date")});
    folders_->header()->setStretchLastSection(false);
    folders_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    folders_->setColumnWidth(1, 60);
    folders_->setColumnWidth(2, 100);
    folders_->setColumnWidth(3, 120);
    folders_->setUniformRowHeights(true);
    connect(folders_, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { loadFiles(item); });
    error_ = new QLabel(panel);
    error_->setObjectName(QStringLiteral("LabelError"));
    // The buttons of the other windows: their size, mnemonics and hints, and no default button,
    // so that Enter and Escape close nothing.
    auto* okButton = new QPushButton(QStringLiteral("&OK"), panel);
    okButton->setObjectName(QStringLiteral("ButtonOK"));
    auto* cancelButton = new QPushButton(QStringLiteral("&Cancel"), panel);
    cancelButton->setObjectName(QStringLiteral("ButtonCancel"));
    for (auto [button, hint] : {std::pair{okButton, QStringLiteral("Confirm")},
                                std::pair{cancelButton, QStringLiteral("Cancel")}}) {
        button->setAutoDefault(false);
        button->setDefault(false);
        button->setFixedSize(51, 22);
        button->setToolTip(hint);
        button->setStatusTip(hint);
    }
    update_ = new QPushButton(QStringLiteral("&Update\u2026"), panel);
    update_->setObjectName(QStringLiteral("ButtonUpdate"));
    update_->setAutoDefault(false);
    update_->setFixedSize(64, 22);
    update_->setToolTip(QStringLiteral("Update the disc from its medium"));
    update_->setStatusTip(update_->toolTip());
    update_->hide();
    connect(update_, &QPushButton::clicked, this, [this] {
        if (!updateAction_ || !updateAction_(disc_))
            return;
        // The label and the volume label stay; the rows, totals and update date are new.
        try {
            if (const std::optional<DiscStore::DiscRow> now = catalogue_.findDisc(disc_.label()))
                showDisc(*now);
        } catch (const TessaroError& error) {
            error_->setText(error.message());
        }
    });
    connect(okButton, &QPushButton::clicked, this, &TfrmDiscDetails::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // Shown once a verification window is handed in.
    verifyButton_ = new QPushButton(QStringLiteral("&Verify…"), panel);
    verifyButton_->setObjectName(QStringLiteral("ButtonVerify"));
    verifyButton_->setAutoDefault(false);
    verifyButton_->setFixedSize(72, 22);
    verifyButton_->setToolTip(QStringLiteral("Read the disc against the catalogue"));
    verifyButton_->setStatusTip(verifyButton_->toolTip());
    verifyButton_->hide();
    connect(verifyButton_, &QPushButton::clicked, this, &TfrmDiscDetails::verifyClick);
    coverage_ = new CoverageLabel(panel);

    grid->addWidget(discName_, 0, 0, 1, 4);
    auto* facts = new QVBoxLayout;
    facts->setSpacing(0);
    facts->addWidget(facts_);
    facts->addWidget(coverage_);
    grid->addLayout(facts, 1, 0, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Location:"), panel), 2, 0);
    grid->addWidget(location_, 2, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Notes:"), panel), 3, 0, Qt::AlignTop);
    grid->addWidget(notes_, 3, 1, 1, 3);
    grid->addWidget(folders_, 4, 0, 1, 4);
    auto* discButtons = new QHBoxLayout;
    discButtons->setSpacing(6);
    discButtons->addWidget(verifyButton_);
    discButtons->addWidget(update_);
    grid->addLayout(discButtons, 5, 0);
    grid->addWidget(error_, 5, 1);
    grid->addWidget(cancelButton, 5, 2);
    grid->addWidget(okButton, 5, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
}

void TfrmDiscDetails::showDisc(const DiscStore::DiscRow& disc, const QString& path, const QString& name)
{
    disc_ = disc;
    error_->clear();
    folders_->clear();
    Transaction read(catalogue_.connection(), Transaction::Kind::Deferred);
    tree_ = DiscTree::load(catalogue_.connection(), disc.id);
    const DiscTree& tree = tree_;
    const std::optional<DiscRecord> record = DiscRecords::find(catalogue_.connection(), disc);
    const DiscTree::Folder& root = tree.folders().front();
    // Only an updated disc says when: the window of one never updated is as it always was.
    const QString updated = record && !record->updated.isEmpty()
                                ? QStringLiteral(", updated %1").arg(ShownDate::text(record->updated))
                                : QString();

    discName_->setText(disc.volumeLabel.isEmpty()
                           ? disc.label()
                           : QStringLiteral("%1   %2").arg(disc.label(), disc.volumeLabel));
    QString facts = QStringLiteral("%1, catalogued %2%3\n%4 folders, %5 files, %6 bytes")
                        .arg(discTypeName(disc.type), ShownDate::text(disc.date.toString()), updated)
                        .arg(record ? record->folders : qint64(tree.folders().size()))
                        .arg(root.allFiles)
                        .arg(bytes(root.allBytes));
    if (record && record->totalSpace)
        facts += QStringLiteral("\nMedium: %1 bytes, %2 bytes free")
                     .arg(bytes(*record->totalSpace), bytes(record->freeSpace.value_or(0)));
    if (record && !record->fileSystemId.isEmpty())
        facts += QStringLiteral("\nFile system id: %1").arg(record->fileSystemId);
    // A long path is shortened in its middle to the window's width; the tip shows it whole.
    const QString source = record ? record->source : QString();
    const QString sourceLine = QStringLiteral("Source: ");
    if (!source.isEmpty())
        facts +=
            QLatin1Char('\n') + sourceLine +
            facts_->fontMetrics().elidedText(
                source, Qt::ElideMiddle, width() - 16 - facts_->fontMetrics().horizontalAdvance(sourceLine));
    facts_->setToolTip(source);
    factsText_ = facts;
    showFacts();
    coverage_->showDisc(catalogue_.connection().path(), disc.id);
    location_->setText(record ? record->location : QString());
    notes_->setPlainText(record ? record->notes : QString());
    const bool canSave = DiscRecords::present(catalogue_.connection()) && !catalogue_.connection().readOnly();
    location_->setReadOnly(!canSave);
    notes_->setReadOnly(!canSave);
    update_->setEnabled(!catalogue_.connection().readOnly());

    // Every folder at once; files only as their folder opens.
    std::vector<QTreeWidgetItem*> items(tree.folders().size(), nullptr);
    for (std::size_t i = 0; i < tree.folders().size(); ++i) {
        const DiscTree::Folder& folder = tree.folders()[i];
        auto* item = new QTreeWidgetItem();
        item->setText(0, folder.parent < 0 ? QStringLiteral("\\") : folder.name);
        item->setText(1, QString::number(folder.allFiles));
        item->setText(2, bytes(folder.allBytes));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setData(0, kFolderRole, int(i));
        if (folder.files > 0)
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        items[i] = item;
    }
    for (std::size_t i = 0; i < tree.folders().size(); ++i) {
        QList<QTreeWidgetItem*> children;
        for (const int child : tree.folders()[i].children)
            children.append(items[std::size_t(child)]);
        items[i]->addChildren(children);
    }
    folders_->addTopLevelItem(items.front());

    int at = path.isEmpty() ? 0 : tree.find(path);
    if (at < 0)
        at = 0;
    QTreeWidgetItem* folder = items[std::size_t(at)];
    for (QTreeWidgetItem* up = folder; up; up = up->parent())
        up->setExpanded(true);
    QTreeWidgetItem* current = folder;
    for (int i = 0; i < folder->childCount(); ++i) {
        QTreeWidgetItem* child = folder->child(i);
        if (!child->data(0, kFolderRole).isValid() && child->text(0) == name) {
            current = child;
            break;
        }
    }
    folders_->setCurrentItem(current);
    folders_->scrollToItem(current);
}

void TfrmDiscDetails::setUpdateAction(std::function<bool(const DiscStore::DiscRow&)> update)
{
    updateAction_ = std::move(update);
    update_->setVisible(bool(updateAction_));
}

void TfrmDiscDetails::showFacts()
{
    QString facts = factsText_;
    if (Verifications::present(catalogue_.connection())) {
        const std::optional<Verification> last = Verifications::last(catalogue_.connection(), disc_);
        facts += last ? QStringLiteral("\nLast verified: %1, %2")
                            .arg(ShownDate::text(last->verified), last->problems())
                      : QStringLiteral("\nNever verified");
    }
    facts_->setText(facts);
}

void TfrmDiscDetails::setVerify(std::function<void(const DiscStore::DiscRow&)> verify)
{
    verify_ = std::move(verify);
    verifyButton_->setVisible(bool(verify_));
}

void TfrmDiscDetails::verifyClick()
{
    if (!verify_)
        return;
    verify_(disc_);
    try {
        showFacts();
    } catch (const TessaroError& error) {
        error_->setText(error.message());
    }
}

void TfrmDiscDetails::loadFiles(QTreeWidgetItem* folder)
{
    if (folder->data(0, kLoadedRole).toBool())
        return;
    folder->setData(0, kLoadedRole, true);
    const int at = folder->data(0, kFolderRole).toInt();
    // Most folders of a deep disc hold only folders: no statement for them.
    if (tree_.folders()[std::size_t(at)].files == 0)
        return;
    try {
        QList<QTreeWidgetItem*> files;
        for (const DiscTree::File& file :
             DiscTree::files(catalogue_.connection(), disc_.id, tree_.path(at))) {
            auto* item =
                new QTreeWidgetItem({file.name, QString(), bytes(file.size), ShownDate::text(file.date)});
            item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
            files.append(item);
        }
        folder->addChildren(files);
    } catch (const TessaroError& error) {
        error_->setText(error.message());
    }
}

void TfrmDiscDetails::confirm()
{
    if (location_->isReadOnly()) {
        accept();
        return;
    }
    try {
        DiscRecords::setTexts(catalogue_.connection(), disc_, location_->text(), notes_->toPlainText());
        accept();
    } catch (const TessaroError& error) {
        error_->setText(error.message());
    }
}
