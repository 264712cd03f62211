// Navigation policy and form capture of the HTML view's page.
#include "htmlview/uCapturePage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>

#include "markup/uFormFields.h"

namespace {

constexpr const char* CapturePathPrefix = "/form/";

class TRefusingSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
  void requestStarted(QWebEngineUrlRequestJob* Job) override {
    Job->fail(QWebEngineUrlRequestJob::RequestDenied);
  }
};

QString ReadResource(const QString& Name) {
  QFile file(Name);
  file.open(QIODevice::ReadOnly);
  return QString::fromUtf8(file.readAll());
}

QWebEngineScript MakeScript(const QString& Name, quint32 World) {
  QWebEngineScript script;
  script.setName(Name);
  script.setSourceCode(ReadResource(":/htmlview/" + Name));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(World);
  script.setRunsOnSubFrames(false);
  return script;
}

std::string Latin1(const QJsonValue& Value) {
  return Value.toString().toLatin1().toStdString();
}

}  // namespace

bool DecodeCapturedForm(const QUrl& Url, TCapturedForm& Form) {
  if (Url.scheme() != TCapturePage::FormScheme) return false;
  const QString path = Url.path(QUrl::FullyEncoded);
  if (!path.startsWith(CapturePathPrefix)) return false;
  const QByteArray description =
      QByteArray::fromPercentEncoding(path.mid(int(strlen(CapturePathPrefix))).toLatin1());
  const QJsonArray parts = QJsonDocument::fromJson(description).array();
  if (parts.size() != 4) return false;
  Form.Action = Latin1(parts[0]);
  Form.Target = Latin1(parts[1]);
  Form.EncType = Latin1(parts[2]);
  Form.Method = Latin1(parts[3]);
  Form.Fields = DecodeFormFields(Url.query(QUrl::FullyEncoded).toLatin1().toStdString());
  return true;
}

TCapturePage::TCapturePage(QWebEngineProfile* Profile, QObject* Parent)
    : QWebEnginePage(Profile, Parent) {
  InjectScripts();
}

void TCapturePage::InstallFormScheme(QWebEngineProfile* Profile) {
  Profile->installUrlSchemeHandler(FormScheme, new TRefusingSchemeHandler(Profile));
}

void TCapturePage::InjectScripts() {
  // The page's own scripts can reach form.submit() only in their world, so a small shim there
  // announces it; everything else runs where the page cannot tamper with it.
  scripts().insert(MakeScript("uSubmitShim.js", QWebEngineScript::MainWorld));
  scripts().insert(MakeScript("uSubmitCapture.js", QWebEngineScript::ApplicationWorld));
}

bool TCapturePage::acceptNavigationRequest(const QUrl& Url, NavigationType Type, bool IsMainFrame) {
  TCapturedForm form;
  if (IsMainFrame && Type == NavigationTypeFormSubmitted && DecodeCapturedForm(Url, form)) {
    QMetaObject::invokeMethod(
        this, [this, form] { emit FormCaptured(form); }, Qt::QueuedConnection);
    return false;
  }
  if (IsMainFrame && !FExpected.isEmpty() && Url == FExpected) {
    FExpected.clear();
    return true;
  }
  return false;
}

QWebEnginePage* TCapturePage::createWindow(WebWindowType) {
  return nullptr;
}
