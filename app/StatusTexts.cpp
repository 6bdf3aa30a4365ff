#include "StatusTexts.h"

#include "FileMessages.h"
#include "UserDialogs.h"

namespace {

struct BindingRow {
    BindingStatus status;
    const char* openText; // the main window's, as the driver's own messages read
    const char* openCaption;
    bool ownedByWindow;
    const char* writeText;
};

const BindingRow kBindingRows[] = {
    {BindingStatus::LibraryFailure,
     "ERROR, could not load IBFS32.DLL, or not all needed functions found\n", "Error!", false,
     "Не найдена IBFS32.DLL или не все функции были загружены"},
    {BindingStatus::DriverFailure, "\nNo Hardware Driver for this type found!\n", "ERROR", true,
     "Не найдено драйвера для данного типа устройства"},
    {BindingStatus::SetupFailure, "TMEX Setup Flag is not 1 or 2", nullptr, true,
     "TMEX Setup Flag не равен 1 или 2"},
    {BindingStatus::WriteFailed, nullptr, nullptr, true, "Не удалось записать данные."},
};

const BindingRow* rowOf(BindingStatus status) {
    for (const BindingRow& row : kBindingRows)
        if (row.status == status)
            return &row;
    return nullptr;
}

} // namespace

std::optional<StatusTexts::Text> StatusTexts::openFailure(BindingStatus status) {
    const BindingRow* row = rowOf(status);
    if (!row || !row->openText)
        return std::nullopt;
    return Text{QString::fromUtf8(row->openText),
                row->openCaption ? QString::fromUtf8(row->openCaption)
                                 : UserDialogs::systemDefaultCaption(),
                row->ownedByWindow};
}

QString StatusTexts::readFailure() {
    return QStringLiteral("Ошибка адаптера 1-Wire во время чтения. Проверьте подключение адаптера "
                          "и попробуйте еще раз.");
}

QString StatusTexts::writeFailure(BindingStatus status) {
    if (status == BindingStatus::Ok)
        return {};
    const BindingRow* row = rowOf(status);
    // a status the writer does not end with is a write that failed
    return QString::fromUtf8(row ? row->writeText : rowOf(BindingStatus::WriteFailed)->writeText);
}

QString StatusTexts::file(FileStatus status, bool dump, uint64_t fileSize, uint64_t limit) {
    switch (status) {
    case FileStatus::Ok:
        return {};
    case FileStatus::TooLarge:
        return QString::fromStdString(filemessages::tooLarge(fileSize, limit));
    case FileStatus::ReadFailed:
        return QString::fromUtf8(dump ? filemessages::kDumpReadFailed : filemessages::kReadFailed);
    case FileStatus::CannotCreate:
        return QString::fromUtf8(filemessages::kOpenForSavingFailed);
    case FileStatus::WriteFailed:
        return QString::fromUtf8(filemessages::kSaveFailed);
    case FileStatus::RangeRefused:
        return QStringLiteral("Адреса вне файла.\nАдрес начала и адрес конца должны лежать в "
                              "пределах от 0 до %1, и адрес конца не может быть меньше адреса "
                              "начала.")
            .arg(fileSize);
    case FileStatus::DecoderFailed:
        return QStringLiteral("Ошибка декодирования данных.");
    case FileStatus::NotAnImage:
        return QStringLiteral("Файл не является образом таблетки: образ занимает 512 или 544 "
                              "байт.");
    case FileStatus::CannotOpen:
        break;
    }
    return QString::fromUtf8(filemessages::kOpenForReadingFailed);
}

QString StatusTexts::archive(ReadoutArchive::Status status) {
    switch (status) {
    case ReadoutArchive::Status::Done:
        return {};
    case ReadoutArchive::Status::CannotCreate:
        return QString::fromUtf8(filemessages::kOpenForSavingFailed);
    case ReadoutArchive::Status::WriteFailed:
        return QString::fromUtf8(filemessages::kSaveFailed);
    case ReadoutArchive::Status::Damaged:
        return QStringLiteral("Файл архива поврежден: считывание не может быть открыто.");
    case ReadoutArchive::Status::CannotRemove:
        return QStringLiteral("Считывание не удалено из архива.");
    case ReadoutArchive::Status::CannotRead:
        break;
    }
    return QString::fromUtf8(filemessages::kOpenForReadingFailed);
}
