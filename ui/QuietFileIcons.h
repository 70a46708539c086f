#pragma once

#include <QFileIconProvider>

// Icons and type names of files taken from their names alone. Qt's own provider looks into a
// file to tell its type, and a special file (/proc/kmsg, a pipe) can block that read forever:
// the file dialogs and the completion of typed paths use this one instead.
class QuietFileIcons final : public QFileIconProvider
{
public:
    using QFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;

    // The one instance, shared by every dialog.
    static QuietFileIcons &instance();
};
