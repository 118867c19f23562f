#include "ui/Mnemonics.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QMenu>

QString Mnemonics::escaped(const QString& text) {
    QString out = text;
    return out.replace(u'&', QStringLiteral("&&"));
}

QChar Mnemonics::of(const QString& title) {
    for (qsizetype i = 0; i + 1 < title.size(); ++i) {
        if (title[i] != u'&') continue;
        if (title[i + 1] != u'&') return title[i + 1].toLower();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

QString Mnemonics::withNewMnemonic(const QString& text, QSet<QChar>& used) {
    // Word starts first, then any letter or digit; "&&" is not a letter.
    for (int pass = 0; pass < 2; ++pass) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] == u'&') {
                ++i;
                continue;
            }
            const bool wordStart = i == 0 || !text[i - 1].isLetterOrNumber();
            if (!text[i].isLetterOrNumber() || (pass == 0 && !wordStart)) continue;
            if (used.contains(text[i].toLower())) continue;
            used.insert(text[i].toLower());
            return text.left(i) + u'&' + text.mid(i);
        }
    }
    return text;
}

void Mnemonics::assign(QMenu* menu) {
    QSet<QChar> used;
    QList<QAction*> pending;
    for (QAction* action : menu->actions()) {
        if (action->isSeparator() || action->text().isEmpty()) continue;
        const QChar letter = of(action->text());
        if (letter.isNull())
            pending << action;
        else
            used.insert(letter);
    }
    for (QAction* action : pending)
        action->setText(withNewMnemonic(action->text(), used));
}

void Mnemonics::assign(QWidget* root, const QString& taken) {
    QSet<QChar> used;
    for (const QChar c : taken)
        used.insert(c.toLower());
    // Texts are read and set through these, whatever the widget's kind.
    struct Item {
        QWidget* widget;
        QString text;
    };
    QList<Item> items;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* button = qobject_cast<QAbstractButton*>(w))
            items.append({w, button->text()});
        else if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            items.append({w, label->text()});
    }
    QList<Item> pending;
    for (const Item& item : items) {
        if (item.text.isEmpty()) continue;
        const QChar letter = of(item.text);
        if (letter.isNull())
            pending << item;
        else
            used.insert(letter);
    }
    for (const Item& item : pending) {
        const QString text = withNewMnemonic(item.text, used);
        if (auto* button = qobject_cast<QAbstractButton*>(item.widget))
            button->setText(text);
        else
            static_cast<QLabel*>(item.widget)->setText(text);
    }
}
