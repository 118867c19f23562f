#pragma once

#include "cli/FileView.h"
#include "cli/FolderView.h"

#include <QByteArray>

namespace JsonOutput {

// One indented JSON object and a line feed, as QJsonDocument writes it.
QByteArray format(const FolderView& view);
QByteArray format(const FileView& view);

} // namespace JsonOutput
