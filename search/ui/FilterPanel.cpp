#include "search/ui/FilterPanel.h"

#include "common/ui/Panels.h"
#include "resources/Art.h"
#include "search/FilterLists.h"
#include "search/ui/DropDownStyle.h"
#include "search/ui/ExtensionItemDelegate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QToolButton>

namespace
{
constexpr int kRowHeight = 21;

template <typename T> T* place(QWidget* parent, const char* name, int left, int top, int width, int height)
{
    auto* widget = new T(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

// A caption ends a blank's width before its tick box; a face too wide for that room is
// narrowed to fit.
QLabel* caption(QWidget* parent, const char* name, const QString& text, int left, int top, int tickLeft)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    const int room = tickLeft - left - label->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const int width = label->fontMetrics().horizontalAdvance(text);
    if (width > room) {
        QFont narrow = label->font();
        narrow.setStretch(qMax(50, 100 * room / width));
        label->setFont(narrow);
    }
    label->setGeometry(left, top, room, label->sizeHint().height());
    return label;
}

QCheckBox* tickBox(QWidget* parent, const char* name, int left, int top)
{
    auto* box = place<QCheckBox>(parent, name, left, top, 17, kRowHeight - 4);
    box->setChecked(false);
    return box;
}

void hint(QWidget* widget, const QString& text)
{
    widget->setToolTip(text);
    widget->setStatusTip(text);
}

QDateTimeEdit* datePicker(QWidget* parent, const char* name, int left, int top, int width, QTime time)
{
    auto* picker = place<QDateTimeEdit>(parent, name, left, top, width, kRowHeight);
    picker->setCalendarPopup(true);
    // Only the date shows; the time of day stays what it was set to whatever date is chosen.
    picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    picker->setDateTime(QDateTime(QDate::currentDate(), time));
    // Made after the picker, so that the panel deletes it after the picker too.
    picker->setStyle(new DropDownStyle(false, parent));
    return picker;
}
} // namespace

TFilterPanel::TFilterPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("Panel4"));
    setFixedHeight(79);

    caption(this, "Label1", QStringLiteral("CD:"), 30, 7, 53);
    discFilter_ = tickBox(this, "CheckBox1", 53, 7);
    discList_ = place<QComboBox>(this, "ComboBox1", 72, 7, 75, kRowHeight);
    hint(discList_, QStringLiteral("CD ID"));

    caption(this, "Label2", QStringLiteral("File:"), 174, 7, 201);
    fileFilter_ = tickBox(this, "CheckBox2", 201, 7);
    filePattern_ = place<QLineEdit>(this, "Edit2", 223, 7, 331, kRowHeight);
    QPalette infoTip = filePattern_->palette();
    infoTip.setColor(QPalette::Base, Panels::InfoTip);
    infoTip.setColor(QPalette::Text, Qt::black);
    filePattern_->setPalette(infoTip);
    hint(filePattern_, QStringLiteral("Path/File"));

    caption(this, "Label3", QStringLiteral("Date from:"), 2, 40, 53);
    dateFromFilter_ = tickBox(this, "CheckBox3", 53, 39);
    dateFrom_ = datePicker(this, "DateTimePicker1", 72, 39, 89, QTime(0, 0, 0));
    hint(dateFrom_, QStringLiteral("File date from"));

    caption(this, "Label4", QStringLiteral("Date to:"), 172, 40, 215);
    dateToFilter_ = tickBox(this, "CheckBox4", 215, 39);
    dateTo_ = datePicker(this, "DateTimePicker2", 234, 40, 92, QTime(23, 59, 59));
    hint(dateTo_, QStringLiteral("File date to"));

    caption(this, "Label5", QStringLiteral("Extension:"), 343, 40, 397);
    extensionFilter_ = tickBox(this, "CheckBox5", 397, 40);
    extensionList_ = place<QComboBox>(this, "ComboBox2", 417, 37, 75, kRowHeight + 3);
    extensionList_->setItemDelegate(new ExtensionItemDelegate(extensionIcons_, extensionList_));
    extensionList_->setIconSize(QSize(16, 16));
    extensionList_->setStyle(new DropDownStyle(true, this));
    hint(extensionList_, QStringLiteral("File extension"));

    findButton_ = place<QToolButton>(this, "SpeedButton1", 508, 31, 46, 42);
    findButton_->setAutoRaise(true);
    findButton_->setIconSize(QSize(32, 32));
    findButton_->setIcon(QIcon(QString(Art::find)));
    hint(findButton_, QStringLiteral("Find"));
}

void TFilterPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.drawLine(0, 0, width() - 1, 0);
}

namespace
{
// Selects the last entry whose text equals the remembered one exactly, else the first.
void reselect(QComboBox* list, const QString& text)
{
    int found = 0;
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) == text)
            found = i;
    }
    list->setCurrentIndex(found);
}
} // namespace

void TFilterPanel::fillDiscList(Catalogue& catalogue, bool refresh)
{
    const QStringList labels = FilterLists::discLabels(catalogue);
    discList_->clear();
    discList_->addItems(labels);
    const bool any = !labels.isEmpty();
    if (!any) {
        discList_->addItem(FilterLists::None);
        if (refresh)
            discFilter_->setChecked(false);
    }
    discList_->setEnabled(any);
    discFilter_->setEnabled(any);
    discList_->setCurrentIndex(0);
}

void TFilterPanel::fillExtensionList(Catalogue& catalogue)
{
    QStringList entries = FilterLists::extensionEntries(catalogue);
    const bool any = !entries.isEmpty();
    if (!any) {
        entries.append(FilterLists::None);
        extensionFilter_->setChecked(false);
    }
    // The icons are in place before the entries, so that an entry never shows without its icon.
    extensionIcons_ = icons_.BuildExtensionIcons(entries);
    extensionList_->clear();
    for (qsizetype i = 0; i < entries.size(); ++i)
        extensionList_->addItem(extensionIcons_.at(i), entries.at(i));
    extensionList_->setEnabled(any);
    extensionFilter_->setEnabled(any);
    extensionList_->setCurrentIndex(0);
}

void TFilterPanel::LoadFilters(Catalogue& catalogue)
{
    for (QCheckBox* box : {discFilter_, fileFilter_, dateFromFilter_, dateToFilter_})
        box->setChecked(false);
    fillDiscList(catalogue, false);
    fillExtensionList(catalogue);
    filePattern_->clear();
    // setDate keeps each picker's own time of day.
    const QDate today = QDate::currentDate();
    dateFrom_->setDate(today);
    dateTo_->setDate(today);
}

void TFilterPanel::RefreshFilters(Catalogue& catalogue)
{
    const QString disc = discList_->currentText();
    fillDiscList(catalogue, true);
    reselect(discList_, disc);
    const QString extension = extensionList_->currentText();
    fillExtensionList(catalogue);
    reselect(extensionList_, extension);
}
