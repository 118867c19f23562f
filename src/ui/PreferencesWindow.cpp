#include "ui/PreferencesWindow.h"

#include "app/Preferences.h"
#include "prefs/WebSourcePrefs.h"
#include "ui/Mnemonics.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kPlaceholderHelp = QStringLiteral(
    "%N track number, %T title (the album in folder names), %A artist, %L album, %Y year, "
    "%G genre, %B bit rate, %b (VBR) or (MBR), %I (INC) when tracks are missing; "
    "%t, %a and %l squeeze out spaces.");

// The ID3 pop-up: entry 0 writes ID3v2.3 (stored 2), entry 1 ID3v2.4 (3).
int tagVersionIndex(int stored) {
    return stored == 3 ? 1 : 0;
}
int tagVersionFor(int index) {
    return index == 1 ? 3 : 2;
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    label->setFont(small);
    return label;
}

QGridLayout* paneGrid(QWidget* pane) {
    auto* grid = new QGridLayout(pane);
    grid->setColumnStretch(1, 1);
    return grid;
}

void finishPane(QGridLayout* grid) {
    grid->setRowStretch(grid->rowCount(), 1);
}

} // namespace

PreferencesWindow::PreferencesWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("preferencesWindow"));
    setWindowTitle(tr("Preferences"));
    auto* layout = new QVBoxLayout(this);

    fToolbar = new QToolBar(this);
    fToolbar->setObjectName(QStringLiteral("mainToolbar"));
    fToolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    layout->addWidget(fToolbar);
    fPanes = new QStackedWidget(this);
    layout->addWidget(fPanes, 1);

    const struct {
        const char* id;
        QString label;
        QStyle::StandardPixmap icon;
        QWidget* pane;
    } panes[] = {
        {"FileNames", tr("File Names"), QStyle::SP_FileIcon, buildFileNamesPane()},
        {"FolderNames", tr("Folder Names"), QStyle::SP_DirIcon, buildFolderNamesPane()},
        {"SongTitles", tr("Song Titles"), QStyle::SP_FileDialogDetailedView, buildSongTitlesPane()},
        {"CoverArt", tr("Cover Art"), QStyle::SP_DesktopIcon, buildCoverArtPane()},
        {"General", tr("General"), QStyle::SP_ComputerIcon, buildGeneralPane()},
    };
    auto* group = new QActionGroup(this);
    for (const auto& p : panes) {
        const int index = fPanes->addWidget(p.pane);
        p.pane->setObjectName(QString::fromLatin1(p.id) + QStringLiteral("Pane"));
        // Only the shown pane's mnemonics are live; the buttons below keep
        // theirs ("&Restore Defaults", "&Cancel", "&OK").
        Mnemonics::assign(p.pane, QStringLiteral("rco"));
        QAction* action = fToolbar->addAction(style()->standardIcon(p.icon), p.label);
        action->setObjectName(QString::fromLatin1(p.id));
        action->setCheckable(true);
        // The panes by keyboard: Ctrl+1 to Ctrl+5.
        action->setShortcut(QKeySequence(QKeyCombination(Qt::CTRL, Qt::Key(Qt::Key_1 + index))));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, index] { showPane(index); });
        fPaneActions.append(action);
    }

    auto* buttons = new QDialogButtonBox(this);
    fRestore = buttons->addButton(QDialogButtonBox::RestoreDefaults);
    fRestore->setText(tr("&Restore Defaults"));
    fCancel = buttons->addButton(QDialogButtonBox::Cancel);
    fOK = buttons->addButton(QDialogButtonBox::Ok);
    fOK->setDefault(true);
    layout->addWidget(buttons);
    connect(fOK, &QPushButton::clicked, this, [this] { fModel.actionOK(); });
    connect(fCancel, &QPushButton::clicked, this, &PreferencesWindow::reject);
    connect(fRestore, &QPushButton::clicked, this, [this] {
        fPopulating = true;
        fModel.actionRestoreDefaults();
        fPopulating = false;
    });
    resize(620, 440);
}

// Panes ---------------------------------------------------------------------

QWidget* PreferencesWindow::buildFileNamesPane() {
    auto* pane = new QWidget;
    QGridLayout* grid = paneGrid(pane);
    addCheckBox(grid, Prefs::kRenameTracks, tr("Rename music files when saving"));
    addTemplate(grid, Prefs::kTrackFileNameFormat, tr("File name:"));
    addCheckBox(grid, Prefs::kVARenameTracks, tr("Own template for various-artists albums"));
    addTemplate(grid, Prefs::kVATrackFileNameFormat, tr("Various artists:"));
    addCheckBox(grid, Prefs::kSFRenameTracks, tr("Own template for single files"));
    addTemplate(grid, Prefs::kSFTrackFileNameFormat, tr("Single file:"));
    addField(grid, Prefs::kOmitChars, tr("Leave out these characters:"));
    grid->addWidget(caption(kPlaceholderHelp, pane), grid->rowCount(), 0, 1, 2);
    finishPane(grid);
    return pane;
}

QWidget* PreferencesWindow::buildFolderNamesPane() {
    auto* pane = new QWidget;
    QGridLayout* grid = paneGrid(pane);
    addCheckBox(grid, Prefs::kRenameAlbums, tr("Rename the album folder when saving"));
    addTemplate(grid, Prefs::kAlbumFolderNameFormat, tr("Folder name:"));
    addCheckBox(grid, Prefs::kVARenameAlbums, tr("Own template for various-artists albums"));
    addTemplate(grid, Prefs::kVAAlbumFolderNameFormat, tr("Various artists:"));
    grid->addWidget(caption(kPlaceholderHelp, pane), grid->rowCount(), 0, 1, 2);
    finishPane(grid);
    return pane;
}

QWidget* PreferencesWindow::buildSongTitlesPane() {
    auto* pane = new QWidget;
    QGridLayout* grid = paneGrid(pane);
    addCheckBox(grid, Prefs::kSmartCapitalization,
                tr("Smart capitalization of titles, artists and albums"));
    addTemplate(grid, Prefs::kTitleTagFormat, tr("Title tag:"));
    addCheckBox(grid, Prefs::kVARenameTitles, tr("Own template for various-artists albums"));
    addTemplate(grid, Prefs::kVATitleTagFormat, tr("Various artists:"));
    addCheckBox(grid, Prefs::kSFRenameTitles, tr("Own template for single files"));
    addTemplate(grid, Prefs::kSFTitleTagFormat, tr("Single file:"));
    grid->addWidget(caption(kPlaceholderHelp, pane), grid->rowCount(), 0, 1, 2);
    finishPane(grid);
    return pane;
}

QWidget* PreferencesWindow::buildCoverArtPane() {
    auto* pane = new QWidget;
    QGridLayout* grid = paneGrid(pane);
    addCheckBox(grid, Prefs::kSearchForCoverArt, tr("Look for cover art during a look-up"));
    addCheckBox(grid, Prefs::kEmbedCoverInTags, tr("Embed the cover in every file's tags"));
    addCheckBox(grid, Prefs::kSaveCoverToFile, tr("Save the cover as an image file"));
    addField(grid, Prefs::kCoverFileName, tr("File name:"));
    for (const QString& text : {tr("The file goes into the album folder,"), tr("named as above,"),
                                tr("with the extension of its image format."),
                                tr("File managers and players show it as the album's picture.")}) {
        QLabel* label = caption(text, pane);
        fCoverCaptions.append(label);
        grid->addWidget(label, grid->rowCount(), 1);
    }
    addCheckBox(grid, Prefs::kResizeCover, tr("Resize the cover before storing it"));
    addField(grid, Prefs::kResizePixels, tr("Size in pixels:"));
    auto* resize = new QComboBox(pane);
    resize->addItems({tr("Scale to that size"), tr("Only enlarge smaller covers"),
                      tr("Only shrink larger covers")});
    resize->setObjectName(QString::fromLatin1(Prefs::kResizeOption));
    fControls.insert(resize->objectName(), resize);
    const int row = grid->rowCount();
    auto* rule = new QLabel(tr("Rule:"), pane);
    rule->setBuddy(resize);
    grid->addWidget(rule, row, 0);
    grid->addWidget(resize, row, 1);
    watch(resize);
    finishPane(grid);
    return pane;
}

QWidget* PreferencesWindow::buildGeneralPane() {
    auto* pane = new QWidget;
    QGridLayout* grid = paneGrid(pane);
    addCheckBox(grid, Prefs::kBackup, tr("Back up the music files before changing them"));
    auto* version = new QComboBox(pane);
    version->addItems({tr("ID3v2.3"), tr("ID3v2.4")});
    version->setObjectName(QString::fromLatin1(Prefs::kTagVersion));
    fControls.insert(version->objectName(), version);
    int row = grid->rowCount();
    auto* tags = new QLabel(tr("Tags of MP3 files:"), pane);
    tags->setBuddy(version);
    grid->addWidget(tags, row, 0);
    grid->addWidget(version, row, 1, Qt::AlignLeft);
    watch(version);
    addField(grid, Prefs::kMaxEntriesToFetch, tr("Most hits per search:"));
    addField(grid, Prefs::kLookupTimeLimit, tr("Longest look-up (seconds):"));
    addCheckBox(grid, Prefs::kWriteDebugFiles, tr("Keep debug copies of web pages"));

    auto* heading = new QLabel(tr("Advanced"), pane);
    heading->setObjectName(QStringLiteral("advancedHeading"));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, grid->rowCount(), 0, 1, 2);
    // One row per web source: its on/off box (or its name) and its address.
    for (const WebSourcePref& source : WebSourcePref::all()) {
        row = grid->rowCount();
        if (!source.searchKey.isNull()) {
            auto* box = new QCheckBox(source.name, pane);
            box->setObjectName(source.searchKey);
            fControls.insert(source.searchKey, box);
            grid->addWidget(box, row, 0);
            watch(box);
        } else {
            grid->addWidget(new QLabel(source.name, pane), row, 0);
        }
        auto* base = new QLineEdit(pane);
        base->setObjectName(source.baseKey);
        base->setAccessibleName(tr("%1 address").arg(source.name));
        fControls.insert(source.baseKey, base);
        grid->addWidget(base, row, 1);
        watch(base);
    }
    finishPane(grid);
    return pane;
}

QCheckBox* PreferencesWindow::addCheckBox(QGridLayout* grid, const char* key,
                                          const QString& label) {
    auto* box = new QCheckBox(label, grid->parentWidget());
    box->setObjectName(QString::fromLatin1(key));
    fControls.insert(box->objectName(), box);
    grid->addWidget(box, grid->rowCount(), 0, 1, 2);
    watch(box);
    return box;
}

QLineEdit* PreferencesWindow::addField(QGridLayout* grid, const char* key, const QString& label) {
    auto* edit = new QLineEdit(grid->parentWidget());
    edit->setObjectName(QString::fromLatin1(key));
    fControls.insert(edit->objectName(), edit);
    const int row = grid->rowCount();
    auto* name = new QLabel(label, grid->parentWidget());
    name->setBuddy(edit);
    grid->addWidget(name, row, 0, Qt::AlignRight);
    grid->addWidget(edit, row, 1);
    watch(edit);
    return edit;
}

QLineEdit* PreferencesWindow::addTemplate(QGridLayout* grid, const char* key,
                                          const QString& label) {
    QLineEdit* edit = addField(grid, key, label);
    auto* example = new QLabel(grid->parentWidget());
    example->setObjectName(QString::fromLatin1(key) + QStringLiteral("Example"));
    example->setTextFormat(Qt::PlainText);
    example->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont italic = example->font();
    italic.setItalic(true);
    example->setFont(italic);
    fExamples.insert(QString::fromLatin1(key), example);
    grid->addWidget(example, grid->rowCount(), 1);
    return edit;
}

void PreferencesWindow::watch(QWidget* control) {
    // Programmatic changes (populate, Restore Defaults) run no actions.
    if (auto* box = qobject_cast<QCheckBox*>(control))
        connect(box, &QCheckBox::toggled, this, [this] {
            if (!fPopulating) fModel.actionCheckBox();
        });
    else if (auto* edit = qobject_cast<QLineEdit*>(control))
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (!fPopulating) fModel.actionTextChanged();
        });
}

// Window ----------------------------------------------------------------------

void PreferencesWindow::showWindow() {
    fPopulating = true;
    fModel.open();
    fPopulating = false;
    showPane(0);
    if (!isVisible()) {
        if (const QScreen* screen = QApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

void PreferencesWindow::showPane(int index) {
    fPanes->setCurrentIndex(index);
    fPaneActions.at(index)->setChecked(true);
}

QString PreferencesWindow::currentPane() const {
    return fPaneActions.at(fPanes->currentIndex())->objectName();
}

void PreferencesWindow::reject() {
    fModel.actionCancel();
}

// PrefsView -------------------------------------------------------------------

void PreferencesWindow::showValue(const QString& key, const QVariant& value) {
    const bool was = fPopulating;
    fPopulating = true;
    QWidget* control = fControls.value(key);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        box->setChecked(value.toBool());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value.toString());
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        const int n = value.toInt();
        if (key == QLatin1String(Prefs::kTagVersion))
            combo->setCurrentIndex(tagVersionIndex(n));
        else
            combo->setCurrentIndex(n >= 0 && n < combo->count() ? n : 0);
    }
    fPopulating = was;
}

QVariant PreferencesWindow::editedValue(const QString& key) const {
    QWidget* control = fControls.value(key);
    if (auto* box = qobject_cast<QCheckBox*>(control)) return box->isChecked();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (key == QLatin1String(Prefs::kTagVersion)) return tagVersionFor(combo->currentIndex());
        return combo->currentIndex();
    }
    return fModel.field(key);
}

void PreferencesWindow::enableControl(const QString& key, bool enabled) {
    if (QWidget* control = fControls.value(key)) control->setEnabled(enabled);
    if (QLabel* example = fExamples.value(key)) example->setEnabled(enabled);
    // Disabled labels are drawn grey.
    if (key == QLatin1String(Prefs::kCoverFileName))
        for (QLabel* label : fCoverCaptions)
            label->setEnabled(enabled);
}

void PreferencesWindow::showExample(const QString& templateKey, const QString& text) {
    if (QLabel* example = fExamples.value(templateKey)) example->setText(text);
}

void PreferencesWindow::closeWindow() {
    hide();
}

void PreferencesWindow::showAlert(const Alert& alert, std::function<void(int)> response) {
    fAlerts.showAlert(alert, std::move(response));
}
