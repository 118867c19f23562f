#pragma once

#include "ui/DropActionDict.h"

#include <QMainWindow>

// A window that shows one document: a folder (an album) or a single file.
// Created empty by the open route and handed its path a second later.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    using QMainWindow::QMainWindow;

    virtual void setDocumentPath(const DropActionDict& request) = 0;
    // Whether the document is a folder (an album) rather than a single file.
    virtual bool isFolderWindow() const = 0;
    // The path handed in, or null before that.
    virtual QString documentPath() const = 0;
};
