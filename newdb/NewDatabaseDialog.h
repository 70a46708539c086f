#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// «Новая база данных Орвинты»: makes a database file without a terminal. The user picks where
// to save it, whether it starts empty or with sample data, and may fill it from a spreadsheet's
// CSV file or make it of an Access file; the dialog never replaces a file, shows the wait for
// long work, and ends by naming the new file and how to open it in the program.
class NewDatabaseDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit NewDatabaseDialog(QWidget *parent = nullptr);

    QLineEdit *fileEdit;
    QPushButton *chooseFile;
    QRadioButton *empty;
    QRadioButton *sample;
    QCheckBox *fillFrom;
    QLineEdit *sourceEdit;
    QPushButton *chooseSource;
    QPushButton *create;
    QLabel *status;

    // Makes the database as the dialog is filled in; shows what came of it.
    void createClicked();

private:
    void chooseFileClicked();
    void chooseSourceClicked();
    void updateButtons();
    // Runs orvinta-db's command as that program does, off the interface thread, showing the
    // wait; its messages come back in `report`. False when it failed.
    bool runCommand(const QStringList &arguments, QString &report);
};
