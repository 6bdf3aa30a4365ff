#include "TImportBin.h"

#include "BusyCursor.h"
#include "StatusTexts.h"
#include "UserDialogs.h"
#include "ui_TImportBin.h"

#include <QFile>

namespace {

const QString kCaption = QStringLiteral("Ошибка!");

} // namespace

const TImportBin::VariantItem TImportBin::kVariantItems[3] = {
    {Variant::Main, "Основной вариант"},
    {Variant::Garage, "Гаражный вариант"},
    {Variant::Military, "Военный вариант"},
};

TImportBin::TImportBin(QWidget* parent) : QDialog(parent), ui(new Ui::TImportBin) {
    ui->setupUi(this);
    for (const VariantItem& item : kVariantItems)
        ui->cbTabletType->addItem(QString::fromUtf8(item.text), static_cast<int>(item.variant));
    ui->cbTabletType->setCurrentIndex(-1);
    connect(ui->cbTabletType, &QComboBox::currentIndexChanged, this,
            &TImportBin::cbTabletTypeChange);
    connect(ui->btnImport, &QPushButton::clicked, this, &TImportBin::btnImportClick);
    connect(ui->Button2, &QPushButton::clicked, this, &TImportBin::Button2Click);
}

TImportBin::TImportBin(QWidget* parent, const QString& fileName, UserDialogs& dialogs,
                       datetime::Clock clock)
    : TImportBin(parent) {
    fileName_ = fileName;
    dialogs_ = &dialogs;
    clock_ = std::move(clock);
}

TImportBin::~TImportBin() = default;

std::optional<QString> TImportBin::loadFile() {
    const FileStatus status = [&] {
        BusyCursor busy;
        return LogFileIo::loadDump(QFile::encodeName(fileName_).toStdString(), dump_);
    }();
    if (status != FileStatus::Ok)
        return StatusTexts::file(status, true, dump_.fileSize(), BinDump::kMaxSize);
    ui->lblTargetFileName->setText(
        QString::fromStdString(BinDump::fileName(fileName_.toStdString())));
    const QString size = QString::number(static_cast<int32_t>(dump_.size()));
    ui->lblTargetFileSize->setText(size);
    ui->ebStartAddr->setText(QStringLiteral("0"));
    ui->ebEndAddr->setText(size);
    return std::nullopt;
}

void TImportBin::cbTabletTypeChange() {
    // a wrong variant gives plausible nonsense: none is taken for granted
    ui->btnImport->setEnabled(ui->cbTabletType->currentIndex() >= 0);
}

void TImportBin::btnImportClick() {
    const int item = ui->cbTabletType->currentIndex();
    if (item < 0 || !dialogs_)
        return;
    const auto variant = static_cast<Variant>(ui->cbTabletType->itemData(item).toInt());
    const int32_t start = BinDump::parseAddress(ui->ebStartAddr->text().toStdString());
    const int32_t end = BinDump::parseAddress(ui->ebEndAddr->text().toStdString());
    LogFileIo::Imported imported = [&] {
        BusyCursor busy;
        return LogFileIo::importDump(dump_, start, end, variant, clock_);
    }();
    if (imported.status != FileStatus::Ok) {
        UserDialogs::Message refusal;
        refusal.owner = this;
        refusal.caption = kCaption;
        refusal.icon = UserDialogs::Icon::Error;
        refusal.text = StatusTexts::file(imported.status, true, dump_.size(), BinDump::kMaxSize);
        dialogs_->show(refusal);
        return;
    }
    result_ = std::move(imported.log);
    accept();
}

void TImportBin::Button2Click() {
    reject();
}
