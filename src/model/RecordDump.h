#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// The printed forms of the dictionary-backed records, for logs: a header line
// with the class, address and entry count, then the dictionary itself.
QString DescribeValue(const QVariant& value, int indent = 0);
QString DescribeDict(const QVariantMap& dict, int indent = 0);
QString DescribeRecord(const char* className, const void* address, const QVariantMap& dict);
QString DescribeArrayHeader(const char* className, const void* address, qsizetype count);
