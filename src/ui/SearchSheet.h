#pragma once

#include <QDialog>

class QLineEdit;

// The search sheet: the search terms ("artist / album") for editing before
// a look-up.
class SearchSheet : public QDialog {
    Q_OBJECT
public:
    explicit SearchSheet(QWidget* window);
    QLineEdit* termsField() const { return fSearchTermsTextField; }

private:
    QLineEdit* fSearchTermsTextField;
};
