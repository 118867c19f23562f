#pragma once

#include <QSet>
#include <QString>

class QMenu;
class QWidget;

// Keyboard access for menus whose item titles are made at run time (recent
// documents, look-ups named after the album): titles are escaped so an "&"
// in a name shows as itself, and each item without a mnemonic gets a letter
// of its own, preferring the first letters of words.
class Mnemonics {
public:
    // The text with every "&" doubled, for a title that must show as given.
    static QString escaped(const QString& text);
    // The mnemonic letter of a title (lower case), or a null character.
    static QChar of(const QString& title);
    // Gives every item of the menu that has none a letter no other item of
    // the menu uses; items left without one when the letters run out.
    static void assign(QMenu* menu);
    // The same for the check boxes, buttons and field labels (labels with
    // a buddy) under `root`, leaving out the letters of `taken`.
    static void assign(QWidget* root, const QString& taken = {});

private:
    // Puts "&" before a letter of `text` not in `used` (and adds it there);
    // the text as it was when every letter is used.
    static QString withNewMnemonic(const QString& text, QSet<QChar>& used);
};
