#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QLocale>
#include <QPointer>
#include <vector>

class ResultSet;

// The result query as the grid sees it: four read-only columns, CD, File, Date and Dim.,
// in the statement's row order until sort() orders them by a column (each new result comes in
// the statement's order again); the extension rides along for the file column's icon.
class ResultModel : public QAbstractTableModel
{
    Q_OBJECT
  public:
    enum Column { Cd, File, Date, Size, ColumnCount };
    static constexpr int ExtensionRole = Qt::UserRole + 1;

    explicit ResultModel(const ResultSet& result, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // By a column, ties in the statement's order; a column below 0 restores the statement's order.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The row of the result query that a row of the model shows.
    qsizetype resultRow(int row) const { return order_.empty() ? row : qsizetype(order_[size_t(row)]); }

    // A catalogue date ("YYYY-MM-DD HH:MM:SS") in the locale's short date and long time,
    // without a time zone, and without the time when it is exactly midnight. Text in any
    // other form is shown as it is.
    static QString dateText(const QString& catalogueDate, const QLocale& locale);

  private:
    void readLocale();
    QString dateOf(qsizetype row) const;

    QPointer<const ResultSet> result_; // the result query may go before the grid does
    std::vector<quint32> order_;       // result rows in the order shown; empty: the statement's
    QLocale locale_;
    QString dateFormat_;
    QString timeFormat_;
    // Formatting through the locale is slow and dates repeat: each day and each time of
    // day is formatted once.
    mutable QHash<qint64, QString> days_;
    mutable QHash<int, QString> times_;
};
