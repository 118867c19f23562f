// The tables read in a light and in a dark palette, measured on the pixels
// the window draws.
#include "ui/ThemeColors.h"

#include "app/Preferences.h"
#include "support/AlbumFolderFixture.h"
#include "support/LoopbackAlbumWeb.h"
#include "ui/AlbumHitsTableView.h"
#include "ui/FolderWindow.h"
#include "ui/TrovixTableView.h"

#include <QApplication>
#include <QHash>
#include <QMessageBox>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The cell's background (its most common colour) against the pixel of the
// cell that stands out from it most: the core of the text's strokes.
double cellContrast(const QImage& picture, const QRect& cell) {
    QHash<QRgb, int> counts;
    for (int y = cell.top(); y <= cell.bottom(); ++y)
        for (int x = cell.left(); x <= cell.right(); ++x)
            ++counts[picture.pixel(x, y)];
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > counts.value(background)) background = it.key();
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = qMax(best, ThemeColors::contrast(QColor(it.key()), QColor(background)));
    return best;
}

struct Checked {
    int cells = 0;
    double worst = 21;
};

// Every unselected cell with text, inset from the grid and, in the file
// column, past the file's icon.
Checked checkCells(QTableView* table, const QString& palette) {
    table->clearSelection();
    table->setCurrentIndex({});
    QCoreApplication::processEvents();
    const QImage picture = table->viewport()->grab().toImage();
    Checked checked;
    QAbstractItemModel* model = table->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        for (int c = 0; c < model->columnCount(); ++c) {
            const QString text = model->index(r, c).data().toString();
            const bool fileName =
                model->headerData(c, Qt::Horizontal).toString() == QLatin1String("File Name");
            // The file column draws the name itself; a missing track has none.
            const bool named =
                fileName && !model->index(r, c).data(Qt::ToolTipRole).toString().isEmpty();
            if (text.isEmpty() && !named) continue;
            QRect cell = table->visualRect(model->index(r, c)).adjusted(2, 2, -3, -3);
            if (fileName) cell.setLeft(cell.left() + 22);
            cell = cell.intersected(picture.rect());
            if (cell.width() < 4) continue;
            const double contrast = cellContrast(picture, cell);
            ++checked.cells;
            checked.worst = qMin(checked.worst, contrast);
            EXPECT_GE(contrast, 4.5)
                << palette.toStdString() << " " << table->objectName().toStdString() << " row " << r
                << " column " << c << " \"" << text.toStdString() << "\"";
        }
    }
    return checked;
}

} // namespace

TEST(ThemeColors, TableTextReachesFourAndAHalfToOneInLightAndDarkPalettes) {
    // Four files of a five-track album: a grey "missing" row; new titles and
    // names in red; plain cells in the text colour.
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameTracks), true);
    LoopbackAlbumWeb web;
    LoopbackAlbumWeb::enableOnlyAMG();
    AlbumFolderFixture folder;
    ASSERT_TRUE(folder.setFolderName(QStringLiteral("Demo Album")));
    const QStringList titles{"one", "two", "three", "four"};
    for (int i = 0; i < titles.size(); ++i)
        ASSERT_TRUE(folder.add({QStringLiteral("%1.mp3").arg(i + 1), titles[i],
                                QStringLiteral("The Band"), QStringLiteral("Demo"), i + 1, 5,
                                QStringLiteral("2001"), QStringLiteral("Rock"), std::nullopt}));
    web.addAlbum({QStringLiteral("#AMG:r1"),
                  QStringLiteral("The Band"),
                  QStringLiteral("Demo"),
                  QStringLiteral("2001"),
                  QStringLiteral("Rock"),
                  {"One", "Two", "Three", "Four", "Five"}});
    FolderWindow window;
    window.document()->setSources(web.sources());
    window.show();
    window.setDocumentPath({folder.path(), false});
    window.document()->waitUntilIdle();
    for (QMessageBox* box : window.findChildren<QMessageBox*>())
        box->done(0);
    const HitTable& hits = window.document()->hitTable();
    for (int r = 0; r < hits.count(); ++r)
        if (hits.hitAt(r)->resultKey().startsWith(QLatin1String("#AMG:")))
            window.document()->applier().handleHitClick(r);
    window.reloadTracks();
    window.resize(1200, 700);

    const std::pair<QString, QPalette> palettes[] = {
        {QStringLiteral("light"), QApplication::style()->standardPalette()},
        {QStringLiteral("dark"), ThemeColors::darkPalette()}};
    for (const auto& [name, palette] : palettes) {
        window.setPalette(palette);
        ASSERT_EQ(ThemeColors::isDark(window.trackTable()->palette()), name == u"dark");
        QTest::qWait(50);
        const Checked tracks = checkCells(window.trackTable(), name);
        const Checked albumHits = checkCells(window.hitsTable(), name);
        // Five rows of six text columns, and the hits' text cells.
        EXPECT_GE(tracks.cells, 25) << name.toStdString();
        EXPECT_GE(albumHits.cells, 9) << name.toStdString();
    }
    Prefs::setValue(QString::fromLatin1(Prefs::kRenameTracks), false);
}
