#pragma once

#include "catalogue/DiscStore.h"
#include "search/DiscTree.h"

#include <QDialog>
#include <functional>

class Catalogue;
class CoverageLabel;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// What the catalogue knows about one disc: its labels, type, date, counts and sizes, the
// location and notes (saved with OK), and its folder tree with each folder's files and size.
// Folders are made at once from the disc's tree; a folder's files are read when it opens.
class TfrmDiscDetails : public QDialog
{
    Q_OBJECT
  public:
    explicit TfrmDiscDetails(Catalogue& catalogue, QWidget* parent = nullptr);

    // Fills the window for the disc, opened at the folder `path` with the file `name` selected
    // (the root when the folder is not on the disc). Raises the program error when the
    // catalogue cannot be read.
    void showDisc(const DiscStore::DiscRow& disc, const QString& path = {}, const QString& name = {});
    // Shows the "Verify…" button, which hands the disc to `verify` (it returns once the
    // verification window is closed); hidden while there is none.
    void setVerify(std::function<void(const DiscStore::DiscRow&)> verify);

    QFrame* Panel1;
    QLabel* LabelDisc;
    QLabel* LabelFacts;
    QLineEdit* EditLocation;
    QPlainTextEdit* MemoNotes;
    QTreeWidget* TreeFolders;
    QPushButton* ButtonOK;
    QPushButton* ButtonCancel;
    QLabel* LabelError;

  private:
    void loadFiles(QTreeWidgetItem* folder);
    void okClick();
    void verifyClick();
    // The facts and the last verification of the disc.
    void showFacts();

    Catalogue& catalogue_;
    DiscStore::DiscRow disc_;
    DiscTree tree_; // the disc's folders, which the folder items stand for by index
    QString facts_; // what the catalogue says of the disc, without its last verification
    CoverageLabel* coverage_;
    QPushButton* verifyButton_;
    std::function<void(const DiscStore::DiscRow&)> verify_;
};
