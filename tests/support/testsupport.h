#pragma once

#include <QByteArray>
#include <QString>

namespace testsupport {

// Registers the bundled JetBrains Mono so that text widths and rendered pictures are the
// same on every machine. Call before measuring or painting text. Returns the family name.
QString registerBundledMonoFont();

// Folder for pictures a test writes so a person can look at them:
// <build>/test-output/<testName>/, created on demand.
QString outputDir(const QString &testName);

// The whole content of a file, or empty bytes when it cannot be read.
QByteArray readFileBytes(const QString &path);

// Absolute path of a data file kept under tests/ in the source tree.
QString dataPath(const QString &relativePath);

} // namespace testsupport
