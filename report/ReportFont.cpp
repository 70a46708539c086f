#include "report/ReportFont.h"

QFont TReportFont::toQFont() const
{
    QFont font;
    font.setFamilies({name});
    font.setStyleHint(charset == ReportCharset::Symbol ? QFont::AnyStyle : QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
