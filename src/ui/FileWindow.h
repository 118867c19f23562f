#pragma once

#include "ui/DocumentWindow.h"

class QLabel;
class QLineEdit;

// The window of a single music file. Until the single-file document has a
// window of its own, this shows the file's tags read-only.
class FileWindow : public DocumentWindow {
    Q_OBJECT
public:
    explicit FileWindow(QWidget* parent = nullptr);

    void setDocumentPath(const DropActionDict& request) override;
    bool isFolderWindow() const override { return false; }
    QString documentPath() const override { return fDocPath; }

    // The shown value of a field: "title", "artist", "album", "year",
    // "genre", "track".
    QString fieldText(const QString& name) const;

private:
    QString fDocPath;
    QLabel* fNotice;
    QList<QPair<QString, QLineEdit*>> fFields;
};
