// The wizard's serial page beyond the COM number itself: the list of what COM1 to COM9 reach
// on this computer, refreshed while the page is shown, and Assign, which links the chosen COM
// number to one of the serial devices found.
#include <QComboBox>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

#include "dialogs/ufmConnectWizard.h"
#include "gui/uApplication.h"
#include "gui/uModal.h"
#include "rtl/Exceptions.h"
#include "transport/uComPortMap.h"
#include "ui_ufmConnectWizard.h"

namespace {

// udev makes the by-id name a moment after the node: one rescan after the changes settle.
constexpr int RescanDelayMs = 300;
constexpr int MaxWidth = 760;

std::string Parent(const std::string& Path) {
  const size_t slash = Path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string() : Path.substr(0, slash);
}

QString DeviceLabel(const TSerialDevice& Device) {
  QString label = QString::fromStdString(Device.Node);
  if (!Device.Description.empty()) label += " (" + QString::fromStdString(Device.Description) + ")";
  return label;
}

}  // namespace

void TfmConnectWizard::WireSerialPage() {
  ui->lbComPorts->addItem("COM1");
  // All nine at once, with room for the scroll bar that a long device name brings.
  ui->lbComPorts->setFixedHeight(ui->lbComPorts->sizeHintForRow(0) * ComPortCount +
                                 2 * ui->lbComPorts->frameWidth() +
                                 ui->lbComPorts->horizontalScrollBar()->sizeHint().height());
  resize(size().expandedTo(sizeHint()));
  FDeviceWatch = new QFileSystemWatcher(this);
  FRescan = new QTimer(this);
  FRescan->setSingleShot(true);
  FRescan->setInterval(RescanDelayMs);
  connect(FDeviceWatch, &QFileSystemWatcher::directoryChanged, FRescan,
          qOverload<>(&QTimer::start));
  connect(FRescan, &QTimer::timeout, this, Guarded([this] { WatchDevices(true); }));
  // The list and the COM drop-down show one choice.
  connect(ui->lbComPorts, &QListWidget::currentRowChanged, ui->cbCOMPort,
          &QComboBox::setCurrentIndex);
  connect(ui->cbCOMPort, &QComboBox::currentIndexChanged, ui->lbComPorts,
          qOverload<int>(&QListWidget::setCurrentRow));
  connect(ui->btnAssign, &QPushButton::clicked, this, Guarded([this] { btnAssignClick(); }));
}

// Watches the device folders and the folder of the user's COM links while On, and lists the
// devices afresh. The by-id folder appears with the first adapter and the link folder with the
// first link (the simulator makes one too), so the folders above them are watched as well.
void TfmConnectWizard::WatchDevices(bool On) {
  if (!FDeviceWatch->directories().isEmpty())
    FDeviceWatch->removePaths(FDeviceWatch->directories());
  if (!On) {
    FRescan->stop();
    return;
  }
  const TSerialFolders folders = TSerialFolders::FromEnvironment();
  std::vector<std::string> watched = {folders.Dev, Parent(folders.ById), folders.ById};
  for (std::string link = Parent(ComLinkPath(1)); !link.empty() && watched.size() < 6;
       link = Parent(link))
    watched.push_back(link);
  for (const std::string& folder : watched)
    if (QFileInfo(QString::fromStdString(folder)).isDir())
      FDeviceWatch->addPath(QString::fromStdString(folder));
  FillComPorts();
}

void TfmConnectWizard::FillComPorts() {
  const TSerialFolders folders = TSerialFolders::FromEnvironment();
  FDevices = ListSerialDevices(folders);
  const int chosen = ui->cbCOMPort->currentIndex();
  QSignalBlocker quiet(ui->lbComPorts);
  ui->lbComPorts->clear();
  for (const TComPortEntry& entry : ListComPorts(FDevices, folders))
    ui->lbComPorts->addItem(QString::fromStdString(ComPortLine(entry)));
  ui->lbComPorts->setCurrentRow(chosen);
  // Wider for long device names, up to a limit; the list scrolls beyond it.
  const int missing = ui->lbComPorts->sizeHintForColumn(0) + 2 * ui->lbComPorts->frameWidth() -
                      ui->lbComPorts->width();
  if (missing > 0 && isVisible()) resize(std::min(width() + missing, MaxWidth), height());
}

void TfmConnectWizard::btnAssignClick() {
  const int number = ui->cbCOMPort->currentIndex() + 1;
  if (number < 1) throw EAbort();
  FillComPorts();
  if (FDevices.empty()) {
    TModal::MessageBox(this, "No serial devices were found. Plug the adapter in and try again.",
                       "Assign", TModal::MB_OK | TModal::MB_ICONINFORMATION);
    return;
  }
  // The folder watch may list the devices afresh while the choice is open: the choice is of
  // the devices offered, found again by their stable name afterwards.
  const std::vector<TSerialDevice> offered = FDevices;
  QStringList labels;
  for (const TSerialDevice& device : offered) labels << DeviceLabel(device);
  const QString reached = ui->lbComPorts->item(number - 1)->text().section(" \u2014 ", 1);
  QInputDialog choose(this);
  choose.setWindowTitle(QString("Assign COM%1").arg(number));
  choose.setLabelText(QString("Device for COM%1:").arg(number));
  choose.setOption(QInputDialog::UseListViewForComboBoxItems);
  choose.setComboBoxItems(labels);
  choose.setTextValue(labels.contains(reached) ? reached : labels.front());
  if (TModal::Exec(&choose) != QDialog::Accepted) return;
  const qsizetype index = labels.indexOf(choose.textValue());
  if (index < 0) throw EAbort();
  const TSerialDevice& chosen = offered[static_cast<size_t>(index)];
  FillComPorts();
  const auto now = std::find_if(FDevices.begin(), FDevices.end(), [&](const TSerialDevice& D) {
    return chosen.StablePath.empty() ? D.Node == chosen.Node : D.StablePath == chosen.StablePath;
  });
  if (now == FDevices.end()) {
    TModal::MessageBox(
        this,
        DeviceLabel(chosen) + " went away while it was chosen. Plug it in and " + "try again.",
        "Assign", TModal::MB_OK | TModal::MB_ICONINFORMATION);
    return;
  }
  AssignComPort(number, *now);
  FillComPorts();
}
