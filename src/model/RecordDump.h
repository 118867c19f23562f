#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

// A record held in another's dictionary, as the dump prints it: its class
// and address only, since records may hold each other.
struct RecordRef {
    const char* className = "nil";
    const void* address = nullptr;
};

// The printed forms of the dictionary-backed records, for logs: a header line
// with the class, address and entry count, then the dictionary itself.
QString DescribeValue(const QVariant& value, int indent = 0);
QString DescribeDict(const QVariantMap& dict, int indent = 0);
QString DescribeRecord(const char* className, const void* address, const QVariantMap& dict);
QString DescribeArrayHeader(const char* className, const void* address, qsizetype count);
