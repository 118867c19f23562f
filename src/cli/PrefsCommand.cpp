#include "cli/PrefsCommand.h"

#include "app/Preferences.h"
#include "prefs/PrefsModel.h"
#include "cli/TextOutput.h"

#include <QTextStream>

namespace {

bool isBoolKey(const QVariant& def) {
    const QString s = def.typeId() == QMetaType::QString ? def.toString() : QString();
    return s == QLatin1String("YES") || s == QLatin1String("NO");
}

} // namespace

namespace PrefsCommand {

QVariant valueFromText(const QString& key, const QString& text, QString* error) {
    const QVariant def = Prefs::defaultValue(key);
    if (!def.isValid()) {
        *error = QStringLiteral("Unknown preference \"%1\" (see trovix-cli prefs)").arg(key);
        return {};
    }
    if (isBoolKey(def)) {
        const QString t = text.trimmed().toLower();
        if (t == u"yes" || t == u"true" || t == u"1" || t == u"on") return true;
        if (t == u"no" || t == u"false" || t == u"0" || t == u"off") return false;
        *error = QStringLiteral("%1 takes YES or NO, not \"%2\"").arg(key, text);
        return {};
    }
    if (def.typeId() == QMetaType::Int) {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        if (!ok) {
            *error = QStringLiteral("%1 takes a whole number, not \"%2\"").arg(key, text);
            return {};
        }
        return n;
    }
    return text;
}

QString textOf(const QString& key, const QVariant& value) {
    if (isBoolKey(Prefs::defaultValue(key)))
        return Prefs::boolValue(key) ? QStringLiteral("YES") : QStringLiteral("NO");
    return value.toString();
}

bool applyOverrides(const QList<QPair<QString, QString>>& overrides, QString* error) {
    for (const auto& [key, text] : overrides) {
        const QVariant v = valueFromText(key, text, error);
        if (!v.isValid()) return false;
        Prefs::setOverride(key, v);
    }
    return true;
}

int run(bool store, const QString& key, const QString& text, QTextStream& out, QTextStream& err) {
    if (store) {
        QString error;
        const QVariant v = valueFromText(key, text, &error);
        if (!v.isValid()) {
            err << "trovix-cli: " << error << "\n";
            return 2;
        }
        Prefs::setValue(key, v);
        Prefs::postPrefsChanged();
        out << key << " = " << textOf(key, Prefs::value(key)) << "\n";
        return 0;
    }
    for (const QString& k : Prefs::allKeys())
        out << k << " = " << textOf(k, Prefs::value(k)) << "\n";
    return 0;
}

int check(QTextStream& out) {
    PrefsModel model;
    model.load();
    model.renderExamples();
    const PrefsModel::TemplateCheck result = model.checkTemplates();
    if (result.outcome == PrefsModel::Check::Pass) {
        out << "The track name templates give a unique name for each track.\n";
        return 0;
    }
    TextOutput::printAlerts({result.alert()}, out);
    return 1;
}

} // namespace PrefsCommand
