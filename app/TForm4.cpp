#include "TForm4.h"

#include "StatusTexts.h"
#include "TabletDataWriterHelper.h"
#include "ui_TForm4.h"

#include <utility>

namespace {

const QString kSucceeded =
    QStringLiteral("Данные успешно записаны. Для продолжения работы нажмите ОК");
const QString kSucceededCaption = QStringLiteral("Операция завершена");
const QString kFailed = QStringLiteral("Данные не записаны.");
const QString kFailedCaption = QStringLiteral("Ошибка");

} // namespace

TForm4::TForm4(UserDialogs& dialogs, QString libraryPath, std::function<void()> stopReadOut,
               QWidget* parent)
    : QDialog(parent), ui(new Ui::TForm4), dialogs_(dialogs), libraryPath_(std::move(libraryPath)),
      stopReadOut_(std::move(stopReadOut)) {
    ui->setupUi(this);
    // The design size, or more where the desktop's font needs it: no text is cut.
    setFixedSize(sizeHint().expandedTo(QSize(402, 128)));
    connect(ui->Button1, &QPushButton::clicked, this, &TForm4::Button1Click);
    connect(ui->Button2, &QPushButton::clicked, this, &TForm4::Button2Click);
    qRegisterMetaType<BindingStatus>();
    connect(this, &TForm4::writerFinished, this, &TForm4::finishHandler, Qt::QueuedConnection);
    FormCreate();
}

TForm4::~TForm4() {
    // Its finish function posts to this dialog: the writer goes first.
    writer_.reset();
}

void TForm4::FormCreate() {
    ui->ComboBox1->setCurrentIndex(1);
}

bool TForm4::writerRunning() const {
    return writing_;
}

void TForm4::setButtonsEnabled(bool enabled) {
    ui->Button1->setEnabled(enabled);
    ui->Button2->setEnabled(enabled);
}

UserDialogs::Answer TForm4::message(const QString& text, const QString& caption,
                                    UserDialogs::Buttons buttons) {
    UserDialogs::Message m;
    m.text = text;
    m.caption = caption;
    m.buttons = buttons;
    return dialogs_.show(m);
}

void TForm4::Button1Click() {
    if (writerRunning())
        return; // one writer at a time
    writing_ = true;
    setButtonsEnabled(false);
    if (stopReadOut_)
        stopReadOut_();
    const auto version = static_cast<uint16_t>(ui->ComboBox1->currentIndex() + 1);
    // The finish function runs on the writer's thread as its last act: it takes
    // the outcome there and hands it to this dialog's thread as a value, through
    // a queued signal.
    auto self = std::make_shared<TabletDataWriterHelper*>(nullptr);
    auto finish = [this, self] { emit writerFinished((*self)->status()); };
    writer_.reset(); // the previous writer has ended: its outcome is in
    writer_ = std::make_unique<TabletDataWriterHelper>(true, finish, version, libraryPath_);
    *self = writer_.get();
    writer_->resume();
}

void TForm4::Button2Click() {
    close();
}

void TForm4::done(int result) {
    // Closing waits for the running writer: its outcome decides then.
    if (writerRunning()) {
        closeRequested_ = true;
        return;
    }
    QDialog::done(result);
}

void TForm4::finishHandler(BindingStatus status) {
    struct Done {
        TForm4* form;
        ~Done() { emit form->writeHandled(); }
    } done{this};

    writer_->wait(); // the finish function was its last act
    writing_ = false;
    setButtonsEnabled(true);
    const bool closeRequested = std::exchange(closeRequested_, false);
    if (status != BindingStatus::Ok)
        message(StatusTexts::writeFailure(status), UserDialogs::systemDefaultCaption());
    if (status == BindingStatus::Ok) {
        message(kSucceeded, kSucceededCaption);
        accept();
        return;
    }
    switch (message(kFailed, kFailedCaption, UserDialogs::Buttons::CancelRetryContinue)) {
    case UserDialogs::Answer::Retry:
        Button1Click();
        return;
    case UserDialogs::Answer::Continue:
        if (closeRequested)
            reject();
        return;
    default:
        reject();
        return;
    }
}
