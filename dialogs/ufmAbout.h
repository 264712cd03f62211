// The About box: the program's description, version and build date from its own version
// record, and the maker's contact lines. Created once at start-up, shown modally; what it shows
// is built the first time it is shown, so start-up does not draw a box nobody may open.
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

  void setVisible(bool Visible) override;

 private:
  void Build();
  void FormCreate(const std::string& FileName);

  std::string FFileName;
  std::unique_ptr<Ui::TfmAbout> ui;
  std::unique_ptr<TVersionReader> FReader;
};
