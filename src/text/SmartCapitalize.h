#pragma once
#include <QString>
QString SmartCapitalize(const QString& text);
QString SqueezeString(const QString& text);
QString RemoveLeadingArticle(const QString& text);
