#include "ui/MenuColors.h"

#include <QTest>

class TestMenuColors : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void darkening();
    void lighteningRoundsHalvesToEven();
    void grey();
    void systemColorsDeepSurface();
    void systemColorsShallowSurfaceAreWhite();
    void ownColorsWhenSystemColorsOff();
};

void TestMenuColors::darkening()
{
    QCOMPARE(darkened(QColor(100, 100, 100), -40), QColor(140, 142, 140));
    QCOMPARE(darkened(QColor(100, 100, 100), 50), QColor(50, 52, 50));
    // Limited to 0..255 on both sides.
    QCOMPARE(darkened(QColor(20, 0, 250), 30), QColor(0, 0, 220));
    QCOMPARE(darkened(QColor(230, 254, 240), -40), QColor(255, 255, 255));
}

void TestMenuColors::lighteningRoundsHalvesToEven()
{
    // (255 - 205) * 1% = 0.5 rounds down to 0; (255 - 105) * 1% = 1.5 rounds up to 2.
    QCOMPARE(lightened(QColor(205, 105, 155), 1), QColor(205, 107, 156));
    // 30% of 250 is 75 exactly, of 19 is 5.7, of 255 is 76.5, which rounds down to 76.
    QCOMPARE(lightened(QColor(5, 236, 0), 30), QColor(80, 242, 76));
    // Never past white, however large the percentage.
    QCOMPARE(lightened(QColor(10, 20, 30), 250), QColor(255, 255, 255));
}

void TestMenuColors::grey()
{
    QCOMPARE(greyed(QColor(10, 20, 30), 90), QColor(110, 110, 110));
    QCOMPARE(greyed(QColor(200, 200, 200), 90), QColor(240, 240, 240)); // at most 240
    QCOMPARE(greyed(QColor(0, 0, 3), 500), QColor(101, 101, 101));      // offset at most 100
}

namespace {

QPalette xpPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(236, 233, 216));
    palette.setColor(QPalette::Window, QColor(255, 255, 255));
    palette.setColor(QPalette::Highlight, QColor(49, 106, 197));
    palette.setColor(QPalette::Dark, QColor(172, 168, 153));
    return palette;
}

} // namespace

void TestMenuColors::systemColorsDeepSurface()
{
    const QColor text(1, 2, 3);
    const EffectiveColors c = effectiveColors(MenuColorSettings{}, text, xpPalette(), 24);
    QVERIFY(c.deep);
    QCOMPARE(c.itemBackground, QColor(252, 252, 250));
    QCOMPARE(c.iconColumn, QColor(239, 237, 222));
    QCOMPARE(c.highlightFill, QColor(189, 207, 236));
    QCOMPARE(c.highlightFrame, QColor(49, 106, 197));
    QCOMPARE(c.highlightText, text);
    QCOMPARE(c.barBackground, QColor(255, 255, 255));
    QCOMPARE(c.barFrame, QColor(146, 145, 126));
    QCOMPARE(c.barShadow, QColor(160, 159, 140));
    QVERIFY(effectiveColors(MenuColorSettings{}, text, xpPalette(), 16).deep);
}

void TestMenuColors::systemColorsShallowSurfaceAreWhite()
{
    const EffectiveColors c = effectiveColors(MenuColorSettings{}, Qt::black, xpPalette(), 8);
    QVERIFY(!c.deep);
    QCOMPARE(c.itemBackground, QColor(Qt::white));
    QCOMPARE(c.highlightFill, QColor(Qt::white));
    QCOMPARE(c.iconColumn, QColor(236, 233, 216));
    QCOMPARE(c.highlightFrame, QColor(49, 106, 197)); // the highlight shows by its frame only
    QCOMPARE(c.barFrame, QColor(172, 168, 153));
}

void TestMenuColors::ownColorsWhenSystemColorsOff()
{
    MenuColorSettings settings;
    settings.useSystemColors = false;
    settings.color = QColor(Qt::yellow);
    settings.selectColor = QColor(100, 0, 0);
    settings.selectFontColor = QColor(Qt::green);
    const EffectiveColors deep = effectiveColors(settings, Qt::black, xpPalette(), 32);
    QCOMPARE(deep.itemBackground, QColor(Qt::yellow));
    QCOMPARE(deep.highlightFill, QColor(100, 0, 0));
    QCOMPARE(deep.highlightText, QColor(Qt::green));
    QCOMPARE(deep.iconColumn, QColor(236, 233, 216)); // IconBackColor stays clBtnFace
    QCOMPARE(deep.checkFillHighlighted, lightened(QColor(100, 0, 0), 50));
    const EffectiveColors shallow = effectiveColors(settings, Qt::black, xpPalette(), 8);
    QCOMPARE(shallow.itemBackground, QColor(Qt::yellow));
    QCOMPARE(shallow.checkFillHighlighted, QColor(192, 192, 192));
}

QTEST_GUILESS_MAIN(TestMenuColors)
#include "test_menucolors.moc"
