#pragma once

#include "BinDump.h"
#include "DateTime.h"
#include "EventCollection.h"
#include "ParserFactory.h"

#include <QDialog>

#include <memory>
#include <optional>

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

    // The decoded list once "Импорт" has ended the dialog with OK, and the
    // decoder that made it (its segment rule goes with the list).
    std::unique_ptr<EventCollection> takeResult() { return std::move(result_); }
    std::shared_ptr<const TabletDataParserBase> decoder() const { return decoder_; }

public slots:
    void btnImportClick();
    void Button2Click();

private:
    void cbTabletTypeChange();

    QString fileName_;
    UserDialogs* dialogs_ = nullptr;
    datetime::Clock clock_;
    BinDump dump_;
    std::unique_ptr<EventCollection> result_;
    std::shared_ptr<const TabletDataParserBase> decoder_;
};
