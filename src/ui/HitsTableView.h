#pragma once

#include <QTableView>

#include <functional>

class HitListModel;

// What the album and song hits tables share: one selectable row at a time,
// a click on a row, or a key that moves the selection, handed to the
// document; a header click sorts by that column.
class HitsTableView : public QTableView {
    Q_OBJECT
public:
    struct Hooks {
        std::function<int()> selectedHitRow;            // the document's selected row
        std::function<void(int row)> handleHitClick;    // a row chosen
        std::function<bool(const QString& column)> sortHits; // true when sorted
    };

    HitsTableView(HitListModel* model, Hooks hooks, QWidget* parent = nullptr);

    // Mirrors the document's hits and selected row.
    void reloadHits();
    // Column widths in average characters of the font, by column.
    void setColumnWidthsInChars(const QList<int>& chars);
    int selectedRow() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    HitListModel* fHitModel;
    Hooks fHooks;
};
