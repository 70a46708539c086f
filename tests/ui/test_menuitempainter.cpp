#include "tests/ui/MenuFixture.h"
#include "ui/MenuItemPainter.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>
#include <functional>

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

// The colour a pixel should have, given the colours the look resolved.
using Colour = std::function<QColor(const EffectiveColors &)>;

Colour role(QColor EffectiveColors::*member)
{
    return [member](const EffectiveColors &colors) { return colors.*member; };
}

Colour fixed(const QColor &colour)
{
    return [colour](const EffectiveColors &) { return colour; };
}

Colour shaded(QColor EffectiveColors::*member, QColor (*shade)(const QColor &, int), int amount)
{
    return [=](const EffectiveColors &colors) { return shade(colors.*member, amount); };
}

// A picture whose top half is of one colour and whose bottom half has the colour of its
// bottom-left pixel, which makes it transparent.
QPixmap halfPicture(const QColor &top)
{
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            picture.setPixel(x, y, top.rgb());
    return QPixmap::fromImage(picture);
}

template <typename Change> MenuItem with(MenuItem item, Change change)
{
    change(item);
    return item;
}

} // namespace

Q_DECLARE_METATYPE(MenuItem)
Q_DECLARE_METATYPE(Colour)

class TestMenuItemPainter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pixels_data();
    void pixels();
    void measures();
    void ampersandIsNotMeasuredButUnderlined();
    void shortcutWidensItemAndIsRightAligned();
    void disabledItemLooksSameHighlighted();
    void barItemIsCaptionPlusTen();
    void defaultItemIsEmbossed();
    void largePictureWidensAndHeightens();
    void subMenuArrowSitsRightOfText();
};

void TestMenuItemPainter::pixels_data()
{
    QTest::addColumn<MenuItem>("item");
    QTest::addColumn<int>("depth");    // of the surface: 8 is shallow
    QTest::addColumn<QSize>("extra");  // room beyond the measured size
    QTest::addColumn<QPoint>("point"); // a negative x counts from the right edge
    QTest::addColumn<Colour>("colour");
    using C = EffectiveColors;
    const auto row = [](const char *name, const MenuItem &item, QPoint point, const Colour &colour,
                        int depth = 32, QSize extra = QSize(0, 0)) {
        QTest::newRow(name) << item << depth << extra << point << colour;
    };

    // A separator is a line at row 2 from x = 24 + 7 to the end, right of the icon column.
    const MenuItem separator = with(MenuItem(), [](MenuItem &i) { i.separator = true; });
    const QSize wide(86, 0);
    row("separator: before the line", separator, {30, 2}, role(&C::itemBackground), 32, wide);
    row("separator: line start", separator, {31, 2}, role(&C::separator), 32, wide);
    row("separator: line end", separator, {-1, 2}, role(&C::separator), 32, wide);
    row("separator: above the line", separator, {31, 1}, role(&C::itemBackground), 32, wide);
    row("separator: below the line", separator, {31, 3}, role(&C::itemBackground), 32, wide);
    row("separator: icon column", separator, {23, 2}, role(&C::iconColumn), 32, wide);

    // A picture rests at (3, 4), lightened; highlighted it rises to (2, 3) over a shadow at
    // (4, 5). Its bottom-left pixel is transparent and casts no shadow.
    const MenuItem image = imageItem();
    const MenuItem raised = with(image, [](MenuItem &i) { i.highlighted = true; });
    const Colour shadow = shaded(&C::highlightFill, darkened, 50);
    row("picture resting", image, {3, 4}, fixed(lightened(Qt::blue, 30)));
    row("picture resting: transparent", image, {3, 19}, role(&C::iconColumn));
    row("picture raised: top left", raised, {2, 3}, fixed(Qt::blue));
    row("picture raised: bottom right", raised, {17, 18}, fixed(Qt::blue));
    row("picture raised: above", raised, {2, 2}, role(&C::highlightFill));
    row("picture raised: shadow right", raised, {19, 5}, shadow);
    row("picture raised: shadow top", raised, {19, 4}, role(&C::highlightFill));
    row("picture raised: shadow bottom", raised, {4, 19}, shadow);
    row("picture raised: shadow left", raised, {3, 19}, role(&C::highlightFill));
    row("picture raised: no corner shadow", raised, {4, 20}, role(&C::highlightFill));

    // Every pixel of the bottom-left pixel's colour is transparent; the others are lightened
    // on a deep surface unless checked, and grey when disabled.
    const QColor green(0, 100, 0);
    const MenuItem half = with(image, [&](MenuItem &i) { i.listImage = halfPicture(green); });
    row("picture: lightened", half, {10, 5}, fixed(lightened(green, 30)));
    row("picture: transparent colour", half, {10, 15}, role(&C::iconColumn));
    row("picture: shallow surface", half, {10, 5}, fixed(green), 8);
    row("picture: checked", with(half, [](MenuItem &i) { i.checked = true; }), {10, 5},
        fixed(green));
    const MenuItem disabled = with(half, [](MenuItem &i) { i.enabled = false; });
    row("picture: disabled", disabled, {10, 5}, fixed(greyed(green, 90)));
    row("picture: disabled transparent", disabled, {10, 15}, role(&C::iconColumn));

    // An open bar item is a framed tab with a shadow to its right, rounded at the top.
    const MenuItem bar = with(MenuItem(), [](MenuItem &i) {
        i.caption = u"Справка"_s;
        i.barItem = true;
        i.highlighted = true;
    });
    const QSize room(20, 0); // so that the text stays clear of the shadow
    row("open bar: left side", bar, {0, 5}, role(&C::barFrame), 32, room);
    row("open bar: top", bar, {4, 0}, role(&C::barFrame), 32, room);
    row("open bar: right side", bar, {-8, 9}, role(&C::barFrame), 32, room);
    row("open bar: inside", bar, {2, 9}, role(&C::iconColumn), 32, room);
    row("open bar: shadow darkest", bar, {-7, 10}, shaded(&C::barBackground, darkened, 100), 32,
        room);
    row("open bar: shadow middle", bar, {-4, 10}, shaded(&C::barBackground, darkened, 60), 32,
        room);
    row("open bar: shadow lightest", bar, {-1, 10}, shaded(&C::barBackground, darkened, 10), 32,
        room);
    row("open bar: shadow corner", bar, {-1, 3}, role(&C::barBackground), 32, room);
    row("closed bar", with(bar, [](MenuItem &i) { i.highlighted = false; }), {0, 5},
        role(&C::barBackground), 32, room);
    row("open bar shallow: side", bar, {-3, 9}, role(&C::barFrame), 8, room);
    row("open bar shallow: corner", bar, {-2, 1}, role(&C::iconColumn), 8, room);
    row("open bar shallow: shadow", bar, {-2, 2}, role(&C::barShadow), 8, room);

    // A check mark is a 10 by 10 box centred in the column, (7, 7) to (16, 16), with a black
    // tick whose long stroke reaches past the box; a radio mark is round.
    const MenuItem checked = with(MenuItem(), [](MenuItem &i) {
        i.caption = u"Панель"_s;
        i.checked = true;
    });
    const MenuItem lit = with(checked, [](MenuItem &i) { i.highlighted = true; });
    const MenuItem radio = with(checked, [](MenuItem &i) { i.radio = true; });
    row("check: box top left", checked, {7, 7}, role(&C::checkFrame));
    row("check: box bottom right", checked, {16, 16}, role(&C::checkFrame));
    row("check: box inside", checked, {9, 9}, role(&C::checkFill));
    row("check: tick", checked, {8, 12}, fixed(Qt::black));
    row("check: tick past the box", checked, {18, 7}, fixed(Qt::black));
    row("check: tick end not drawn", checked, {19, 6}, role(&C::iconColumn));
    row("check highlighted", lit, {9, 9}, role(&C::checkFillHighlighted));
    row("unchecked highlighted", with(lit, [](MenuItem &i) { i.checked = false; }), {9, 9},
        role(&C::highlightFill));
    row("radio: inside", radio, {12, 12}, role(&C::checkFill));
    row("radio: edge", radio, {7, 12}, role(&C::highlightFrame));
    row("radio: round", radio, {7, 7}, role(&C::iconColumn));
    // With a picture the mark is the column less 1, 2, 3 and 2 pixels: (1, 2) to (20, 21).
    const MenuItem pictured = with(image, [](MenuItem &i) { i.checked = true; });
    const MenuItem pictuRadio = with(pictured, [](MenuItem &i) { i.radio = true; });
    row("check on picture: corner", pictured, {20, 21}, role(&C::highlightFrame));
    row("check on picture: inside", pictured, {2, 3}, role(&C::checkFill));
    row("radio on picture: edge", pictuRadio, {1, 12}, role(&C::highlightFrame));
    row("radio on picture: rounded", pictuRadio, {1, 2}, role(&C::iconColumn));
}

void TestMenuItemPainter::pixels()
{
    QFETCH(MenuItem, item);
    QFETCH(int, depth);
    QFETCH(QSize, extra);
    QFETCH(QPoint, point);
    QFETCH(Colour, colour);
    const MenuLook look = testLook(depth);
    const QImage image = render(item, measured(item) + extra, look);
    const int x = point.x() < 0 ? image.width() + point.x() : point.x();
    QCOMPARE(at(image, x, point.y()), colour(look.colors));
}

void TestMenuItemPainter::measures()
{
    MenuItem separator;
    separator.separator = true;
    QCOMPARE(measured(separator), QSize(24 + 10, 4));
    MenuItem checked;
    checked.caption = u"Панель"_s;
    checked.checked = true;
    // 13 + round(9.75); the icon column is 24 high with R's extra row.
    QCOMPARE(measured(checked).height(), 23);
    // A resting picture's ink is exactly its 16 by 16 pixels at (3, 4).
    const MenuItem image = imageItem();
    const QSize size = measured(image);
    const MenuLook look = testLook();
    QCOMPARE(inkBounds(render(image, size, look), QRect(0, 0, 24, size.height()),
                       look.colors.iconColumn.rgb()),
             QRect(3, 4, 16, 16));
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
