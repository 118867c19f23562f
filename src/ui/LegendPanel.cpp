#include "ui/LegendPanel.h"

#include "ui/SourceIcons.h"
#include "ui/StatusIcons.h"
#include "web/sources/MusicSource.h"
#include "web/sources/MusicSources.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {

QLabel* iconLabel(const QImage& image, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap::fromImage(image));
    label->setFixedSize(18, 18);
    return label;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(QStringLiteral("<b>%1</b>").arg(text), parent);
    return label;
}

} // namespace

LegendPanel::LegendPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("legendPanel"));
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(heading(tr("Status"), this));
    auto* letters = new QGridLayout;
    struct Row {
        StatusIcons::Letter letter;
        const char* text;
    };
    const Row rows[] = {{StatusIcons::A, "Artist"},
                        {StatusIcons::F, "File name"},
                        {StatusIcons::I, "Album, year and genre"},
                        {StatusIcons::T, "Title"},
                        {StatusIcons::Num, "Track number"}};
    int r = 0;
    for (const Row& row : rows) {
        letters->addWidget(letterLabel(row.letter, StatusIcons::Green), r, 0);
        letters->addWidget(new QLabel(tr(row.text), this), r, 1);
        ++r;
    }
    layout->addLayout(letters);
    auto* colors = new QGridLayout;
    const std::pair<StatusIcons::Color, const char*> meanings[] = {
        {StatusIcons::Red, "Saving will change it"},
        {StatusIcons::Green, "Already right"},
        {StatusIcons::Gray, "Will not be touched"}};
    r = 0;
    for (const auto& [color, text] : meanings) {
        colors->addWidget(letterLabel(StatusIcons::A, color), r, 0);
        colors->addWidget(new QLabel(tr(text), this), r, 1);
        ++r;
    }
    layout->addLayout(colors);

    layout->addSpacing(10);
    layout->addWidget(heading(tr("Sources"), this));
    auto* sources = new QGridLayout;
    r = 0;
    for (const MusicSource* source : MusicSources::all()) {
        if (source->iconName().isEmpty()) continue;
        QLabel* icon = iconLabel({}, this);
        fSourceIcons.insert(source->name(), icon);
        sources->addWidget(icon, r, 0);
        sources->addWidget(new QLabel(source->name(), this), r, 1);
        ++r;
    }
    fFilesLegendIcon = iconLabel({}, this);
    fTagsLegendIcon = iconLabel({}, this);
    const std::pair<QLabel*, const char*> localRows[] = {
        {fFilesLegendIcon, "File and folder names"}, {fTagsLegendIcon, "Tags in the files"}};
    for (const auto& [icon, text] : localRows) {
        sources->addWidget(icon, r, 0);
        sources->addWidget(new QLabel(tr(text), this), r, 1);
        ++r;
    }
    layout->addLayout(sources);
    layout->addStretch();
    refreshIcons();
    connect(SourceIcons::instance(), &SourceIcons::iconsChanged, this, &LegendPanel::refreshIcons);
}

QLabel* LegendPanel::letterLabel(StatusIcons::Letter letter, StatusIcons::Color color) {
    QLabel* label = iconLabel({}, this);
    fLetters.append({label, letter, color});
    return label;
}

void LegendPanel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) refreshIcons();
}

void LegendPanel::refreshIcons() {
    // The letters drawn for the panel's palette at the screen's density.
    for (const Letter& l : fLetters)
        l.label->setPixmap(QPixmap::fromImage(
            StatusIcons::image(l.letter, l.color, palette(), devicePixelRatioF())));
    SourceIcons* icons = SourceIcons::instance();
    const qreal scale = devicePixelRatioF();
    const auto show = [scale](QLabel* label, const QIcon& icon) {
        label->setPixmap(icon.pixmap(QSize(16, 16), scale));
    };
    for (auto it = fSourceIcons.cbegin(); it != fSourceIcons.cend(); ++it)
        show(it.value(), icons->decorationFor(it.key()));
    show(fFilesLegendIcon, icons->decoration(SourceIcons::FileNames));
    show(fTagsLegendIcon, icons->decoration(SourceIcons::Tags));
}
