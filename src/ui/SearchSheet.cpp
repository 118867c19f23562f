#include "ui/SearchSheet.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SearchSheet::SearchSheet(QWidget* window) : QDialog(window) {
    setObjectName(QStringLiteral("searchSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(tr("Search"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(tr("&Search for (artist / album):"), this);
    layout->addWidget(label);
    fSearchTermsTextField = new QLineEdit(this);
    label->setBuddy(fSearchTermsTextField);
    fSearchTermsTextField->setMinimumWidth(360);
    layout->addWidget(fSearchTermsTextField);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("&Look Up"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
