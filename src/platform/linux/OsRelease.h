#pragma once
// The one reader of os-release texts.

#include <QByteArray>
#include <QString>

// The PRETTY_NAME of an os-release text (shell-style quoting); empty when absent.
QString OsReleasePrettyName(const QByteArray& AOsRelease);
