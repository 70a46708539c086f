#include "access/AccessFormat.h"

#include <QFile>

namespace {

constexpr QByteArrayView JetSignature("Standard Jet DB");
constexpr QByteArrayView AceSignature("Standard ACE DB");
constexpr qsizetype SignatureOffset = 4;
constexpr qsizetype VersionOffset = 0x14;

} // namespace

AccessFormat accessFormatOfHeader(QByteArrayView header)
{
    if (header.size() < AccessHeaderSize)
        return AccessFormat::None;
    const QByteArrayView signature = header.sliced(SignatureOffset, JetSignature.size());
    const auto version = static_cast<unsigned char>(header.at(VersionOffset));
    if (signature == AceSignature)
        return AccessFormat::Ace;
    if (signature != JetSignature)
        return AccessFormat::None;
    switch (version) {
    case 0:
        return AccessFormat::Jet3;
    case 1:
        return AccessFormat::Jet4;
    default:
        return AccessFormat::Ace;
    }
}

AccessFormat accessFormatOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return AccessFormat::None;
    return accessFormatOfHeader(file.read(AccessHeaderSize));
}

QString accessFormatName(AccessFormat format)
{
    switch (format) {
    case AccessFormat::Jet3:
        return QStringLiteral("Access 97 (Jet 3)");
    case AccessFormat::Jet4:
        return QStringLiteral("Access 2000–2003 (Jet 4)");
    case AccessFormat::Ace:
        return QStringLiteral("Access 2007 и новее (ACE)");
    case AccessFormat::None:
        break;
    }
    return QStringLiteral("не Access");
}

qint64 accessPageSize(AccessFormat format)
{
    return format == AccessFormat::Jet3 ? 2048 : 4096;
}
