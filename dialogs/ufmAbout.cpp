#include "dialogs/ufmAbout.h"

#include <QIcon>
#include <QPushButton>

#include "dialogs/uDialogLook.h"
#include "gui/uApplication.h"
#include "ui_ufmAbout.h"

TfmAbout::TfmAbout(QWidget* Parent, const std::string& FileName)
    : QDialog(Parent), FFileName(FileName) {}

void TfmAbout::setVisible(bool Visible) {
  if (Visible && !ui) Build();
  QDialog::setVisible(Visible);
}

void TfmAbout::Build() {
  ui = std::make_unique<Ui::TfmAbout>();
  ui->setupUi(this);
  for (QPlainTextEdit* memo : {ui->memVersion, ui->Memo1}) {
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    memo->setPalette(palette);
  }
  ui->Memo1->setPlainText("Web:\twww.orvane.example\nEmail:\tsupport@orvane.example");
  // The logo is drawn for its strip at the screen's scale, not a square picture stretched.
  ui->Image1->setPixmap(QIcon(":/tallybox/icons/about-logo.svg")
                            .pixmap(ui->Image1->minimumSize(), devicePixelRatioF()));
  connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
  FormCreate(FFileName);
  CentreOnScreen(this);
  ui->OKButton->setFocus();
}

TfmAbout::~TfmAbout() = default;

void TfmAbout::FormCreate(const std::string& FileName) {
  FReader = std::make_unique<TVersionReader>(FileName);
  ui->memVersion->clear();
  // The record is Windows-1252 text; its copyright sign is the same byte in Latin-1.
  for (const std::string& line : {FReader->FileDescription, FReader->FileVersion, FReader->FileDate,
                                  std::string(), FReader->LegalCopyright})
    ui->memVersion->appendPlainText(ToQ(line));
}
