#include "app/MessageBoxes.h"

#include "app/AppInfo.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace
{
int run(QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons);
    box.setObjectName(QStringLiteral("MessageBox"));
    // Wide enough that the window frame shows the whole caption beside its buttons.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(title) + 140;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(),
                      0, 1, grid->columnCount());
    }
    return box.exec();
}
} // namespace

void MessageBoxes::showMessage(const QString& text)
{
    run(QMessageBox::NoIcon, AppInfo::Title, text, QMessageBox::Ok);
}

bool MessageBoxes::confirm(const QString& question)
{
    return run(QMessageBox::Question, QStringLiteral("Confirm"), question,
               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void MessageBoxes::showError(const QString& text)
{
    run(QMessageBox::Critical, AppInfo::Title, errorBoxText(text), QMessageBox::Ok);
}

QString MessageBoxes::errorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}
