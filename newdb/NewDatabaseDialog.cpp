#include "newdb/NewDatabaseDialog.h"

#include "core/DbError.h"
#include "core/FileSystem.h"
#include "core/Waiting.h"
#include "tools/DatabaseTool.h"
#include "ui/Dialogs.h"
#include "ui/ErrorGuard.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <chrono>
#include <future>

using namespace Qt::StringLiterals;

namespace {

bool isAccessFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"mdb" || suffix == u"accdb";
}

QString documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace

NewDatabaseDialog::NewDatabaseDialog(QWidget *parent)
    : QDialog(parent), fileEdit(new QLineEdit(this)),
      chooseFile(new QPushButton(u"Выбрать…"_s, this)), empty(new QRadioButton(u"Пустая"_s, this)),
      sample(new QRadioButton(u"С примером данных"_s, this)),
      fillFrom(new QCheckBox(u"Добавить данные из файла (таблица CSV или файл Access):"_s, this)),
      sourceEdit(new QLineEdit(this)), chooseSource(new QPushButton(u"Выбрать…"_s, this)),
      create(new QPushButton(u"Создать"_s, this)), status(new QLabel(this))
{
    setWindowTitle(u"Новая база данных Орвинты"_s);
    auto *intro = new QLabel(u"Программа «Орвинта» хранит все данные в одном файле базы данных. "
                             u"Здесь его можно создать: пустым, с примером данных или сразу с "
                             u"вашими значениями из электронной таблицы."_s,
                             this);
    intro->setWordWrap(true);

    fileEdit->setPlaceholderText(u"например, ~/Документы/школа.mdb"_s);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(fileEdit, 1);
    fileRow->addWidget(chooseFile);

    auto *contents = new QGroupBox(u"Что в ней будет"_s, this);
    auto *contentsLayout = new QVBoxLayout(contents);
    contentsLayout->addWidget(empty);
    contentsLayout->addWidget(sample);
    empty->setChecked(true);
    contentsLayout->addWidget(fillFrom);
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(sourceEdit, 1);
    sourceRow->addWidget(chooseSource);
    contentsLayout->addLayout(sourceRow);
    auto *sourceHint = new QLabel(u"В первой строке таблицы CSV — названия столбцов: Дисциплина, "
                                  u"Критерий, Средство ИКТ, Значение, Дата. Из файла Access "
                                  u"переносятся все таблицы."_s,
                                  contents);
    sourceHint->setWordWrap(true);
    contentsLayout->addWidget(sourceHint);

    auto *form = new QFormLayout;
    form->addRow(u"Файл базы данных:"_s, fileRow);

    auto *close = new QPushButton(u"Закрыть"_s, this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(status, 1);
    buttons->addWidget(create);
    buttons->addWidget(close);
    create->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(contents);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(560, 340);

    connect(chooseFile, &QPushButton::clicked, this,
            guarded(this, &NewDatabaseDialog::chooseFileClicked));
    connect(chooseSource, &QPushButton::clicked, this,
            guarded(this, &NewDatabaseDialog::chooseSourceClicked));
    connect(create, &QPushButton::clicked, this, guarded(this, &NewDatabaseDialog::createClicked));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(fillFrom, &QCheckBox::toggled, this, [this] { updateButtons(); });
    connect(fileEdit, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    connect(sourceEdit, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    updateButtons();
}

void NewDatabaseDialog::updateButtons()
{
    sourceEdit->setEnabled(fillFrom->isChecked());
    chooseSource->setEnabled(fillFrom->isChecked());
    // A database made of an Access file holds that file's tables, nothing else.
    const bool access = fillFrom->isChecked() && isAccessFile(sourceEdit->text());
    empty->setEnabled(!access);
    sample->setEnabled(!access);
    create->setEnabled(!fileEdit->text().trimmed().isEmpty() &&
                       (!fillFrom->isChecked() || !sourceEdit->text().trimmed().isEmpty()));
}

void NewDatabaseDialog::chooseFileClicked()
{
    const QString path = dialogs().saveFileName(
        this, {u"Новая база данных"_s, QDir(documentsFolder()).filePath(u"школа.mdb"_s),
               u"База данных Орвинты (*.mdb)"_s});
    if (!path.isEmpty())
        fileEdit->setText(QDir::toNativeSeparators(path));
}

void NewDatabaseDialog::chooseSourceClicked()
{
    const QString path = dialogs().openFileName(
        this, {u"Данные для новой базы"_s, documentsFolder(),
               u"Таблица CSV или файл Access (*.csv *.mdb *.accdb);;Таблица CSV (*.csv);;"
               u"Файл Access (*.mdb *.accdb)"_s});
    if (!path.isEmpty())
        sourceEdit->setText(QDir::toNativeSeparators(path));
}

bool NewDatabaseDialog::runCommand(const QStringList &arguments, QString &report)
{
    QString out, err;
    auto work = std::async(std::launch::async, [&] {
        QTextStream outStream(&out), errStream(&err);
        return runDatabaseTool(arguments, outStream, errStream);
    });
    if (Waiter *user = waiter()) {
        const auto done = qScopeGuard([user] { user->finished(); });
        while (work.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
            user->keepWaiting(u"Создание базы данных…"_s);
    }
    const int code = work.get();
    report += out + err;
    return code == 0 || (arguments.constFirst() == u"import" && code == 3);
}

void NewDatabaseDialog::createClicked()
{
    QString path = QDir::fromNativeSeparators(fileEdit->text().trimmed());
    if (path.startsWith(u"~/"_s))
        path = QDir::homePath() + path.mid(1);
    if (QFileInfo(path).suffix().compare(u"mdb"_s, Qt::CaseInsensitive) != 0)
        path += u".mdb"_s;
    path = QFileInfo(path).absoluteFilePath();
    if (QFileInfo::exists(path)) {
        dialogs().error(this,
                        u"Файл «%1» уже есть: он не будет заменён. Выберите другое имя."_s.arg(
                            QDir::toNativeSeparators(path)));
        return;
    }
    if (const QString problem = fileUseProblem(path, FileUse::Create); !problem.isEmpty()) {
        dialogs().error(
            this, u"Создать файл «%1» нельзя: %2."_s.arg(QDir::toNativeSeparators(path), problem));
        return;
    }
    const QString source = QDir::fromNativeSeparators(sourceEdit->text().trimmed());
    const bool fill = fillFrom->isChecked() && !source.isEmpty();
    status->setText(u"Создаю…"_s);
    const auto clearStatus = qScopeGuard([this] { status->clear(); });

    QString report;
    bool made = false;
    if (fill && isAccessFile(source)) {
        made = runCommand({u"import"_s, source, path}, report);
    } else {
        made = runCommand({sample->isChecked() ? u"sample"_s : u"create"_s, path}, report);
        // That it was made is said below; only what came of the values is worth repeating.
        if (made)
            report.clear();
        if (made && fill &&
            !runCommand({u"import-values"_s, u"--add-names"_s, source, path}, report)) {
            // The database is there, empty or with the sample; the values could not be added.
            dialogs().error(this, u"База данных «%1» создана, но значения из файла не добавлены:\n"
                                  u"%2"_s.arg(QDir::toNativeSeparators(path), report.trimmed()));
            return;
        }
    }
    if (!made) {
        dialogs().error(this, report.trimmed());
        return;
    }
    const QString details = report.trimmed();
    dialogs().information(
        this, u"Создан файл базы данных «%1».\n\n%2Откройте его в программе «Орвинта»: «Файл → "
              u"Открыть базу данных»."_s.arg(QDir::toNativeSeparators(path),
                                             details.isEmpty() ? QString() : details + u"\n\n"_s));
}
