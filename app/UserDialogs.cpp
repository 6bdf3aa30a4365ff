#include "UserDialogs.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

UserDialogs::Answer WidgetDialogs::show(const Message& m) {
    QMessageBox box(m.icon == Icon::Error ? QMessageBox::Critical : QMessageBox::NoIcon, m.caption,
                    m.text, QMessageBox::NoButton, m.owner);
    switch (m.buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::CancelRetryContinue:
        box.setStandardButtons(QMessageBox::Cancel | QMessageBox::Retry | QMessageBox::Ignore);
        box.button(QMessageBox::Ignore)->setText(QObject::tr("Продолжить"));
        break;
    case Buttons::SaveDiscardCancel:
        box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Save);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Ignore:
        return Answer::Continue;
    case QMessageBox::Save:
        return Answer::Save;
    case QMessageBox::Discard:
        return Answer::Discard;
    default: // closed by Escape or the title bar
        if (m.buttons == Buttons::SaveDiscardCancel)
            return Answer::Cancel;
        return m.buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

int WidgetDialogs::exec(QDialog& dialog) {
    return dialog.exec();
}

QString WidgetDialogs::chooseFile(const FileDialog& d) {
    QFileDialog* dialog = d.kept && d.owner
                              ? d.owner->findChild<QFileDialog*>(d.name, Qt::FindDirectChildrenOnly)
                              : nullptr;
    std::unique_ptr<QFileDialog> once;
    if (!dialog) {
        dialog = new QFileDialog(d.owner);
        if (!d.kept || !d.owner)
            once.reset(dialog);
        dialog->setObjectName(d.name);
        dialog->setAcceptMode(d.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(d.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, !d.save);
    }
    if (dialog->exec() != QDialog::Accepted)
        return {};
    const QString name = dialog->selectedFiles().value(0);
    dialog->selectFile(name); // offered again next time
    return name;
}
