#pragma once
#include <QByteArray>
#include <QString>

// One member of a zip file (an .xlsx is one), read by its name from the
// central directory and inflated with zlib: the member alone is read, not
// the whole file. Stored and deflated members, zip64 sizes and offsets.
// False with `error` saying why (not a zip, no such member, damaged).
bool readZipMember(const QString &zipPath, const QString &name, QByteArray &out, QString &error);
