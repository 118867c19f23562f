#pragma once

#include "docs/DocumentHost.h"
#include "ui/DocumentWindow.h"
#include "ui/ProgressSheet.h"
#include "ui/SheetAlertHost.h"

#include <QPointer>

class DocumentBase;

// What the folder and single-file windows share as their document's host:
// alerts as window-modal sheets, the progress sheet (also for workers), the
// title and edited mark, and the closing rules (no close while busy; unsaved
// changes are confirmed; "Save" closes once the save has ended).
class TaggingWindow : public DocumentWindow, public DocumentHost {
    Q_OBJECT
public:
    explicit TaggingWindow(QWidget* parent = nullptr);

    // The document this window shows.
    virtual DocumentBase* baseDocument() const = 0;

    // DocumentHost.
    void showAlert(const Alert& alert, std::function<void(int)> response = {}) override;
    ProgressIndicator* progressSheet() override;
    void closeProgressSheet() override;
    void syncWindowTitle() override;
    void setEdited(bool edited) override;

    ProgressSheet* currentProgressSheet() const { return fNCProgressSheet; }

protected:
    // Call once the document exists: a save-then-close closes the window.
    void watchDocument();
    void closeEvent(QCloseEvent* event) override;

private:
    SheetAlertHost fAlerts;
    QPointer<ProgressSheet> fNCProgressSheet;
    bool fCloseConfirmed = false;
};
