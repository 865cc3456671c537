#include "app/ui/MediaNotice.h"

#include "catalogue/Catalogue.h"
#include "common/TessaroError.h"
#include "maintenance/MediumMatcher.h"
#include "scan/MediaWatcher.h"
#include "settings/DriveSetting.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaMethod>
#include <QToolButton>
#include <cstdio>

MediaNotice::Lookup MediaNotice::systemLookup(const DriveSetting& setting, Catalogue& catalogue)
{
    Lookup lookup;
    lookup.letter = [&setting](const Medium& medium) {
        const DriveTable drives = setting.driveTable();
        const DriveEntry* entry = drives.findMedium(medium.device, medium.mountPoints);
        return entry ? entry->letter : QChar();
    };
    lookup.disc = [&catalogue](const Medium& medium) -> std::optional<DiscStore::DiscRow> {
        if (!catalogue.connected())
            return std::nullopt;
        try {
            return MediumMatcher(catalogue).match(medium.label, medium.fileSystemId);
        } catch (const TessaroError& error) {
            std::fprintf(stderr, "tessaro: %s\n", error.message().toLocal8Bit().constData());
            return std::nullopt;
        }
    };
    return lookup;
}

MediaNotice::MediaNotice(Lookup lookup, QWidget* parent) : QWidget(parent), lookup_(std::move(lookup))
{
    setObjectName(QStringLiteral("MediaNotice"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 4, 0);
    row->setSpacing(3);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("MediaNoticeText"));
    row->addWidget(text_);
    update_ = link("MediaNoticeUpdate", QStringLiteral("Update"));
    afterUpdate_ = dot();
    verify_ = link("MediaNoticeVerify", QStringLiteral("Verify"));
    afterVerify_ = dot();
    ignore_ = link("MediaNoticeIgnore", QStringLiteral("Ignore"));
    catalogue_ = link("MediaNoticeCatalogue", QStringLiteral("Catalogue\u2026"));
    for (QWidget* w : {static_cast<QWidget*>(update_), static_cast<QWidget*>(afterUpdate_),
                       static_cast<QWidget*>(verify_), static_cast<QWidget*>(afterVerify_),
                       static_cast<QWidget*>(ignore_), static_cast<QWidget*>(catalogue_)})
        row->addWidget(w);

    // Each click works on the medium shown when it was made; the window's dialogs may run meanwhile.
    connect(update_, &QToolButton::clicked, this, [this] {
        if (const std::optional<Present> shown = shown_; shown && shown->disc)
            Q_EMIT updateRequested(*shown->disc, shown->letter);
        refresh();
    });
    connect(verify_, &QToolButton::clicked, this, [this] {
        if (const std::optional<Present> shown = shown_; shown && shown->disc)
            Q_EMIT verifyRequested(*shown->disc, shown->letter);
        refresh();
    });
    connect(ignore_, &QToolButton::clicked, this, [this] {
        if (shown_)
            ignored_.insert(shown_->medium.object);
        showLatest();
    });
    connect(catalogue_, &QToolButton::clicked, this, [this] {
        if (const std::optional<Present> shown = shown_)
            Q_EMIT catalogueRequested(shown->letter);
        refresh();
    });
    hide();
}

MediaNotice::~MediaNotice() = default;

QToolButton* MediaNotice::link(const char* name, const QString& text)
{
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setText(text);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // Drawn as a link in the status bar's text, not as a button.
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; color: rgb(0, 0, 192);"
                                         " text-decoration: underline; }"));
    return button;
}

QLabel* MediaNotice::dot()
{
    auto* label = new QLabel(QStringLiteral("\u00b7"), this);
    return label;
}

void MediaNotice::follow(bool on)
{
    if (on == following())
        return;
    if (!on) {
        delete watcher_;
        watcher_ = nullptr;
        present_.clear();
        ignored_.clear();
        showLatest();
        return;
    }
    watcher_ = new MediaWatcher(this);
    connect(watcher_, &MediaWatcher::appeared, this, &MediaNotice::appeared);
    connect(watcher_, &MediaWatcher::gone, this, &MediaNotice::gone);
    connect(watcher_, &MediaWatcher::mountChanged, this, &MediaNotice::mountChanged);
    // Without a system bus there is nothing to notice; the window works on as before.
    if (!watcher_->start())
        std::fprintf(stderr, "tessaro: not noticing inserted discs: %s\n", qPrintable(watcher_->error()));
}

void MediaNotice::lookUp(Present& present)
{
    present.letter = lookup_.letter ? lookup_.letter(present.medium) : QChar();
    present.disc = lookup_.disc && !present.letter.isNull() ? lookup_.disc(present.medium) : std::nullopt;
}

void MediaNotice::appeared(const Medium& medium)
{
    Present present{medium, {}, {}};
    lookUp(present);
    present_.push_back(std::move(present));
    showLatest();
}

void MediaNotice::gone(const Medium& medium)
{
    std::erase_if(present_, [&](const Present& p) { return p.medium.object == medium.object; });
    ignored_.remove(medium.object);
    showLatest();
}

void MediaNotice::mountChanged(const Medium& medium)
{
    for (Present& present : present_) {
        if (present.medium.object == medium.object) {
            present.medium = medium;
            lookUp(present);
        }
    }
    showLatest();
}

void MediaNotice::refresh()
{
    for (Present& present : present_)
        lookUp(present);
    showLatest();
}

void MediaNotice::showLatest()
{
    shown_.reset();
    for (auto it = present_.rbegin(); it != present_.rend(); ++it) {
        if (!it->letter.isNull() && !ignored_.contains(it->medium.object)) {
            shown_ = *it;
            break;
        }
    }
    if (!shown_) {
        hide();
        return;
    }
    const bool known = shown_->disc.has_value();
    const QString drive = QStringLiteral("drive ") + shown_->letter + QLatin1Char(':');
    text_->setText(known ? shown_->disc->label() + QStringLiteral(" is in ") + drive
                         : QStringLiteral("New disc in ") + drive);
    const bool verify = known && isSignalConnected(QMetaMethod::fromSignal(&MediaNotice::verifyRequested));
    update_->setVisible(known);
    afterUpdate_->setVisible(known);
    verify_->setVisible(verify);
    afterVerify_->setVisible(verify);
    ignore_->setVisible(known);
    catalogue_->setVisible(!known);
    show();
}
