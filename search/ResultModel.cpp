#include "search/ResultModel.h"

#include "common/ShownDate.h"
#include "search/ResultOrder.h"
#include "search/ResultSet.h"

#include <QDate>
#include <QTime>
#include <limits>

ResultModel::ResultModel(const ResultSet& result, QObject* parent)
    : QAbstractTableModel(parent), result_(&result)
{
    readLocale();
    connect(&result, &ResultSet::aboutToChange, this, [this] { beginResetModel(); });
    connect(&result, &ResultSet::changed, this, [this] {
        order_.clear();
        readLocale();
        endResetModel();
    });
    connect(&result, &QObject::destroyed, this, [this] {
        beginResetModel();
        result_ = nullptr;
        order_.clear();
        endResetModel();
    });
}

void ResultModel::readLocale()
{
    locale_ = QLocale();
    dateFormat_ = ShownDate::dateFormat(locale_);
    timeFormat_ = ShownDate::timeFormat(locale_);
    days_.clear();
    times_.clear();
}

QString ResultModel::dateOf(qsizetype row) const
{
    const ResultSnapshot& rows = result_->rows();
    const qint64 packed = rows.packedData(row);
    if (packed < 0)
        return ShownDate::text(rows.data(row), locale_, dateFormat_, timeFormat_);
    const qint64 day = packed / 1000000;
    const int clock = int(packed % 1000000);
    auto known = days_.constFind(day);
    if (known == days_.constEnd()) {
        const QDate date(int(day / 10000), int(day / 100 % 100), int(day % 100));
        // A day the calendar does not have is shown as the catalogue holds it.
        known = days_.insert(day, date.isValid() ? locale_.toString(date, dateFormat_) : QString());
    }
    const QTime time(clock / 10000, clock / 100 % 100, clock % 100);
    if (known->isEmpty() || !time.isValid())
        return rows.data(row);
    if (clock == 0)
        return *known;
    auto shown = times_.constFind(clock);
    if (shown == times_.constEnd())
        shown = times_.insert(clock, locale_.toString(time, timeFormat_));
    return *known + QLatin1Char(' ') + *shown;
}

QString ResultModel::dateText(const QString& catalogueDate, const QLocale& locale)
{
    return ShownDate::text(catalogueDate, locale, ShownDate::dateFormat(locale),
                           ShownDate::timeFormat(locale));
}

int ResultModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !result_)
        return 0;
    return int(std::min<qsizetype>(result_->rowCount(), std::numeric_limits<int>::max()));
}

int ResultModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const
{
    if (!result_ || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ResultSnapshot& rows = result_->rows();
    const qsizetype row = resultRow(index.row());
    if (role == ExtensionRole)
        return rows.estensione(row);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Cd:
        return rows.cdid(row);
    case File:
        return rows.file(row);
    case Date:
        return dateOf(row);
    case Size:
        return QString::number(rows.dimensione(row));
    default:
        return {};
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    // A first click on a title sorts A to Z, smallest first, oldest first.
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Cd:
        return QStringLiteral("CD");
    case File:
        return QStringLiteral("File");
    case Date:
        return QStringLiteral("Date");
    case Size:
        return QStringLiteral("Dim.");
    default:
        return {};
    }
}

Qt::ItemFlags ResultModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ResultModel::sort(int column, Qt::SortOrder order)
{
    if (column >= ColumnCount || (column < 0 && order_.empty()))
        return;
    const int rows = rowCount();
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection stays on the same files.
    const QModelIndexList before = persistentIndexList();
    std::vector<qsizetype> beforeRows;
    beforeRows.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        beforeRows.push_back(resultRow(index.row()));
    if (column < 0 || !result_) {
        order_.clear();
    } else {
        static constexpr ResultOrder::Key keys[] = {ResultOrder::Key::Disc, ResultOrder::Key::File,
                                                    ResultOrder::Key::Date, ResultOrder::Key::Size};
        order_ = ResultOrder::sorted(result_->rows(), keys[column], order == Qt::DescendingOrder);
        order_.resize(size_t(rows)); // the rows the model shows (its count stops at the int range)
    }
    QModelIndexList after;
    after.reserve(before.size());
    if (!before.isEmpty()) {
        std::vector<int> shownAt(order_.empty() ? 0 : size_t(result_->rowCount()), -1);
        for (int row = 0; row < int(order_.size()); ++row)
            shownAt[order_[size_t(row)]] = row;
        for (qsizetype i = 0; i < before.size(); ++i) {
            const qsizetype resultRowNow = beforeRows[size_t(i)];
            const int row = order_.empty() ? int(resultRowNow) : shownAt[size_t(resultRowNow)];
            after.append(row < 0 ? QModelIndex() : index(row, before.at(i).column()));
        }
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}
