#include "app/Unit3.h"

#include "ui/ErrorGuard.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel *boldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPointSize(12);
    font.setBold(true);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

Tabout::Tabout(QWidget *owner)
    // A dialog of fixed size that asks for a close box alone: window managers that follow
    // the hints offer neither minimising nor maximising it.
    : QWidget(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint)
{
    setWindowTitle(u"about"_s);
    setFixedSize(324, 146);

    Label1 = boldLabel(u"Автор: команда «Орвинта»"_s, this);
    Label2 = boldLabel(u"Связь: orvinta@example.org"_s, this);
    auto *version = new QLabel(u"Версия %1"_s.arg(QCoreApplication::applicationVersion()), this);
    version->setAlignment(Qt::AlignCenter);
    Button1 = new QPushButton(u"OK"_s, this);
    Button1->setFixedWidth(75);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, guarded(this, &Tabout::Button1Click));
    // Return and Esc close it, as they close any box.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, Button1,
                &QPushButton::click);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(version);
    layout->addWidget(Button1, 0, Qt::AlignHCenter);

    if (const QScreen *display = screen())
        move(display->availableGeometry().center() - rect().center());
}

void Tabout::Button1Click()
{
    // Disposed of once the click has been handled; the global reference empties itself.
    deleteLater();
}
