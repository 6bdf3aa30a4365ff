#pragma once

#include "BinDump.h"
#include "DateTime.h"
#include "EventLog.h"
#include "LogFileIo.h"
#include "ParserFactory.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <utility>

namespace Ui {
class TImportBin;
}
class UserDialogs;

// "Импорт из bin-файлов": one bin file, the controller variant that wrote it and
// the byte range of its records; "Импорт" decodes the range with time base 0.
class TImportBin : public QDialog {
    Q_OBJECT
public:
    // The variants in the order of cbTabletType's items.
    struct VariantItem {
        Variant variant;
        const char* text;
    };
    static const VariantItem kVariantItems[3];

    // The dialog of the start-up list, never shown.
    explicit TImportBin(QWidget* parent = nullptr);
    // The dialog of one import of `fileName`.
    TImportBin(QWidget* parent, const QString& fileName, UserDialogs& dialogs,
               datetime::Clock clock);
    ~TImportBin() override;
    std::unique_ptr<Ui::TImportBin> ui;

    // Reads the whole file and fills the name, size and address fields; the
    // message to show when the file cannot be taken.
    std::optional<QString> loadFile();

    // The decoded list once "Импорт" has ended the dialog with OK, with the
    // segment rule of the decoder that made it.
    std::optional<EventLog> takeResult() { return std::exchange(result_, std::nullopt); }

public slots:
    void btnImportClick();
    void Button2Click();

private:
    void cbTabletTypeChange();

    QString fileName_;
    UserDialogs* dialogs_ = nullptr;
    datetime::Clock clock_;
    BinDump dump_;
    std::optional<EventLog> result_;
};
