#pragma once

#include "report/ReportFont.h"

#include <memory>
#include <optional>
#include <vector>

class TReport;
class TReportElement;

// Where a band prints: on top of every page, under it, once per record, at the foot.
enum class BandType
{
    PageHeader,
    ColumnHeader,
    Detail,
    PageFooter
};

// A horizontal strip of a report page holding elements. A band spans the page between the
// margins; its height grows for elements that stretch.
class TReportBand
{
public:
    // A band as tall as the engine's default.
    static constexpr qreal DefaultHeightMm = 10;

    TReportBand(TReport *report, BandType type);
    ~TReportBand();
    TReportBand(const TReportBand &) = delete;
    TReportBand &operator=(const TReportBand &) = delete;

    TReport *report() const { return m_report; }
    BandType type() const { return m_type; }

    qreal heightMm() const { return m_heightMm; }
    void setHeightMm(qreal height) { m_heightMm = height; }

    bool topLine() const { return m_topLine; }
    void setTopLine(bool on) { m_topLine = on; }
    bool bottomLine() const { return m_bottomLine; }
    void setBottomLine(bool on) { m_bottomLine = on; }

    // The report's font until the band is given one of its own; its elements inherit it.
    TReportFont font() const;
    void setFont(const TReportFont &font) { m_font = font; }

    int widthPixels() const;
    qreal widthMm() const;

    // Adds an element of the given kind; the band (and so the report) owns it.
    template <typename Element> Element *add()
    {
        auto element = std::make_unique<Element>(this);
        Element *const added = element.get();
        m_elements.push_back(std::move(element));
        return added;
    }
    const std::vector<std::unique_ptr<TReportElement>> &elements() const { return m_elements; }

private:
    TReport *m_report;
    BandType m_type;
    qreal m_heightMm = DefaultHeightMm;
    bool m_topLine = false;
    bool m_bottomLine = false;
    std::optional<TReportFont> m_font;
    std::vector<std::unique_ptr<TReportElement>> m_elements;
};
