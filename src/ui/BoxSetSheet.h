#pragma once

#include <QDialog>

class BoxSetModel;
class QLabel;
class QListView;
class TrovixDocument;

// The box-set sheet: the albums gathered for one folder, reordered by drag,
// removed with Delete, and a caption counting them.
class BoxSetSheet : public QDialog {
    Q_OBJECT
public:
    BoxSetSheet(TrovixDocument* doc, QWidget* window);

    // The caption's colour.
    static QColor rubricColor(const QPalette& palette) { return palette.color(QPalette::Link); }

    QListView* listView() const { return fList; }
    BoxSetModel* boxSetModel() const { return fModel; }
    QLabel* rubric() const { return fRubric; }

    // Removes the selected albums.
    void clearSelected();
    void reload();
    // OK: the caption is brought up to date.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;


private:
    TrovixDocument* fDoc;
    BoxSetModel* fModel;
    QListView* fList;
    QLabel* fRubric;
};
