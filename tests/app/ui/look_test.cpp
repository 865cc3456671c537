#include "app/ui/UnAbout.h"
#include "app/ui/UnMyForm.h"
#include "app/ui/WindowChrome.h"
#include "maintenance/ui/UnDelCD.h"
#include "maintenance/ui/UnNewCD.h"
#include "search/ui/DiscDetails.h"
#include "search/ui/FilterPanel.h"
#include "search/ui/GridRequisiti.h"
#include "settings/ui/DrivePicker.h"
#include "settings/ui/UnSettings.h"
#include "tests/support/RecordingMessages.h"
#include "tests/support/TestCatalogue.h"
#include "tests/support/WindowChild.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyleOptionComboBox>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

// How the windows look whatever the desktop brings: a dark palette or a larger face must
// neither change what is drawn nor cut a text, and the filter panel keeps its place at every
// window size.
namespace
{
QPalette darkPalette()
{
    QPalette dark;
    const struct {
        QPalette::ColorRole role;
        QColor colour;
    } roles[] = {
        {QPalette::Window, QColor(45, 45, 45)},         {QPalette::WindowText, QColor(250, 250, 250)},
        {QPalette::Base, QColor(30, 30, 30)},           {QPalette::AlternateBase, QColor(40, 40, 40)},
        {QPalette::Text, QColor(250, 250, 250)},        {QPalette::Button, QColor(50, 50, 50)},
        {QPalette::ButtonText, QColor(250, 250, 250)},  {QPalette::ToolTipBase, QColor(20, 20, 20)},
        {QPalette::ToolTipText, QColor(250, 250, 250)}, {QPalette::Highlight, QColor(80, 40, 160)},
        {QPalette::Light, QColor(70, 70, 70)},          {QPalette::Dark, QColor(20, 20, 20)}};
    for (const auto& r : roles)
        dark.setColor(QPalette::All, r.role, r.colour);
    return dark;
}

// The main window and its four dialogs, shown without taking the focus (no caret blinks).
struct Windows {
    explicit Windows(const QString& catalogue) : form(messages, session, catalogue)
    {
        windowChild<TfrmDelCD>(form, "frmDelCD")->FillDiscList(); // an empty catalogue: "- None -"
        for (QWidget* w : all()) {
            w->setAttribute(Qt::WA_ShowWithoutActivating);
            w->show();
        }
        // Two-digit days and months, the widest dates there are.
        for (QDateTimeEdit* picker : {windowChild<QDateTimeEdit>(form, "DateTimePicker1"),
                                      windowChild<QDateTimeEdit>(form, "DateTimePicker2")})
            picker->setDate(QDate(2026, 12, 28));
    }
    QList<QWidget*> all()
    {
        return {&form, windowChild<TfrmNewCD>(form, "frmNewCD"), windowChild<TfrmDelCD>(form, "frmDelCD"),
                windowChild<TfrmSettings>(form, "frmSettings"), windowChild<TfrmAbout>(form, "frmAbout")};
    }

    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form;
};

QString shown(QString text)
{
    return text.remove(QLatin1Char('&'));
}

// Where a control writes its text, and the text it writes there; an empty rect when the
// control writes none.
QRect textRoom(QWidget* w, QString* text)
{
    if (auto* picker = qobject_cast<QDateTimeEdit*>(w)) {
        *text = picker->text();
        return picker->findChild<QLineEdit*>()->contentsRect().adjusted(2, 0, -3, 0); // margins and caret
    }
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        *text = list->currentText();
        QStyleOptionComboBox option;
        option.initFrom(list);
        option.editable = list->isEditable();
        QRect field =
            list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
        const int icon = list->itemIcon(list->currentIndex()).isNull() ? 0 : list->iconSize().width() + 4;
        return field.adjusted(list->objectName() == QLatin1String("ComboBox2") ? 21 : icon, 0, 0, 0);
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        *text = label->textFormat() == Qt::RichText || label->text().startsWith(QLatin1Char('<'))
                    ? QString()
                    : label->text();
        return label->contentsRect();
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        *text = shown(button->text());
        QStyleOptionButton option;
        option.initFrom(button);
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto* button = qobject_cast<QToolButton*>(w)) {
        *text = button->toolButtonStyle() == Qt::ToolButtonIconOnly ? QString() : shown(button->text());
        return button->rect().adjusted(3, 0, -3, 0);
    }
    return {};
}
} // namespace

class LookTest : public QObject
{
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void everyTextFitsItsControl_data();
    void everyTextFitsItsControl();
    void desktopPaletteAndFontChangeNothingDrawn();
    void labelsAndGridStayReadableOnADarkDesktop();
    void captionsKeepTheirRoomBeforeTheNextControl();
    void filterPanelKeepsItsPlaceAtEverySize_data();
    void filterPanelKeepsItsPlaceAtEverySize();
    void dialogsShareButtonsAndKeys();

  private:
    QPalette palette_;
    QFont font_;
};

void LookTest::initTestCase()
{
    palette_ = QApplication::palette();
    font_ = QApplication::font();
}

void LookTest::cleanup()
{
    QApplication::setPalette(palette_);
    QApplication::setFont(font_);
}

void LookTest::everyTextFitsItsControl_data()
{
    QTest::addColumn<bool>("dark");
    QTest::addColumn<int>("fontPoints");
    QTest::newRow("desktop defaults") << false << 0;
    QTest::newRow("dark palette") << true << 0;
    QTest::newRow("large face") << false << 16;
    QTest::newRow("dark palette, large face") << true << 14;
}

void LookTest::everyTextFitsItsControl()
{
    QFETCH(bool, dark);
    QFETCH(int, fontPoints);
    if (dark)
        QApplication::setPalette(darkPalette());
    if (fontPoints > 0) {
        QFont big = QApplication::font();
        big.setPointSize(fontPoints);
        QApplication::setFont(big);
    }
    TestCatalogue cat;
    Windows windows(cat.path());
    QCOMPARE(windowChild<QComboBox>(windows.form, "ComboBox2")->currentText(), QStringLiteral("- None -"));
    int checked = 0;
    for (QWidget* window : windows.all()) {
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(window))
                continue;
            QString text;
            const QRect room = textRoom(w, &text);
            if (text.isEmpty())
                continue;
            ++checked;
            const QFontMetrics metrics(w->font());
            const QString where = window->objectName() + QLatin1Char('/') + w->objectName() +
                                  QStringLiteral(": \"") + text + QLatin1Char('"');
            QVERIFY2(metrics.horizontalAdvance(text) <= room.width(),
                     qPrintable(where + QStringLiteral(" needs %1 of %2 pixels")
                                            .arg(metrics.horizontalAdvance(text))
                                            .arg(room.width())));
            QVERIFY2(metrics.height() <= w->height(),
                     qPrintable(where + QStringLiteral(" is cut in height")));
        }
        // The caption bar shows the whole title.
        if (WindowChrome* chrome = WindowChrome::of(window)) {
            const QLabel* caption = windowChild<QLabel>(chrome->window(), "CaptionLabel");
            QVERIFY(QFontMetrics(caption->font()).horizontalAdvance(caption->text()) <= caption->width());
            QVERIFY(QFontMetrics(caption->font()).height() <=
                    windowChild<QFrame>(chrome->window(), "Panel2")->contentsRect().height());
        }
    }
    QVERIFY(checked >= 20);

    // A date with a two-digit day shows whole while it is edited: the field does not scroll.
    for (QDateTimeEdit* picker : {windowChild<QDateTimeEdit>(windows.form, "DateTimePicker1"),
                                  windowChild<QDateTimeEdit>(windows.form, "DateTimePicker2")}) {
        auto* edit = picker->findChild<QLineEdit*>();
        edit->end(false);
        QCOMPARE(edit->cursorPositionAt(QPoint(edit->contentsRect().left() + 3, edit->height() / 2)), 0);
        QVERIFY(edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().right() <
                edit->contentsRect().right());
    }
}

void LookTest::desktopPaletteAndFontChangeNothingDrawn()
{
    TestCatalogue cat;
    QList<QImage> plain;
    {
        Windows windows(cat.path());
        for (QWidget* w : windows.all())
            plain.append(w->grab().toImage());
    }
    QApplication::setPalette(darkPalette());
    QFont big = QApplication::font();
    big.setPointSize(15);
    big.setFamily(QStringLiteral("DejaVu Serif"));
    QApplication::setFont(big);
    Windows windows(cat.path());
    const QList<QWidget*> all = windows.all();
    for (qsizetype i = 0; i < all.size(); ++i) {
        QVERIFY2(all.at(i)->grab().toImage() == plain.at(i), qPrintable(all.at(i)->objectName()));
    }
}

void LookTest::labelsAndGridStayReadableOnADarkDesktop()
{
    QApplication::setPalette(darkPalette());
    TestCatalogue cat;
    Windows windows(cat.path());
    int labels = 0;
    for (QWidget* window : windows.all()) {
        for (QLabel* label : window->findChildren<QLabel*>()) {
            // The caption is white on the caption bar; the link has its own colour.
            if (label->text().isEmpty() || label->text().startsWith(QLatin1Char('<')) ||
                label->objectName() == QLatin1String("CaptionLabel") || !label->isVisibleTo(window))
                continue;
            ++labels;
            // Dark text on the light panel behind it.
            const QImage shot = label->grab().toImage();
            int darkest = 255;
            int lightest = 0;
            for (int y = 0; y < shot.height(); ++y) {
                for (int x = 0; x < shot.width(); ++x) {
                    darkest = std::min(darkest, shot.pixelColor(x, y).lightness());
                    lightest = std::max(lightest, shot.pixelColor(x, y).lightness());
                }
            }
            QVERIFY2(darkest < 90 && lightest > 180,
                     qPrintable(window->objectName() + QLatin1Char('/') + label->objectName() +
                                QStringLiteral(" %1..%2").arg(darkest).arg(lightest)));
        }
    }
    QVERIFY(labels >= 8);
    const QPalette grid = windowChild<TGridRequisiti>(windows.form, "GridRequisiti")->palette();
    QVERIFY(grid.color(QPalette::Base).lightness() > 200);
    QVERIFY(grid.color(QPalette::Text).lightness() < 60);
    const QPalette pattern = windowChild<QLineEdit>(windows.form, "Edit2")->palette();
    QCOMPARE(pattern.color(QPalette::Base), grid.color(QPalette::Base)); // both the info-tip colour
    QVERIFY(pattern.color(QPalette::Text).lightness() < 60);
}

void LookTest::captionsKeepTheirRoomBeforeTheNextControl()
{
    TestCatalogue cat;
    Windows windows(cat.path());
    TFilterPanel* panel = windowChild<TFilterPanel>(windows.form, "Panel4");
    const struct {
        QLabel* caption;
        QWidget* next;
    } pairs[] = {
        {windowChild<QLabel>(panel, "Label1"), windowChild<QCheckBox>(panel, "CheckBox1")},
        {windowChild<QLabel>(panel, "Label2"), windowChild<QCheckBox>(panel, "CheckBox2")},
        {windowChild<QLabel>(panel, "Label3"), windowChild<QCheckBox>(panel, "CheckBox3")},
        {windowChild<QLabel>(panel, "Label4"), windowChild<QCheckBox>(panel, "CheckBox4")},
        {windowChild<QLabel>(panel, "Label5"), windowChild<QCheckBox>(panel, "CheckBox5")},
        {windowChild<QLabel>(windowChild<TfrmSettings>(windows.form, "frmSettings"), "Label1"),
         windowChild<DrivePicker>(windowChild<TfrmSettings>(windows.form, "frmSettings"), "DriveComboBox1")},
        {windowChild<QLabel>(windowChild<TfrmNewCD>(windows.form, "frmNewCD"), "Label1"),
         windowChild<QComboBox>(windowChild<TfrmNewCD>(windows.form, "frmNewCD"), "ComboBox1")},
        {windowChild<QLabel>(windowChild<TfrmDelCD>(windows.form, "frmDelCD"), "Label1"),
         windowChild<QComboBox>(windowChild<TfrmDelCD>(windows.form, "frmDelCD"), "ComboBox1")}};
    for (const auto& p : pairs) {
        const QFontMetrics metrics(p.caption->font());
        // A blank's width at least between the caption's text and the control after it.
        const int end = p.caption->x() + metrics.horizontalAdvance(p.caption->text() + QLatin1Char(' '));
        QVERIFY2(end <= p.next->x(), qPrintable(p.caption->text()));
    }
}

void LookTest::filterPanelKeepsItsPlaceAtEverySize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("first showing") << QSize(593, 367);
    QTest::newRow("smallest") << QSize(568, 195);
    QTest::newRow("large") << QSize(1000, 700);
}

void LookTest::filterPanelKeepsItsPlaceAtEverySize()
{
    QFETCH(QSize, size);
    TestCatalogue cat;
    RecordingMessages messages;
    Catalogue session;
    TPersonalForm form(messages, session, cat.path());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(size);
    QTRY_COMPARE(form.size(), size);
    QCoreApplication::processEvents();

    // Under the 20-pixel caption bar, the 28-pixel tool bar, then the filter panel.
    const QWidget* bar = windowChild<QFrame>(&form, "Panel2");
    QCOMPARE(windowChild<QToolBar>(form, "ToolBar1")->geometry(),
             QRect(bar->x(), bar->geometry().bottom() + 1, bar->width(), 28));
    QCOMPARE(windowChild<TFilterPanel>(form, "Panel4")->y(),
             windowChild<QToolBar>(form, "ToolBar1")->geometry().bottom() + 1);
    QCOMPARE(windowChild<TFilterPanel>(form, "Panel4")->height(), 79);
    // Nothing lies over the filter panel: the grid begins under it, the status bar ends inside.
    QVERIFY(windowChild<TGridRequisiti>(form, "GridRequisiti")->y() >
            windowChild<TFilterPanel>(form, "Panel4")->geometry().bottom());
    QVERIFY(windowChild<QStatusBar>(form, "StatusBar1")->y() >=
            windowChild<TGridRequisiti>(form, "GridRequisiti")->geometry().bottom());
    QVERIFY(windowChild<QFrame>(form, "Panel1")
                ->contentsRect()
                .contains(windowChild<QStatusBar>(form, "StatusBar1")->geometry()));
    QCOMPARE(windowChild<QStatusBar>(form, "StatusBar1")->height(), 19);

    // Left, top and width of each filter control inside the panel.
    TFilterPanel* p = windowChild<TFilterPanel>(form, "Panel4");
    const struct {
        QWidget* control;
        QRect place; // width 0: not checked
    } places[] = {
        {windowChild<QLabel>(p, "Label1"), {30, 7, 0, 0}},
        {windowChild<QCheckBox>(p, "CheckBox1"), {53, 7, 0, 0}},
        {windowChild<QComboBox>(p, "ComboBox1"), {72, 7, 75, 0}},
        {windowChild<QLabel>(p, "Label2"), {174, 7, 0, 0}},
        {windowChild<QCheckBox>(p, "CheckBox2"), {201, 7, 0, 0}},
        {windowChild<QLineEdit>(p, "Edit2"), {223, 7, 331, 0}},
        {windowChild<QLabel>(p, "Label3"), {2, 40, 0, 0}},
        {windowChild<QCheckBox>(p, "CheckBox3"), {53, 39, 0, 0}},
        {windowChild<QDateTimeEdit>(p, "DateTimePicker1"), {72, 39, 89, 0}},
        {windowChild<QLabel>(p, "Label4"), {172, 40, 0, 0}},
        {windowChild<QCheckBox>(p, "CheckBox4"), {215, 39, 0, 0}},
        {windowChild<QDateTimeEdit>(p, "DateTimePicker2"), {234, 40, 92, 0}},
        {windowChild<QLabel>(p, "Label5"), {343, 40, 0, 0}},
        {windowChild<QCheckBox>(p, "CheckBox5"), {397, 40, 0, 0}},
        {windowChild<QComboBox>(p, "ComboBox2"), {417, 37, 75, 0}},
        {windowChild<QToolButton>(p, "SpeedButton1"), {508, 31, 46, 42}},
    };
    for (const auto& place : places) {
        const QRect g = place.control->geometry();
        const QString name = place.control->objectName();
        QCOMPARE(std::pair(name, g.topLeft()), std::pair(name, place.place.topLeft()));
        if (place.place.width() > 0)
            QCOMPARE(std::pair(name, g.width()), std::pair(name, place.place.width()));
        if (place.place.height() > 0)
            QCOMPARE(std::pair(name, g.height()), std::pair(name, place.place.height()));
        QVERIFY2(p->rect().contains(g), qPrintable(name));
    }
    // The find button is not covered at the smallest size either.
    const QRect find(windowChild<QToolButton>(p, "SpeedButton1")->mapTo(&form, QPoint(0, 0)),
                     windowChild<QToolButton>(p, "SpeedButton1")->size());
    QVERIFY(!find.intersects(windowChild<TGridRequisiti>(form, "GridRequisiti")
                                 ->geometry()
                                 .translated(windowChild<QFrame>(form, "Panel1")->pos())));
}

// Every dialog's OK and Cancel are alike (size, mnemonic, hint), and neither Enter nor Escape
// closes a dialog, whichever of its fields has the focus.
void LookTest::dialogsShareButtonsAndKeys()
{
    TestCatalogue cat;
    Windows windows(cat.path());
    TfrmDiscDetails* details = windowChild<TfrmDiscDetails>(windows.form, "frmDiscDetails");
    const auto same = [](const QPushButton* a, const QPushButton* b) {
        return a->text() == b->text() && a->size() == b->size() && a->toolTip() == b->toolTip() &&
               a->statusTip() == b->statusTip() && a->isDefault() == b->isDefault() &&
               a->autoDefault() == b->autoDefault();
    };
    QVERIFY(same(windowChild<QPushButton>(details, "ButtonOK"),
                 windowChild<QPushButton>(windowChild<TfrmNewCD>(windows.form, "frmNewCD"), "Button2")));
    QVERIFY(same(windowChild<QPushButton>(details, "ButtonCancel"),
                 windowChild<QPushButton>(windowChild<TfrmNewCD>(windows.form, "frmNewCD"), "Button1")));

    const QList<QWidget*> dialogs = {windowChild<TfrmNewCD>(windows.form, "frmNewCD"),
                                     windowChild<TfrmDelCD>(windows.form, "frmDelCD"),
                                     windowChild<TfrmSettings>(windows.form, "frmSettings"), details};
    for (QWidget* dialog : dialogs) {
        dialog->show();
        for (QWidget* field : dialog->findChildren<QWidget*>()) {
            if (!(field->focusPolicy() & Qt::TabFocus) || !field->isVisible() || !field->isEnabled())
                continue;
            for (const int key : {int(Qt::Key_Escape), int(Qt::Key_Return), int(Qt::Key_Enter)}) {
                QTest::keyClick(field, Qt::Key(key));
                QVERIFY2(dialog->isVisible(),
                         qPrintable(dialog->objectName() + QLatin1Char('/') + field->objectName() +
                                    QLatin1Char(' ') + QString::number(key, 16)));
            }
        }
    }
}

QTEST_MAIN(LookTest)
#include "look_test.moc"
