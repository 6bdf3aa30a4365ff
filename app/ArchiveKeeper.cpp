#include "ArchiveKeeper.h"

#include "ParserFactory.h"

#include <QFile>
#include <QLabel>
#include <QStatusBar>

namespace {
// the version the build was made with
const char* const kProgramVersion = VELMORA_VERSION;
} // namespace

ArchiveKeeper::ArchiveKeeper(QStatusBar& bar, const QString& folder, datetime::Clock clock)
    : warning_(new QLabel(&bar)),
      archive_(folder.isEmpty() ? ReadoutArchive::defaultFolder()
                                : QFile::encodeName(folder).toStdString()),
      clock_(std::move(clock)) {
    warning_->setObjectName(QStringLiteral("ArchiveWarning"));
    // a message of the bar would hide the tablet's panels
    bar.addPermanentWidget(warning_);
}

QString ArchiveKeeper::cannotKeepWarning() {
    return QStringLiteral("Считанные данные не сохранены в архиве считываний.");
}

bool ArchiveKeeper::keep(const ReadOutReport& report) {
    if (!report.decodes())
        return true;
    ReadoutRecord record;
    record.rom = report.reading.rom;
    record.readOutTime = clock_();
    record.deviceNumber = report.reading.image.deviceNumber();
    record.variant = std::string(variantName(*report.judgement.variant));
    record.tabletYear = report.judgement.year;
    record.tabletMonth = report.judgement.month;
    record.tabletDay = report.judgement.day;
    record.programVersion = kProgramVersion;
    const bool kept = !archive_.folder().empty() &&
                      archive_.store(report.reading.image, record) == ReadoutArchive::Status::Done;
    warning_->setText(kept ? QString() : cannotKeepWarning());
    return kept;
}
