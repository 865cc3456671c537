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

    Label1 = caption(this, "Label1", QStringLiteral("CD:"), 30, 7, 53);
    CheckBox1 = tickBox(this, "CheckBox1", 53, 7);
    ComboBox1 = place<QComboBox>(this, "ComboBox1", 72, 7, 75, kRowHeight);
    hint(ComboBox1, QStringLiteral("CD ID"));

    Label2 = caption(this, "Label2", QStringLiteral("File:"), 174, 7, 201);
    CheckBox2 = tickBox(this, "CheckBox2", 201, 7);
    Edit2 = place<QLineEdit>(this, "Edit2", 223, 7, 331, kRowHeight);
    QPalette infoTip = Edit2->palette();
    infoTip.setColor(QPalette::Base, Panels::InfoTip);
    infoTip.setColor(QPalette::Text, Qt::black);
    Edit2->setPalette(infoTip);
    hint(Edit2, QStringLiteral("Path/File"));

    Label3 = caption(this, "Label3", QStringLiteral("Date from:"), 2, 40, 53);
    CheckBox3 = tickBox(this, "CheckBox3", 53, 39);
    DateTimePicker1 = datePicker(this, "DateTimePicker1", 72, 39, 89, QTime(0, 0, 0));
    hint(DateTimePicker1, QStringLiteral("File date from"));

    Label4 = caption(this, "Label4", QStringLiteral("Date to:"), 172, 40, 215);
    CheckBox4 = tickBox(this, "CheckBox4", 215, 39);
    DateTimePicker2 = datePicker(this, "DateTimePicker2", 234, 40, 92, QTime(23, 59, 59));
    hint(DateTimePicker2, QStringLiteral("File date to"));

    Label5 = caption(this, "Label5", QStringLiteral("Extension:"), 343, 40, 397);
    CheckBox5 = tickBox(this, "CheckBox5", 397, 40);
    ComboBox2 = place<QComboBox>(this, "ComboBox2", 417, 37, 75, kRowHeight + 3);
    ComboBox2->setItemDelegate(new ExtensionItemDelegate(ImageList3, ComboBox2));
    ComboBox2->setIconSize(QSize(16, 16));
    ComboBox2->setStyle(new DropDownStyle(true, this));
    hint(ComboBox2, QStringLiteral("File extension"));

    SpeedButton1 = place<QToolButton>(this, "SpeedButton1", 508, 31, 46, 42);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIconSize(QSize(32, 32));
    SpeedButton1->setIcon(QIcon(QString(Art::find)));
    hint(SpeedButton1, QStringLiteral("Find"));
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

void TFilterPanel::fillDiscList(Query& work, bool refresh)
{
    const QStringList labels = FilterLists::discLabels(work);
    ComboBox1->clear();
    ComboBox1->addItems(labels);
    const bool any = !labels.isEmpty();
    if (!any) {
        ComboBox1->addItem(FilterLists::None);
        if (refresh)
            CheckBox1->setChecked(false);
    }
    ComboBox1->setEnabled(any);
    CheckBox1->setEnabled(any);
    ComboBox1->setCurrentIndex(0);
}

void TFilterPanel::fillExtensionList(Query& work)
{
    QStringList entries = FilterLists::extensionEntries(work);
    const bool any = !entries.isEmpty();
    if (!any) {
        entries.append(FilterLists::None);
        CheckBox5->setChecked(false);
    }
    // The icons are in place before the entries, so that an entry never shows without its icon.
    ImageList3 = icons_.BuildExtensionIcons(entries);
    ComboBox2->clear();
    for (qsizetype i = 0; i < entries.size(); ++i)
        ComboBox2->addItem(ImageList3.at(i), entries.at(i));
    ComboBox2->setEnabled(any);
    CheckBox5->setEnabled(any);
    ComboBox2->setCurrentIndex(0);
}

void TFilterPanel::LoadFilters(Query& work)
{
    for (QCheckBox* box : {CheckBox1, CheckBox2, CheckBox3, CheckBox4})
        box->setChecked(false);
    fillDiscList(work, false);
    fillExtensionList(work);
    Edit2->clear();
    // setDate keeps each picker's own time of day.
    const QDate today = QDate::currentDate();
    DateTimePicker1->setDate(today);
    DateTimePicker2->setDate(today);
}

void TFilterPanel::RefreshFilters(Query& work)
{
    const QString disc = ComboBox1->currentText();
    fillDiscList(work, true);
    reselect(ComboBox1, disc);
    const QString extension = ComboBox2->currentText();
    fillExtensionList(work);
    reselect(ComboBox2, extension);
}
