#include "tests/ui/MenuFixture.h"
#include "ui/MenuItemPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Without antialiasing every text pixel has exactly the pen's colour.
QFont testFont(int pixelSize = 11)
{
    QFont font(u"DejaVu Sans"_s);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

MenuLook testLook(int depth = 32)
{
    MenuLook look;
    look.font = testFont();
    look.fontColor = Qt::black;
    look.colors = effectiveColors(MenuColorSettings{}, look.fontColor, testPalette(), depth);
    return look;
}

QImage render(const MenuItem &item, QSize size, const MenuLook &look = testLook())
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    drawMenuItem(painter, QRect(QPoint(0, 0), size), item, look);
    return image;
}

// A 16 by 16 picture of one colour whose bottom-left pixel is transparent.
QPixmap solidImage(const QColor &color)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(color);
    image.setPixel(0, 15, qRgba(0, 0, 0, 0));
    return QPixmap::fromImage(image);
}

MenuItem imageItem(const QColor &color = Qt::blue)
{
    MenuItem item;
    item.caption = u"Выход"_s;
    item.hasListImage = true;
    item.listImageSize = QSize(16, 16);
    item.listImage = solidImage(color);
    return item;
}

QSize measured(const MenuItem &item)
{
    return measureMenuItem(item, testFont(), 24);
}

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

} // namespace

class TestMenuItemPainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void separatorIsFourHighWithLineRightOfColumn();
    void imageRestsAtThreeFourAndRisesWithShadow();
    void iconTreatment();
    void ampersandIsNotMeasuredButUnderlined();
    void shortcutWidensItemAndIsRightAligned();
    void disabledItemLooksSameHighlighted();
    void barItemIsCaptionPlusTen();
    void openBarItemIsTabWithShadow();
    void checkMarks();
    void defaultItemIsEmbossed();
    void largePictureWidensAndHeightens();
    void subMenuArrowSitsRightOfText();
};

void TestMenuItemPainter::separatorIsFourHighWithLineRightOfColumn()
{
    MenuItem item;
    item.separator = true;
    const QSize size = measured(item);
    QCOMPARE(size, QSize(24 + 10, 4));

    const MenuLook look = testLook();
    const QImage image = render(item, QSize(120, 4), look);
    // The line sits at row 2 (half of R's 5 rows, rounded to even) from x = 24 + 7 to the end.
    QCOMPARE(at(image, 30, 2), look.colors.itemBackground);
    QCOMPARE(at(image, 31, 2), look.colors.separator);
    QCOMPARE(at(image, 119, 2), look.colors.separator);
    QCOMPARE(at(image, 31, 1), look.colors.itemBackground);
    QCOMPARE(at(image, 31, 3), look.colors.itemBackground);
    QCOMPARE(at(image, 23, 2), look.colors.iconColumn);
}

void TestMenuItemPainter::imageRestsAtThreeFourAndRisesWithShadow()
{
    MenuItem item = imageItem();
    const QSize size = measured(item);
    const MenuLook look = testLook();

    const QImage resting = render(item, size, look);
    const QColor restingBlue = lightened(Qt::blue, 30);
    QCOMPARE(inkBounds(resting, QRect(0, 0, 24, size.height()), look.colors.iconColumn.rgb()),
             QRect(3, 4, 16, 16));
    QCOMPARE(at(resting, 3, 4), restingBlue);
    QCOMPARE(at(resting, 3, 19), look.colors.iconColumn); // the transparent bottom-left pixel

    item.highlighted = true;
    const QImage raised = render(item, size, look);
    const QColor shadow = darkened(look.colors.highlightFill, 50);
    QCOMPARE(at(raised, 2, 3), QColor(Qt::blue));
    QCOMPARE(at(raised, 17, 18), QColor(Qt::blue));
    QCOMPARE(at(raised, 2, 2), look.colors.highlightFill);
    // The shadow is the picture moved to (4, 5), under it.
    QCOMPARE(at(raised, 19, 5), shadow);
    QCOMPARE(at(raised, 19, 4), look.colors.highlightFill);
    QCOMPARE(at(raised, 4, 19), shadow);
    QCOMPARE(at(raised, 3, 19), look.colors.highlightFill);
    QCOMPARE(at(raised, 4, 20), look.colors.highlightFill); // transparent corner casts none
}

void TestMenuItemPainter::iconTreatment()
{
    // Pixels of the bottom-left pixel's colour are transparent wherever they are.
    const QColor green(0, 100, 0);
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, green.rgb());
    MenuItem item = imageItem();
    item.listImage = QPixmap::fromImage(picture);
    const QSize size = measured(item);

    const MenuLook deep = testLook(32);
    QImage image = render(item, size, deep);
    QCOMPARE(at(image, 10, 5), lightened(green, 30));
    QCOMPARE(at(image, 10, 15), deep.colors.iconColumn);

    // Not lightened on a shallow surface, nor when checked.
    const MenuLook shallow = testLook(8);
    QCOMPARE(at(render(item, size, shallow), 10, 5), green);
    item.checked = true;
    QCOMPARE(at(render(item, size, deep), 10, 5), green);

    // Grey when disabled.
    item.checked = false;
    item.enabled = false;
    image = render(item, size, deep);
    QCOMPARE(at(image, 10, 5), greyed(green, 90));
    QCOMPARE(at(image, 10, 15), deep.colors.iconColumn);
}

void TestMenuItemPainter::ampersandIsNotMeasuredButUnderlined()
{
    MenuItem plain;
    plain.caption = u"Файл"_s;
    MenuItem marked = plain;
    marked.caption = u"&Файл"_s;
    QCOMPARE(measured(marked), measured(plain));

    const QSize size = measured(plain);
    const QRgb background = testLook().colors.itemBackground.rgb();
    const QRect textArea(24, 0, size.width() - 24, size.height());
    const QRect plainInk = inkBounds(render(plain, size), textArea, background);
    const QRect markedInk = inkBounds(render(marked, size), textArea, background);
    // The "&" itself is not drawn: the text keeps its extent (the underline may start a
    // pixel before the letter's ink).
    QVERIFY(qAbs(markedInk.left() - plainInk.left()) <= 1);
    QCOMPARE(markedInk.right(), plainInk.right());
    QVERIFY2(markedInk.bottom() > plainInk.bottom(), "the first letter is not underlined");
}

void TestMenuItemPainter::shortcutWidensItemAndIsRightAligned()
{
    MenuItem item = imageItem();
    item.caption = u"Помощь"_s;
    const int withoutShortcut = measured(item).width();
    item.shortcut = u"F1"_s;
    const QSize size = measured(item);
    const QFontMetrics metrics(testFont());
    QVERIFY(qAbs(size.width() - withoutShortcut - metrics.horizontalAdvance(u"F1WWW"_s)) <= 1);

    // "F1" and a space end 10 pixels in from the right edge; its text is 40 lighter.
    const int width = 200;
    const MenuLook look = testLook();
    const QImage image = render(item, QSize(width, size.height()), look);
    const int captionEnd = 24 + 5 + metrics.horizontalAdvance(u" Помощь"_s);
    const QRect ink =
        inkBounds(image, QRect(captionEnd + 2, 0, width - captionEnd - 2, size.height()),
                  look.colors.itemBackground.rgb());
    const int end = width - 10 - metrics.horizontalAdvance(u' ');
    QVERIFY2(ink.right() < end && ink.right() >= end - 3, qPrintable(QString::number(ink.right())));
    QVERIFY(ink.left() >= end - metrics.horizontalAdvance(u"F1"_s) - 1);
    bool exact = false;
    for (int y = ink.top(); y <= ink.bottom(); ++y)
        for (int x = ink.left(); x <= ink.right(); ++x) {
            const QColor c = at(image, x, y);
            QVERIFY(c == look.colors.itemBackground || c == QColor(40, 42, 40));
            exact = exact || c == QColor(40, 42, 40);
        }
    QVERIFY2(exact, "no pixel in the shortcut's own colour");
}

void TestMenuItemPainter::disabledItemLooksSameHighlighted()
{
    MenuItem item = imageItem();
    item.enabled = false;
    const QSize size = measured(item);
    const QImage resting = render(item, size);
    item.highlighted = true;
    QCOMPARE(render(item, size), resting);
    item.enabled = true;
    QVERIFY(render(item, size) != resting);
}

void TestMenuItemPainter::barItemIsCaptionPlusTen()
{
    MenuItem item;
    item.caption = u"Файл"_s;
    item.barItem = true;
    const QFontMetrics metrics(testFont());
    const QSize size = measured(item);
    QCOMPARE(size.width(), metrics.horizontalAdvance(u"Файл"_s) + 10);

    const MenuLook look = testLook();
    const QImage image = render(item, size, look);
    const QRect ink = inkBounds(image, image.rect(), look.colors.barBackground.rgb());
    const int start = 5 + metrics.horizontalAdvance(u' ');
    QVERIFY2(ink.left() >= start && ink.left() <= start + 2,
             qPrintable(QString::number(ink.left())));
}

void TestMenuItemPainter::openBarItemIsTabWithShadow()
{
    MenuItem item;
    item.caption = u"Справка"_s;
    item.barItem = true;
    item.highlighted = true;
    // A cell wider than the caption needs, so that the text stays clear of the shadow.
    const QSize size = measured(item) + QSize(20, 0);
    const int right = size.width();

    const MenuLook deep = testLook(32);
    const QColor bar = deep.colors.barBackground;
    QImage image = render(item, size, deep);
    QCOMPARE(at(image, 0, 5), deep.colors.barFrame);         // left side
    QCOMPARE(at(image, 4, 0), deep.colors.barFrame);         // top
    QCOMPARE(at(image, right - 8, 9), deep.colors.barFrame); // right side of the tab
    QCOMPARE(at(image, 2, 9), deep.colors.iconColumn);       // inside the tab
    QCOMPARE(at(image, right - 7, 10), darkened(bar, 100));  // darkest next to the tab
    QCOMPARE(at(image, right - 4, 10), darkened(bar, 60));
    QCOMPARE(at(image, right - 1, 10), darkened(bar, 10));
    QCOMPARE(at(image, right - 1, 3), bar); // rounded top corner of the shadow

    item.highlighted = false;
    QCOMPARE(at(render(item, size, deep), 0, 5), bar);

    item.highlighted = true;
    const MenuLook shallow = testLook(8);
    image = render(item, size, shallow);
    QCOMPARE(at(image, right - 3, 9), shallow.colors.barFrame);
    QCOMPARE(at(image, right - 2, 1), shallow.colors.iconColumn);
    QCOMPARE(at(image, right - 2, 2), shallow.colors.barShadow);
}

void TestMenuItemPainter::checkMarks()
{
    const MenuLook look = testLook();
    const EffectiveColors &c = look.colors;

    MenuItem plain;
    plain.caption = u"Панель"_s;
    plain.checked = true;
    const QSize size = measured(plain);
    QCOMPARE(size.height(), 23); // 13 + round(9.75); the icon column is 24 high with R's extra row
    // A 10 by 10 box centred in the column: (7, 7) to (16, 16), with a black tick.
    QImage image = render(plain, size, look);
    QCOMPARE(at(image, 7, 7), c.checkFrame);
    QCOMPARE(at(image, 16, 16), c.checkFrame);
    QCOMPARE(at(image, 9, 9), c.checkFill);
    QCOMPARE(at(image, 8, 12), QColor(Qt::black));
    QCOMPARE(at(image, 18, 7), QColor(Qt::black)); // the long stroke reaches past the box
    QCOMPARE(at(image, 19, 6), c.iconColumn);      // its end point is not drawn
    plain.highlighted = true;
    QCOMPARE(at(render(plain, size, look), 9, 9), c.checkFillHighlighted);
    plain.checked = false;
    QCOMPARE(at(render(plain, size, look), 9, 9), c.highlightFill);

    MenuItem radio = plain;
    radio.highlighted = false;
    radio.checked = true;
    radio.radio = true;
    image = render(radio, size, look);
    QCOMPARE(at(image, 12, 12), c.checkFill);
    QCOMPARE(at(image, 7, 12), c.highlightFrame);
    QCOMPARE(at(image, 7, 7), c.iconColumn); // round, not a box

    // With an image the mark is the column less 1, 2, 3 and 2 pixels: (1, 2) to (20, 21).
    MenuItem pictured = imageItem();
    pictured.checked = true;
    image = render(pictured, measured(pictured), look);
    QCOMPARE(at(image, 20, 21), c.highlightFrame);
    QCOMPARE(at(image, 2, 3), c.checkFill);
    pictured.radio = true;
    image = render(pictured, measured(pictured), look);
    QCOMPARE(at(image, 1, 12), c.highlightFrame);
    QCOMPARE(at(image, 1, 2), c.iconColumn); // rounded corner
}

void TestMenuItemPainter::defaultItemIsEmbossed()
{
    MenuLook look = testLook();
    look.font = testFont(22);
    look.font.setBold(true);
    MenuItem item;
    item.caption = u"ОК"_s;
    const QSize size = measureMenuItem(item, look.font, 24);

    const auto hasColor = [](const QImage &image, const QColor &color) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == color)
                    return true;
        return false;
    };
    QVERIFY(!hasColor(render(item, size, look), darkened(look.colors.itemBackground, 60)));
    item.isDefault = true;
    QVERIFY(hasColor(render(item, size, look), darkened(look.colors.itemBackground, 60)));
    item.highlighted = true;
    QVERIFY(hasColor(render(item, size, look), darkened(look.colors.highlightFill, 60)));
    item.enabled = false; // a disabled default item is not embossed
    QVERIFY(!hasColor(render(item, size, look), darkened(look.colors.itemBackground, 60)));
}

void TestMenuItemPainter::largePictureWidensAndHeightens()
{
    MenuItem item;
    item.caption = u"Выход"_s;
    QImage big(32, 40, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    item.ownBitmap = QPixmap::fromImage(big);
    const QFontMetrics metrics(testFont());
    QCOMPARE(measured(item), QSize(metrics.horizontalAdvance(u"Выход"_s) + 32 + 10, 44));
}

void TestMenuItemPainter::subMenuArrowSitsRightOfText()
{
    MenuItem item;
    item.caption = u"Последние файлы"_s;
    const QSize size = measured(item) + QSize(12, 0); // the cell's room beyond the measure
    const QRgb background = testLook().colors.itemBackground.rgb();
    const QRect room(size.width() - 12, 0, 12, size.height());
    QVERIFY(inkBounds(render(item, size), room, background).isEmpty());
    item.hasSubMenu = true;
    const QRect arrow = inkBounds(render(item, size), room, background);
    QCOMPARE(arrow, QRect(size.width() - 9, size.height() / 2 - 3, 4, 7));
}

QTEST_MAIN(TestMenuItemPainter)
#include "test_menuitempainter.moc"
