#include "TAbout.h"

#include "ui_TAbout.h"

TAbout::TAbout(QWidget* parent) : QDialog(parent, Qt::Tool), ui(new Ui::TAbout) {
    ui->setupUi(this);
    setFixedSize(289, 145);
}
TAbout::~TAbout() = default;
