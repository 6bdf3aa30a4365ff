#include "TImportBin.h"

#include "BusyCursor.h"
#include "FileMessages.h"
#include "UserDialogs.h"
#include "ui_TImportBin.h"

#include <QFile>

#include <exception>

namespace {

const QString kCaption = QStringLiteral("Ошибка!");
// A range the dialog refuses; %1 is the file size.
const QString kRangeRefused =
    QStringLiteral("Адреса вне файла.\nАдрес начала и адрес конца должны лежать в пределах "
                   "от 0 до %1, и адрес конца не может быть меньше адреса начала.");
// The decoder failed (no memory left, say); nothing is imported.
const QString kDecoderFailed = QStringLiteral("Ошибка декодирования данных.");

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
    const InputFile::Status status = [&] {
        BusyCursor busy;
        return dump_.load(QFile::encodeName(fileName_).toStdString());
    }();
    switch (status) {
    case InputFile::Status::Opened:
        break;
    case InputFile::Status::CannotOpen:
    case InputFile::Status::NotAFile:
        return QString::fromUtf8(filemessages::kOpenForReadingFailed);
    case InputFile::Status::TooLarge:
        return QString::fromStdString(filemessages::tooLarge(dump_.fileSize(), BinDump::kMaxSize));
    case InputFile::Status::ReadFailed:
        return QString::fromUtf8(filemessages::kDumpReadFailed);
    }
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
    const auto range = dump_.range(start, end);
    UserDialogs::Message refusal;
    refusal.owner = this;
    refusal.caption = kCaption;
    refusal.icon = UserDialogs::Icon::Error;
    if (!range) {
        refusal.text = kRangeRefused.arg(dump_.size());
        dialogs_->show(refusal);
        return;
    }
    try {
        BusyCursor busy;
        std::shared_ptr<const TabletDataParserBase> decoder = makeParser(variant, clock_);
        double base = 0.0;
        result_ = decoder->decodeEvents(*range, base);
        decoder_ = std::move(decoder);
    } catch (const std::exception&) {
        result_.reset();
        refusal.text = kDecoderFailed;
        dialogs_->show(refusal);
        return;
    }
    accept();
}

void TImportBin::Button2Click() {
    reject();
}
