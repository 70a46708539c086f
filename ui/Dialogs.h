#pragma once

#include <QString>
#include <functional>
#include <optional>

class PreviewDocument;
class QPrinter;
class QWidget;

// The application title; captions of every message box and of the main window.
QString applicationTitle();

// What the open dialog is asked for.
struct OpenFileRequest
{
    QString caption;
    QString directory;  // initial folder; empty for the dialog's own default
    QString nameFilter; // e.g. "*.mdb"
};

// Every modal piece of user interface goes through this interface, so that tests
// can answer it and record what the program showed.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A plain box with the application title as caption and one OK button.
    virtual void information(QWidget *parent, const QString &text) = 0;
    // The same box with the error icon; the text is shown as given.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
    // An edit that cannot be written stands in the way of closing: the problem, and the
    // choice to drop the edit and go on (true) or to go back to it (false).
    virtual bool dropUnsavedEdit(QWidget *parent, const QString &problem) = 0;
    // The chosen file's full name, or an empty string when the user cancelled.
    virtual QString openFileName(QWidget *parent, const OpenFileRequest &request) = 0;
    // A password typed unseen after the text that says what for; nullopt when cancelled.
    virtual std::optional<QString> password(QWidget *parent, const QString &text) = 0;
    // The name of a file to write, or an empty string when the user cancelled. The request's
    // directory may hold a proposed file name; the filter names the formats ("PNG (*.png)").
    virtual QString saveFileName(QWidget *parent, const OpenFileRequest &request) = 0;
    // Printer set-up on the given printer, which keeps what the user confirms.
    virtual void printerSetup(QWidget *parent, QPrinter *printer) = 0;
    // Shows a preview of the document's pages on the printer's page, not modal; returns when
    // it is closed, true when the user printed from it.
    virtual bool printPreview(QWidget *parent, QPrinter *printer, PreviewDocument &document) = 0;
    // A print went into this file: says where it is, with a way to open its folder.
    virtual void printedToFile(QWidget *parent, const QString &file) = 0;
};

// The process-wide instance: the real Qt dialogs unless a test installed its own.
Dialogs &dialogs();
// Installs a replacement (nullptr restores the real dialogs); the caller keeps ownership.
// Returns the replacement installed before, if any.
Dialogs *setDialogs(Dialogs *replacement);

// The real implementation, built on QMessageBox, QFileDialog, QPrintDialog and the print preview.
class QtDialogs final : public Dialogs
{
public:
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
};
