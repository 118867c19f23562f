#pragma once

#include "ui/StatusIcons.h"

#include <QHash>
#include <QList>
#include <QWidget>

class QLabel;

// The legend beside a document window: what the five status letters and
// their colours mean, and which icon marks which source of hits.
class LegendPanel : public QWidget {
    Q_OBJECT
public:
    explicit LegendPanel(QWidget* parent = nullptr);

    // The icon shown for a registered source; null for one without an icon.
    QLabel* sourceLegendIcon(const QString& sourceName) const {
        return fSourceIcons.value(sourceName);
    }

protected:
    void changeEvent(QEvent* event) override;

private:
    // Site icons arrive after start-up; the letters follow the palette.
    void refreshIcons();
    QLabel* letterLabel(StatusIcons::Letter letter, StatusIcons::Color color);

    struct Letter {
        QLabel* label;
        StatusIcons::Letter letter;
        StatusIcons::Color color;
    };
    QList<Letter> fLetters;
    QHash<QString, QLabel*> fSourceIcons; // by source name
    QLabel* fFilesLegendIcon;
    QLabel* fTagsLegendIcon;
};
