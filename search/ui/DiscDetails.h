#pragma once

#include "catalogue/DiscStore.h"
#include "search/DiscTree.h"

#include <QDialog>
#include <functional>

class Catalogue;
class CoverageLabel;
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
    // What "Update…" does with the disc shown (the maintenance windows, which this window cannot
    // see, are handed in by the main window); true when it changed the disc, which is then shown
    // anew. Without it there is no such button.
    void setUpdateAction(std::function<bool(const DiscStore::DiscRow&)> update);
    // Shows the "Verify…" button, which hands the disc to `verify` (it returns once the
    // verification window is closed); hidden while there is none.
    void setVerify(std::function<void(const DiscStore::DiscRow&)> verify);

  private:
    void loadFiles(QTreeWidgetItem* folder);
    // OK: keeps the location and the notes.
    void confirm();
    void verifyClick();
    // The facts and the last verification of the disc.
    void showFacts();

    Catalogue& catalogue_;
    DiscStore::DiscRow disc_;
    DiscTree tree_;    // the disc's folders, which the folder items stand for by index
    QLabel* discName_; // label and volume label
    QLabel* facts_;
    QLineEdit* location_;
    QPlainTextEdit* notes_;
    QTreeWidget* folders_;
    QLabel* error_;
    QPushButton* update_;
    std::function<bool(const DiscStore::DiscRow&)> updateAction_;
    QString factsText_; // what the catalogue says of the disc, without its last verification
    CoverageLabel* coverage_;
    QPushButton* verifyButton_;
    std::function<void(const DiscStore::DiscRow&)> verify_;
};
