#pragma once

#include "ui/Dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Stands in for the real dialogs while it lives (and for the fake it replaced, which comes
// back when it goes): records every box shown and answers confirmations, the open dialog
// and the preview as the test says.
class FakeDialogs final : public Dialogs
{
public:
    FakeDialogs();
    ~FakeDialogs() override;

    struct Shown
    {
        enum Kind
        {
            Information,
            Error,
            Confirmation,
            DropEdit,
            OpenFile,
            Password,
            SaveFile,
            PrinterSetup,
            Preview,
            PrintedFile
        } kind;
        QString text;
    };

    // Answers
    bool confirmAnswer = true;
    bool dropEditAnswer = true;
    QString fileToOpen;                             // empty: the user cancels
    std::optional<QString> passwordAnswer;          // nullopt: the user cancels
    QString fileToSave;                             // empty: the user cancels
    std::function<void(QPrinter *)> onPreview;      // runs with the preview's printer, if set
    int previewPaints = 1;                          // how often the preview asks for its pages
    bool previewPrinted = false;                    // whether the user printed from the preview
    std::function<void(QPrinter *)> onPrinterSetup; // what the user sets up, if set
    std::function<void()> onInformation;            // runs while an information box is "open"

    QList<Shown> shown;
    QStringList informations() const;
    QStringList errors() const;
    QStringList confirmations() const;
    QStringList printedFiles() const;
    int count(Shown::Kind kind) const;
    void clear() { shown.clear(); }

    void information(QWidget *parent, const QString &text) override;
    void error(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text) override;
    bool dropUnsavedEdit(QWidget *parent, const QString &problem) override;
    QString openFileName(QWidget *parent, const OpenFileRequest &request) override;
    std::optional<QString> password(QWidget *parent, const QString &text) override;
    QString saveFileName(QWidget *parent, const OpenFileRequest &request) override;
    void printerSetup(QWidget *parent, QPrinter *printer) override;
    bool printPreview(QWidget *parent, QPrinter *printer, PreviewDocument &document) override;
    void printedToFile(QWidget *parent, const QString &file) override;

    OpenFileRequest lastOpenRequest;

    QStringList texts(Shown::Kind kind) const;

private:
    Dialogs *m_replaced;
};
