#include "ui/AboutBox.h"

#include "app/AppVersion.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("aboutBox"));
    setWindowTitle(tr("About %1").arg(AppVersion::AppName()));
    auto* layout = new QVBoxLayout(this);
    fVersion = new QLabel(AppVersion::AppNameWithVersion() + QStringLiteral(" (") +
                              AppVersion::versionText() + QLatin1Char(')'),
                          this);
    QFont big = fVersion->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    fVersion->setFont(big);
    fVersion->setAlignment(Qt::AlignCenter);
    layout->addWidget(fVersion);
    auto* blurb = new QLabel(tr("Completes and corrects the tags and names of album folders and "
                                "music files from music web sources."),
                             this);
    blurb->setWordWrap(true);
    blurb->setAlignment(Qt::AlignCenter);
    layout->addWidget(blurb);
    layout->addSpacing(8);
    layout->addWidget(new QLabel(tr("Built with:"), this));
    fLibraries = new QLabel(AppVersion::libraryNotices().join(QLatin1Char('\n')), this);
    fLibraries->setTextFormat(Qt::PlainText);
    fLibraries->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(fLibraries);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
