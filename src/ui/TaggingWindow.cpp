#include "ui/TaggingWindow.h"

#include "docs/DocumentBase.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QThread>

namespace {

// What a worker gets when it asks for a sheet that only the GUI thread could
// make: progress it reports goes nowhere.
class NoProgress : public ProgressIndicator {
public:
    void NotifyBeginInd(const QString&, bool) override {}
    void NotifyBeginDet(const QString&, int, int, bool) override {}
    void NotifyBump(int) override {}
    void NotifyAnimate() override {}
    bool cancelled() override { return false; }
};

} // namespace

TaggingWindow::TaggingWindow(QWidget* parent) : DocumentWindow(parent), fAlerts(this) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Untitled") + QStringLiteral("[*]"));
}

void TaggingWindow::watchDocument() {
    connect(baseDocument(), &DocumentBase::closedAfterSave, this, [this] {
        fCloseConfirmed = true;
        closeProgressSheet();
        close();
    });
}

void TaggingWindow::showAlert(const Alert& alert, std::function<void(int)> response) {
    fAlerts.showAlert(alert, std::move(response));
}

ProgressIndicator* TaggingWindow::progressSheet() {
    if (QThread::currentThread() != thread()) {
        if (fNCProgressSheet) return fNCProgressSheet;
        static NoProgress none;
        return &none;
    }
    if (!fNCProgressSheet) fNCProgressSheet = new ProgressSheet(this);
    return fNCProgressSheet;
}

void TaggingWindow::closeProgressSheet() {
    if (!fNCProgressSheet) return;
    fNCProgressSheet->closeSheet();
    fNCProgressSheet->deleteLater();
    fNCProgressSheet = nullptr;
}

void TaggingWindow::syncWindowTitle() {
    const QString name = baseDocument()->displayName();
    setWindowTitle((name.isEmpty() ? tr("Untitled") : name) + QStringLiteral("[*]"));
}

void TaggingWindow::setEdited(bool edited) { setWindowModified(edited); }

void TaggingWindow::closeEvent(QCloseEvent* event) {
    DocumentBase* doc = baseDocument();
    // A busy document cannot close; nothing is asked.
    if (!doc->isIdle()) {
        event->ignore();
        return;
    }
    if (isWindowModified() && !fCloseConfirmed) {
        event->ignore();
        QMessageBox* box = SheetAlertHost::makeAlertBox(
            this,
            {tr("Unsaved Changes"),
             tr("Do you want to save the changes you made in \"%1\"?").arg(doc->displayName()),
             {tr("Save"), tr("Cancel"), tr("Don't Save")}},
            [this](int button) {
                if (button == 0) {
                    // The window goes once the save has ended (closedAfterSave).
                    endEditing();
                    baseDocument()->saveDocumentWithDelegate();
                } else if (button == 2) {
                    fCloseConfirmed = true;
                    close();
                }
            });
        box->open();
        return;
    }
    if (!doc->requestClose()) {
        event->ignore();
        return;
    }
    closeProgressSheet();
    event->accept();
}
