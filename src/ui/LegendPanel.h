#pragma once

#include <QWidget>

class QLabel;

// The legend beside a document window: what the five status letters and
// their colours mean, and which icon marks which source of hits.
class LegendPanel : public QWidget {
    Q_OBJECT
public:
    explicit LegendPanel(QWidget* parent = nullptr);

    QLabel* amgLegendIcon() const { return fAMGLegendIcon; }
    QLabel* googleLegendIcon() const { return fGoogleLegendIcon; }
    QLabel* gnudbLegendIcon() const { return fGnudbLegendIcon; }

private:
    // Site icons arrive after start-up.
    void refreshIcons();

    QLabel* fAMGLegendIcon;
    QLabel* fGoogleLegendIcon;
    QLabel* fMusicBrainzLegendIcon = nullptr;
    QLabel* fGnudbLegendIcon;
    QLabel* fFilesLegendIcon;
    QLabel* fTagsLegendIcon;
};
