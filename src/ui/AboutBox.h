#pragma once

#include <QDialog>

class QLabel;

// About Trovix: the name and version, and the libraries it is built on with
// their licences.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    QLabel* versionLabel() const { return fVersion; }
    QLabel* librariesLabel() const { return fLibraries; }

private:
    QLabel* fVersion;
    QLabel* fLibraries;
};
