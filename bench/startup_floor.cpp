// The floor bench_StartUp measures the program against: the least this toolkit needs to put
// the same home page on screen. A bare main window of the program's size with one web view,
// which loads home.htm from the program's folder through a page scheme of the same name and
// kind, answered by a plain file-serving handler; the engine is set up as the program sets it
// up (the same Chromium flags, the sandbox off for root, shared OpenGL contexts). Nothing else:
// no settings, no lock, no menus, no include filling. Usage: startup_floor PAGE_FOLDER
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QMainWindow>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

namespace {

constexpr const char* kScheme = "tallybox-page";

class TFiles : public QWebEngineUrlSchemeHandler {
 public:
  TFiles(const QString& Folder, QObject* Parent)
      : QWebEngineUrlSchemeHandler(Parent), FFolder(Folder) {}
  void requestStarted(QWebEngineUrlRequestJob* Job) override {
    QFile file(FFolder + Job->requestUrl().path());
    if (!file.open(QIODevice::ReadOnly)) return Job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    auto* buffer = new QBuffer(Job);
    buffer->setData(file.readAll());
    const QString path = Job->requestUrl().path();
    const QByteArray type = path.endsWith(".htm")   ? "text/html;charset=windows-1252"
                            : path.endsWith(".css") ? "text/css"
                            : path.endsWith(".png") ? "image/png"
                            : path.endsWith(".jpg") ? "image/jpeg"
                                                    : "application/octet-stream";
    Job->reply(type, buffer);
  }

 private:
  QString FFolder;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
  QApplication app(argc, argv);
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QMainWindow window;
  window.setWindowTitle("Tallybox Utility");
  auto* profile = new QWebEngineProfile(&window);
  profile->installUrlSchemeHandler(kScheme, new TFiles(folder, profile));
  auto* page = new QWebEnginePage(profile, &window);
  auto* view = new QWebEngineView(&window);
  view->setPage(page);
  window.setCentralWidget(view);
  window.resize(608, 454);
  view->load(QUrl(QString(kScheme) + "://pages/home.htm"));
  window.show();
  const int status = app.exec();
  delete view;
  delete page;
  return status;
}
