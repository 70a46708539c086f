#pragma once

#include <QColor>
#include <QFont>
#include <QString>

// The character sets a report font may ask for, numbered as the classic font API numbers them.
namespace ReportCharset {
inline constexpr int Default = 1;
inline constexpr int Symbol = 2;
inline constexpr int Cyrillic = 204;
} // namespace ReportCharset

// A font as a report describes it: face name, character set, size, style and colour.
struct TReportFont
{
    QString name = QStringLiteral("Arial");
    int charset = ReportCharset::Default;
    qreal pointSize = 10;
    bool bold = false;
    QColor colour = Qt::black;

    // The face to paint with. Qt picks glyphs per script, so the character set needs no
    // mapping of its own: a face that is missing (Tahoma on Linux) is substituted by the font
    // configuration, and Cyrillic text in a face without Cyrillic glyphs falls back to one
    // that has them.
    QFont toQFont() const;

    friend bool operator==(const TReportFont &, const TReportFont &) = default;
};
