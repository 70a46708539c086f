#pragma once

#include <QByteArrayView>
#include <QString>

// The kinds of Access database file, told apart by the file's first page.
enum class AccessFormat
{
    None, // not an Access file (or not readable)
    Jet3, // Access 97
    Jet4, // Access 2000–2003
    Ace,  // Access 2007 and later (.accdb written into an .mdb name)
};

// Bytes of the header that accessFormatOfHeader() needs.
constexpr qsizetype AccessHeaderSize = 0x15;

// "Standard Jet DB" or "Standard ACE DB" at offset 4, and the version byte at 0x14.
AccessFormat accessFormatOfHeader(QByteArrayView header);
// Reads the header of a file; None when the file cannot be read or is no Access file.
AccessFormat accessFormatOf(const QString &path);
QString accessFormatName(AccessFormat format);
// The page size every Access file of the format is a whole number of.
qint64 accessPageSize(AccessFormat format);
