#pragma once

#include "cli/FileView.h"
#include "cli/FolderView.h"

#include <QByteArray>
#include <QJsonObject>

namespace JsonOutput {

QJsonObject toJson(const FolderView& view);
// One indented JSON object and a line feed.
QByteArray format(const FolderView& view);
QJsonObject toJson(const FileView& view);
QByteArray format(const FileView& view);

} // namespace JsonOutput
