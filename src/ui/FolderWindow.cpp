#include "ui/FolderWindow.h"

#include "ui/LegendPanel.h"

#include <QDockWidget>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

FolderWindow::FolderWindow(QWidget* parent) : DocumentWindow(parent) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Untitled"));
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* buttons = new QHBoxLayout;
    fLegendButton = new QPushButton(tr("Legend"), central);
    fLegendButton->setCheckable(true);
    fLegendButton->setObjectName(QStringLiteral("legendButton"));
    buttons->addWidget(fLegendButton);
    buttons->addStretch();
    layout->addStretch();
    layout->addLayout(buttons);
    setCentralWidget(central);

    fLegendPanel = new LegendPanel;
    fLegendDrawer = new QDockWidget(tr("Legend"), this);
    fLegendDrawer->setObjectName(QStringLiteral("legendDrawer"));
    fLegendDrawer->setWidget(fLegendPanel);
    fLegendDrawer->setFeatures(QDockWidget::DockWidgetClosable);
    addDockWidget(Qt::RightDockWidgetArea, fLegendDrawer);
    fLegendDrawer->hide();
    connect(fLegendButton, &QPushButton::toggled, this, &FolderWindow::showLegend);
    // Closing the panel itself turns the button off.
    connect(fLegendDrawer, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible && isVisible() && fLegendButton->isChecked()) fLegendButton->setChecked(false);
    });
    resize(900, 640);
}

void FolderWindow::setDocumentPath(const DropActionDict& request) {
    fDocPath = request.path;
    syncWindowTitle();
}

void FolderWindow::syncWindowTitle() {
    if (!fDocPath.isEmpty()) setWindowTitle(QFileInfo(fDocPath).fileName());
}

void FolderWindow::showLegend(bool on) {
    fLegendDrawer->setVisible(on);
    if (fLegendButton->isChecked() != on) fLegendButton->setChecked(on);
}

bool FolderWindow::legendShown() const { return fLegendDrawer->isVisible(); }
