#pragma once

#include <QWidget>

class FileTagDocument;

// The single-file window's status row above the fields: the five letters in
// the colours the document decides for the file against the typed values.
class StatusImage : public QWidget {
    Q_OBJECT
public:
    explicit StatusImage(FileTagDocument* doc, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FileTagDocument* fDoc;
};
