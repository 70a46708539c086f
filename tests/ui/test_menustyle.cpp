#include "tests/ui/MenuFixture.h"
#include "ui/MenuItemStyle.h"
#include "ui/MenuStyle.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A window with MenuStyle1 as the main window sets it up.
struct StyledWindow
{
    MenuTestWindow window;
    TMenuStyle *style = nullptr;

    StyledWindow()
    {
        style = new TMenuStyle(&window);
        style->setImages(window.imageList);
        applyMainWindowMenuSettings(*style);
        window.resize(800, 600);
    }
};

QImage grabOpen(QMenu *menu, QAction *active = nullptr)
{
    menu->popup(QPoint(10, 30));
    if (active)
        menu->setActiveAction(active);
    const QImage image = menu->grab().toImage();
    menu->hide();
    return image;
}

} // namespace

class TestMenuStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void ownerMustBeGiven();
    void activeTakesOverAndReleases();
    void menuWithItsOwnStyleIsKeptUnlessOverridden();
    void autoDetectTakesOverLaterMenus();
    void subMenusAreTakenOnceNeighbourIsDrawn();
    void menuBarItemsAreCaptionPlusTen();
    void menuItemsAreMeasuredAsOneColumn();
    void openMenuIsDrawnWithColumnAndHighlight();
    void openBarItemIsDrawnAsTab();
    void imagesComeFromListOrAction();
    void shallowSurfaceGivesWhiteBackgrounds();
    void colorsFollowPaletteAndProperties();
};

void TestMenuStyle::initTestCase()
{
    QApplication::setPalette(testPalette());
}

void TestMenuStyle::ownerMustBeGiven()
{
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, TMenuStyle(nullptr));
}

void TestMenuStyle::activeTakesOverAndReleases()
{
    MenuTestWindow window;
    auto *style = new TMenuStyle(&window);
    QVERIFY(!style->isActive());
    QCOMPARE(window.menuBar()->style(), QApplication::style());

    applyMainWindowMenuSettings(*style);
    QVERIFY(style->isActive());
    const QList<QWidget *> menus{window.menuBar(), window.fileMenu, window.helpMenu};
    for (QWidget *menu : menus)
        QCOMPARE(menu->style(), style->style());

    style->setActive(false);
    for (QWidget *menu : menus) {
        QCOMPARE(menu->style(), QApplication::style());
        QVERIFY(!menu->testAttribute(Qt::WA_SetStyle));
    }
    style->setActive(true);
    QCOMPARE(window.toolsMenu->style(), style->style());
    delete style; // releases the menus
    QCOMPARE(window.toolsMenu->style(), QApplication::style());
}

void TestMenuStyle::menuWithItsOwnStyleIsKeptUnlessOverridden()
{
    const std::unique_ptr<QStyle> own(QStyleFactory::create(u"Windows"_s));
    StyledWindow styled;
    styled.style->setActive(false);
    styled.window.toolsMenu->setStyle(own.get());

    styled.style->setActive(true);
    QCOMPARE(styled.window.toolsMenu->style(), own.get());
    QCOMPARE(styled.window.helpMenu->style(), styled.style->style());

    styled.style->setOverrideOwnerDraw(true);
    QCOMPARE(styled.window.toolsMenu->style(), styled.style->style());

    styled.style->setActive(false);
    QCOMPARE(styled.window.toolsMenu->style(), own.get());
    QCOMPARE(styled.window.helpMenu->style(), QApplication::style());
}

void TestMenuStyle::autoDetectTakesOverLaterMenus()
{
    StyledWindow styled;
    auto *unnoticed = new QMenu(&styled.window);
    QCoreApplication::processEvents();
    QCOMPARE(unnoticed->style(), QApplication::style());

    styled.style->setAutoDetect(true);
    auto *context = new QMenu(&styled.window);
    context->addAction(u"Копировать"_s);
    QCoreApplication::processEvents();
    QCOMPARE(context->style(), styled.style->style());
    QCOMPARE(unnoticed->style(), styled.style->style());

    // A submenu added to a menu of the bar is found through the bar.
    QMenu *recent = styled.window.fileMenu->addMenu(u"Последние файлы"_s);
    QCoreApplication::processEvents();
    QCOMPARE(recent->style(), styled.style->style());
}

void TestMenuStyle::subMenusAreTakenOnceNeighbourIsDrawn()
{
    StyledWindow styled;
    QMenu *recent = styled.window.fileMenu->addMenu(u"Последние файлы"_s);
    QCOMPARE(recent->style(), QApplication::style());
    grabOpen(styled.window.fileMenu);
    QCOMPARE(recent->style(), styled.style->style());
}

void TestMenuStyle::menuBarItemsAreCaptionPlusTen()
{
    StyledWindow styled;
    styled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&styled.window));
    QMenuBar *bar = styled.window.menuBar();
    const QFontMetrics metrics(styled.style->currentFont());
    const QRect file = bar->actionGeometry(styled.window.fileMenu->menuAction());
    const QRect database = bar->actionGeometry(styled.window.databaseMenu->menuAction());
    // Each cell is what the item measures, its caption plus 10, and the owner-drawn cell's room.
    QCOMPARE(file.width(), metrics.horizontalAdvance(u"Файл"_s) + 10 + ownerDrawCellRoom);
    QCOMPARE(database.width(),
             metrics.horizontalAdvance(u"База данных"_s) + 10 + ownerDrawCellRoom);
    QCOMPARE(database.left(), file.right() + 1);
    QCOMPARE(file.height(), metrics.height() + roundHalfEven(3 * metrics.height(), 4));

    // With the desktop's colours off the font set here counts, and the bar is laid out anew.
    styled.style->setUseSystemColors(false);
    QFont large(u"DejaVu Sans"_s);
    large.setPixelSize(24);
    styled.style->setFont(large);
    QCOMPARE(bar->actionGeometry(styled.window.fileMenu->menuAction()).width(),
             QFontMetrics(large).horizontalAdvance(u"Файл"_s) + 10 + ownerDrawCellRoom);
}

void TestMenuStyle::menuItemsAreMeasuredAsOneColumn()
{
    StyledWindow styled;
    QMenu *help = styled.window.helpMenu;
    QAction *exit = styled.window.fileMenu->actions().last();
    QAction *separator = styled.window.fileMenu->insertSeparator(exit);
    grabOpen(help);
    grabOpen(styled.window.fileMenu);

    // The widest item sets the menu's width; Qt's own shortcut column adds nothing to it.
    const QFontMetrics metrics(styled.style->currentFont());
    const int helpWidth = metrics.horizontalAdvance(u"ПомощьF1WWW"_s) + 24 + 10;
    const int aboutWidth = metrics.horizontalAdvance(u"О программе"_s) + 24 + 10;
    const int cellWidth = std::max(helpWidth, aboutWidth) + ownerDrawCellRoom;
    QCOMPARE(help->actionGeometry(styled.window.helpAction).width(), cellWidth);
    QCOMPARE(help->actionGeometry(styled.window.aboutAction).width(), cellWidth);
    QCOMPARE(help->width(), cellWidth + 2); // and a one-pixel frame
    QCOMPARE(styled.window.fileMenu->actionGeometry(separator).height(), 4);
    const int h = metrics.height();
    QCOMPARE(help->actionGeometry(styled.window.aboutAction).height(),
             std::max(h + roundHalfEven(3 * h, 4), 16 + 4));
}

void TestMenuStyle::openMenuIsDrawnWithColumnAndHighlight()
{
    StyledWindow styled;
    QMenu *help = styled.window.helpMenu;
    const QImage image = grabOpen(help, styled.window.helpAction);
    const QRect helpRow = help->actionGeometry(styled.window.helpAction);
    const QRect aboutRow = help->actionGeometry(styled.window.aboutAction);
    const MenuLook look = styled.style->lookFor(32);

    // The highlighted item: raised image (index 1, dark blue) at (2, 3), framed light fill.
    QCOMPARE(image.pixelColor(helpRow.topLeft() + QPoint(2 + 8, 3 + 8)), QColor(Qt::darkBlue));
    QCOMPARE(image.pixelColor(helpRow.topLeft() + QPoint(0, 5)), look.colors.highlightFrame);
    QCOMPARE(image.pixelColor(helpRow.topLeft() + QPoint(helpRow.width() - 1, 5)),
             look.colors.highlightFrame);
    QCOMPARE(image.pixelColor(helpRow.topLeft() + QPoint(helpRow.width() - 4, 5)),
             look.colors.highlightFill);
    // The resting item: lightened image (index 9, dark grey) at (3, 4) in the icon column.
    QCOMPARE(image.pixelColor(aboutRow.topLeft() + QPoint(3 + 8, 4 + 8)),
             lightened(Qt::darkGray, 30));
    QCOMPARE(image.pixelColor(aboutRow.topLeft() + QPoint(1, 1)), look.colors.iconColumn);
    QCOMPARE(image.pixelColor(aboutRow.topLeft() + QPoint(24, 1)), look.colors.itemBackground);
    QCOMPARE(image.pixelColor(0, aboutRow.top() + 1), look.colors.barFrame); // the menu's frame
}

void TestMenuStyle::openBarItemIsDrawnAsTab()
{
    StyledWindow styled;
    styled.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&styled.window));
    QMenuBar *bar = styled.window.menuBar();
    QAction *file = styled.window.fileMenu->menuAction();
    const QRect item = bar->actionGeometry(file);
    const MenuLook look = styled.style->lookFor(32);

    QCOMPARE(bar->grab().toImage().pixelColor(item.topLeft() + QPoint(0, 5)),
             look.colors.barBackground);
    bar->setActiveAction(file);
    QTRY_VERIFY(styled.window.fileMenu->isVisible());
    const QImage open = bar->grab().toImage();
    QCOMPARE(open.pixelColor(item.topLeft() + QPoint(0, 5)), look.colors.barFrame);
    QCOMPARE(open.pixelColor(item.topLeft() + QPoint(2, 5)), look.colors.iconColumn);
    QCOMPARE(open.pixelColor(item.topLeft() + QPoint(item.width() - 7, item.height() - 2)),
             darkened(look.colors.barBackground, 100));
    styled.window.fileMenu->hide();
}

void TestMenuStyle::imagesComeFromListOrAction()
{
    StyledWindow styled;
    QMenu *help = styled.window.helpMenu;
    const auto iconPixel = [&](QAction *action) {
        const QImage image = grabOpen(help);
        return image.pixelColor(help->actionGeometry(action).topLeft() + QPoint(3 + 8, 4 + 8));
    };
    QAction *about = styled.window.aboutAction;
    QAction *helpItem = styled.window.helpAction;
    QCOMPARE(iconPixel(about), lightened(Qt::darkGray, 30)); // image 9, found by the action's icon

    setMenuImageIndex(about, 6); // an index set on the action comes first
    QCOMPARE(iconPixel(about), lightened(Qt::red, 30));

    // An icon of the action's own, outside the list, is its own picture.
    QPixmap own(16, 16);
    own.fill(Qt::transparent);
    QPainter(&own).fillRect(2, 2, 12, 12, QColor(0, 128, 128));
    helpItem->setIcon(QIcon(own));
    QCOMPARE(iconPixel(helpItem), lightened(QColor(0, 128, 128), 30));

    // Without an image list the index counts for nothing and the icon is the item's own.
    styled.style->setImages({});
    QCOMPARE(iconPixel(about), lightened(Qt::darkGray, 30));
}

void TestMenuStyle::shallowSurfaceGivesWhiteBackgrounds()
{
    StyledWindow styled;
    QStyleOptionMenuItem option;
    option.rect = QRect(0, 0, 150, 23);
    option.text = u"Выход"_s;
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.checkType = QStyleOptionMenuItem::NotCheckable;
    const auto draw = [&](QImage::Format format, QStyle::State state) {
        QImage image(option.rect.size(), format);
        image.fill(Qt::black);
        option.state = state;
        QPainter painter(&image);
        styled.style->style()->drawControl(QStyle::CE_MenuItem, &option, &painter, nullptr);
        painter.end();
        return image;
    };
    const QStyle::State highlighted = QStyle::State_Enabled | QStyle::State_Selected;
    QImage eightBit = draw(QImage::Format_Grayscale8, QStyle::State_Enabled);
    QCOMPARE(qGray(eightBit.pixel(100, 10)), 255);
    eightBit = draw(QImage::Format_Grayscale8, highlighted);
    QCOMPARE(qGray(eightBit.pixel(100, 10)), 255); // the fill is white too
    QVERIFY(qGray(eightBit.pixel(100, 1)) < 255);  // only the frame shows the highlight

    const QImage deep = draw(QImage::Format_RGB32, highlighted);
    QCOMPARE(deep.pixelColor(100, 10), styled.style->lookFor(32).colors.highlightFill);
    QVERIFY(deep.pixelColor(100, 10) != QColor(Qt::white));
}

void TestMenuStyle::colorsFollowPaletteAndProperties()
{
    StyledWindow styled;
    QMenu *help = styled.window.helpMenu;
    QAction *about = styled.window.aboutAction;
    const auto backgroundPixel = [&] {
        const QImage image = grabOpen(help);
        const QRect row = help->actionGeometry(about);
        return image.pixelColor(row.right() - 2, row.top() + 2);
    };
    QCOMPARE(backgroundPixel(), lightened(QColor(236, 233, 216), 86));

    // A change of the desktop colours shows at the next drawing.
    QPalette palette = testPalette();
    palette.setColor(QPalette::Button, QColor(200, 200, 200));
    QApplication::setPalette(palette);
    QCOMPARE(backgroundPixel(), lightened(QColor(200, 200, 200), 86));
    QApplication::setPalette(testPalette());

    // With the desktop's colours off, the colour properties count.
    styled.style->setUseSystemColors(false);
    styled.style->setColor(QColor(255, 255, 0));
    QCOMPARE(backgroundPixel(), QColor(255, 255, 0));
}

QTEST_MAIN(TestMenuStyle)
#include "test_menustyle.moc"
