#include "TImportBin.h"

#include "ui_TImportBin.h"

TImportBin::TImportBin(QWidget* parent) : QDialog(parent), ui(new Ui::TImportBin) {
    ui->setupUi(this);
}
TImportBin::~TImportBin() = default;
