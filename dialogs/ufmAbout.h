// The About box: the program's description, version and build date from its own version
// record, and the maker's contact lines. Created once at start-up, shown modally.
#pragma once

#include <QDialog>
#include <memory>

#include "settings/QueryVersion.h"

namespace Ui {
class TfmAbout;
}

class TfmAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TfmAbout(QWidget* Parent = nullptr, const std::string& FileName = OwnExecutable());
  ~TfmAbout() override;

 private:
  void FormCreate(const std::string& FileName);

  std::unique_ptr<Ui::TfmAbout> ui;
  std::unique_ptr<TVersionReader> FReader;
};
