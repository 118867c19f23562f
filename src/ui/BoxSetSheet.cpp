#include "ui/BoxSetSheet.h"

#include "docs/TrovixDocument.h"
#include "ui/BoxSetModel.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

BoxSetSheet::BoxSetSheet(TrovixDocument* doc, QWidget* window)
    : QDialog(window), fDoc(doc), fModel(new BoxSetModel(doc, this)) {
    setObjectName(QStringLiteral("boxSetSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Box Set"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Albums of the box set, in disc order:"), this));
    fList = new QListView(this);
    fList->setModel(fModel);
    fList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fList->setDragEnabled(true);
    fList->setAcceptDrops(true);
    fList->setDropIndicatorShown(true);
    fList->setDragDropMode(QAbstractItemView::DragDrop);
    fList->setDefaultDropAction(Qt::CopyAction);
    fList->installEventFilter(this);
    layout->addWidget(fList);
    fRubric = new QLabel(this);
    fRubric->setWordWrap(true);
    QPalette palette = fRubric->palette();
    palette.setColor(QPalette::WindowText, rubricColor(palette));
    fRubric->setPalette(palette);
    layout->addWidget(fRubric);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BoxSetSheet::accept);
    layout->addWidget(buttons);
    resize(420, 300);
}

void BoxSetSheet::reload() {
    fModel->reload();
    fRubric->setText(fDoc->boxSetEditor().multiCDRubric());
}

void BoxSetSheet::clearSelected() {
    QList<qsizetype> rows;
    for (const QModelIndex& i : fList->selectionModel()->selectedRows()) rows.append(i.row());
    if (rows.isEmpty()) return;
    fDoc->boxSetEditor().removeBoxSetRows(rows);
    fList->clearSelection();
    fModel->reload();
}

bool BoxSetSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Delete || key == Qt::Key_Backspace) {
            clearSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void BoxSetSheet::accept() {
    fDoc->boxSetEditor().multiCDPanelOK();
    fRubric->setText(fDoc->boxSetEditor().multiCDRubric());
    QDialog::accept();
}
