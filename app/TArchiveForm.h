#pragma once

#include "ReadoutArchive.h"

#include <QDialog>

#include <optional>
#include <vector>

class QPushButton;
class QTableView;
class UserDialogs;

// "Архив считываний": the kept read-outs, newest first, and what may be done
// with one: open it (the dialog ends with it chosen), save its image as a bin
// file, remove it after asking.
class TArchiveForm : public QDialog {
    Q_OBJECT
public:
    enum Column { Time, Serial, Device, VariantName, Events, File, ColumnCount };

    TArchiveForm(QWidget* parent, const ReadoutArchive& archive, UserDialogs& dialogs);

    // Reads the folder again.
    void refresh();
    const std::vector<ReadoutEntry>& entries() const { return entries_; }
    // The entry "Открыть" ended the dialog with.
    const std::optional<ReadoutEntry>& chosen() const { return chosen_; }
    void select(int row);

    QTableView* grid() const { return grid_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* saveImageButton() const { return saveImage_; }
    QPushButton* removeButton() const { return remove_; }

    static QString removeQuestion();

public slots:
    void btnOpenClick();
    void btnSaveImageClick();
    void btnDeleteClick();

private:
    const ReadoutEntry* current() const;
    void updateButtons();
    void error(const QString& text);

    const ReadoutArchive& archive_;
    UserDialogs& dialogs_;
    std::vector<ReadoutEntry> entries_;
    std::optional<ReadoutEntry> chosen_;
    QTableView* grid_;
    QPushButton* open_;
    QPushButton* saveImage_;
    QPushButton* remove_;
};
