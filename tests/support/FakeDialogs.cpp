#include "tests/support/FakeDialogs.h"

#include "ui/PrintPreview.h"

FakeDialogs::FakeDialogs() : m_replaced(setDialogs(this))
{}

FakeDialogs::~FakeDialogs()
{
    setDialogs(m_replaced);
}

QStringList FakeDialogs::texts(Shown::Kind kind) const
{
    QStringList result;
    for (const Shown &box : shown) {
        if (box.kind == kind)
            result.append(box.text);
    }
    return result;
}

QStringList FakeDialogs::informations() const
{
    return texts(Shown::Information);
}

QStringList FakeDialogs::errors() const
{
    return texts(Shown::Error);
}

QStringList FakeDialogs::confirmations() const
{
    return texts(Shown::Confirmation);
}

int FakeDialogs::count(Shown::Kind kind) const
{
    return int(texts(kind).size());
}

void FakeDialogs::information(QWidget *, const QString &text)
{
    shown.append({Shown::Information, text});
    if (onInformation)
        onInformation();
}

void FakeDialogs::error(QWidget *, const QString &text)
{
    shown.append({Shown::Error, text});
}

bool FakeDialogs::confirm(QWidget *, const QString &text)
{
    shown.append({Shown::Confirmation, text});
    return confirmAnswer;
}

bool FakeDialogs::dropUnsavedEdit(QWidget *, const QString &problem)
{
    shown.append({Shown::DropEdit, problem});
    return dropEditAnswer;
}

QString FakeDialogs::openFileName(QWidget *, const OpenFileRequest &request)
{
    lastOpenRequest = request;
    shown.append({Shown::OpenFile, request.directory});
    return fileToOpen;
}

std::optional<QString> FakeDialogs::password(QWidget *, const QString &text)
{
    shown.append({Shown::Password, text});
    return passwordAnswer;
}

QString FakeDialogs::saveFileName(QWidget *, const OpenFileRequest &request)
{
    shown.append({Shown::SaveFile, request.nameFilter});
    return fileToSave;
}

QStringList FakeDialogs::printedFiles() const
{
    return texts(Shown::PrintedFile);
}

void FakeDialogs::printerSetup(QWidget *, QPrinter *printer)
{
    shown.append(Shown{Shown::PrinterSetup, QString()});
    if (onPrinterSetup)
        onPrinterSetup(printer);
}

void FakeDialogs::printedToFile(QWidget *, const QString &file)
{
    shown.append({Shown::PrintedFile, file});
}

bool FakeDialogs::printPreview(QWidget *, QPrinter *printer, PreviewDocument &document)
{
    shown.append(Shown{Shown::Preview, QString()});
    for (int i = 0; i < previewPaints; ++i) {
        if (onPreview)
            onPreview(printer);
        else
            document.print(printer);
    }
    return previewPrinted;
}
