#include "TArchiveForm.h"

#include "BusyCursor.h"
#include "ParserFactory.h"
#include "StatusTexts.h"
#include "UserDialogs.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The entries as rows; cells are made on request, so thousands list at once.
class ArchiveModel : public QAbstractTableModel {
public:
    ArchiveModel(const std::vector<ReadoutEntry>& entries, QObject* parent)
        : QAbstractTableModel(parent), entries_(entries) {}

    // The entries are replaced between the two.
    void beginReset() { beginResetModel(); }
    void endReset() { endResetModel(); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : TArchiveForm::ColumnCount;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return text(entries_.at(static_cast<size_t>(index.row())), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const char* const kHeaders[TArchiveForm::ColumnCount] = {
            "Дата и время", "Серийный номер", "Номер устройства", "Вариант", "Событий", "Файл"};
        return QString::fromUtf8(kHeaders[section]);
    }

private:
    static QString text(const ReadoutEntry& e, int column) {
        if (column == TArchiveForm::File)
            return QFileInfo(QFile::decodeName(e.file.c_str())).fileName();
        if (e.damaged)
            return column == TArchiveForm::Time ? QStringLiteral("Файл поврежден") : QString();
        switch (column) {
        case TArchiveForm::Time:
            return QString::fromStdString(datetime::format(e.record.readOutTime));
        case TArchiveForm::Serial:
            return QString::fromStdString(e.serial);
        case TArchiveForm::Device:
            return e.record.deviceNumber == TabletImage::kDeviceNumberUnset
                       ? QStringLiteral("_")
                       : QString::number(e.record.deviceNumber);
        case TArchiveForm::VariantName:
            if (const auto variant = variantFromName(e.record.variant))
                return QString::fromUtf8(
                    variantRow(*variant).importText.data(),
                    static_cast<qsizetype>(variantRow(*variant).importText.size()));
            return QString::fromStdString(e.record.variant);
        case TArchiveForm::Events:
            return QString::number(e.eventCount);
        default:
            return {};
        }
    }

    const std::vector<ReadoutEntry>& entries_;
};

} // namespace

QString TArchiveForm::removeQuestion() {
    return QStringLiteral("Удалить считывание из архива? Его образ будет потерян.");
}

TArchiveForm::TArchiveForm(QWidget* parent, const ReadoutArchive& archive, UserDialogs& dialogs)
    : QDialog(parent), archive_(archive), dialogs_(dialogs), grid_(new QTableView(this)),
      open_(new QPushButton(QStringLiteral("Открыть"), this)),
      saveImage_(new QPushButton(QStringLiteral("Сохранить образ…"), this)),
      remove_(new QPushButton(QStringLiteral("Удалить"), this)) {
    setObjectName(QStringLiteral("TArchiveForm"));
    setWindowTitle(QStringLiteral("Архив считываний"));
    grid_->setObjectName(QStringLiteral("ArchiveGrid"));
    grid_->setModel(new ArchiveModel(entries_, this));
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setStretchLastSection(true);
    open_->setObjectName(QStringLiteral("btnOpen"));
    saveImage_->setObjectName(QStringLiteral("btnSaveImage"));
    remove_->setObjectName(QStringLiteral("btnDelete"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(open_, QDialogButtonBox::ActionRole);
    buttons->addButton(saveImage_, QDialogButtonBox::ActionRole);
    buttons->addButton(remove_, QDialogButtonBox::ActionRole);
    buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addWidget(buttons);
    resize(760, 420);

    connect(open_, &QPushButton::clicked, this, &TArchiveForm::btnOpenClick);
    connect(saveImage_, &QPushButton::clicked, this, &TArchiveForm::btnSaveImageClick);
    connect(remove_, &QPushButton::clicked, this, &TArchiveForm::btnDeleteClick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(grid_, &QTableView::doubleClicked, this, &TArchiveForm::btnOpenClick);
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TArchiveForm::updateButtons);
    refresh();
}

void TArchiveForm::refresh() {
    const int row = grid_->currentIndex().isValid() ? grid_->currentIndex().row() : 0;
    {
        BusyCursor busy;
        auto* model = static_cast<ArchiveModel*>(grid_->model());
        model->beginReset();
        entries_ = archive_.list();
        model->endReset();
    }
    grid_->resizeColumnsToContents();
    select(std::min(row, static_cast<int>(entries_.size()) - 1));
}

void TArchiveForm::select(int row) {
    if (row >= 0)
        grid_->setCurrentIndex(grid_->model()->index(row, 0));
    updateButtons();
}

const ReadoutEntry* TArchiveForm::current() const {
    const QModelIndex index = grid_->currentIndex();
    if (!index.isValid() || static_cast<size_t>(index.row()) >= entries_.size())
        return nullptr;
    return &entries_[static_cast<size_t>(index.row())];
}

void TArchiveForm::updateButtons() {
    const ReadoutEntry* entry = current();
    open_->setEnabled(entry && !entry->damaged);
    saveImage_->setEnabled(entry && !entry->damaged);
    remove_->setEnabled(entry != nullptr);
}

void TArchiveForm::btnOpenClick() {
    const ReadoutEntry* entry = current();
    if (!entry || entry->damaged)
        return;
    chosen_ = *entry;
    accept();
}

void TArchiveForm::btnSaveImageClick() {
    const ReadoutEntry* entry = current();
    if (!entry || entry->damaged)
        return;
    const QString name =
        dialogs_.chooseFile({this, QStringLiteral("ImageSaveDialog"), true, false, true});
    if (name.isEmpty())
        return;
    const ReadoutArchive::Status status =
        archive_.saveImageAs(*entry, QFile::encodeName(name).toStdString());
    if (status != ReadoutArchive::Status::Done)
        error(StatusTexts::archive(status));
}

void TArchiveForm::btnDeleteClick() {
    const ReadoutEntry* entry = current();
    if (!entry ||
        dialogs_.show({.owner = this,
                       .text = removeQuestion(),
                       .caption = QString(),
                       .icon = UserDialogs::Icon::None,
                       .buttons = UserDialogs::Buttons::YesNo}) != UserDialogs::Answer::Yes)
        return;
    const ReadoutArchive::Status status = archive_.remove(*entry);
    if (status != ReadoutArchive::Status::Done)
        error(StatusTexts::archive(status));
    refresh();
}

void TArchiveForm::error(const QString& text) {
    dialogs_.show({.owner = this,
                   .text = text,
                   .caption = QStringLiteral("Error"),
                   .icon = UserDialogs::Icon::Error,
                   .buttons = UserDialogs::Buttons::Ok});
}
