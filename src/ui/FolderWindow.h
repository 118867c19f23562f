#pragma once

#include "ui/DocumentWindow.h"

class LegendPanel;
class QDockWidget;
class QPushButton;

// The window of an album folder.
class FolderWindow : public DocumentWindow {
    Q_OBJECT
public:
    explicit FolderWindow(QWidget* parent = nullptr);

    void setDocumentPath(const DropActionDict& request) override;
    bool isFolderWindow() const override { return true; }
    QString documentPath() const override { return fDocPath; }

    // The legend beside the window, opened and closed by the legend button.
    void showLegend(bool on);
    bool legendShown() const;
    QPushButton* legendButton() const { return fLegendButton; }
    LegendPanel* legendPanel() const { return fLegendPanel; }

    // The window's title: the folder's name.
    void syncWindowTitle();

private:
    QString fDocPath;
    QPushButton* fLegendButton;
    QDockWidget* fLegendDrawer;
    LegendPanel* fLegendPanel;
};
