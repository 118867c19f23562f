#pragma once
#include <QString>
int FuzzyCompare(const QString& a, const QString& b);
bool IsNumeric(const QString& text);
