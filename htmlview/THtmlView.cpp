// The HTML view: include expansion, page loading and form capture on Qt WebEngine.
#include "htmlview/THtmlView.h"

#include "htmlview/core/uHtmlEscape.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <filesystem>
#include <memory>
#include <optional>

#include "htmlview/uCapturePage.h"
#include "htmlview/uPageRequestFilter.h"
#include "htmlview/uPageSchemeHandler.h"

namespace fs = std::filesystem;

namespace {

// Shown in place of a page that cannot be shown, so the view is never left blank.
std::string NoticePage(const std::string& Title, const std::string& Path, const std::string& Why) {
  return "<!DOCTYPE html><html><head><meta charset=\"windows-1252\"><title>" + Title +
         "</title></head><body style=\"font-family:sans-serif;margin:24px\"><h2>" + Title +
         "</h2><p>The page file \"<span id=\"file\">" + HtmlEscape(Path) + "</span>\" " + Why +
         ".</p></body></html>";
}

void RegisterScheme(const char* Name) {
  if (!QWebEngineUrlScheme::schemeByName(Name).name().isEmpty()) return;
  QWebEngineUrlScheme scheme(Name);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
}

}  // namespace

void THtmlView::PrepareEnvironment() {
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void THtmlView::RegisterSchemes() {
  RegisterScheme(TPageSchemeHandler::Scheme);
  RegisterScheme(TCapturePage::FormScheme);
}

THtmlView::THtmlView(QWidget* Parent)
    : QWidget(Parent),
      FProfile(new QWebEngineProfile(this)),
      FPages(new TPageSchemeHandler(FProfile)) {
  FProfile->installUrlSchemeHandler(TPageSchemeHandler::Scheme, FPages);
  TCapturePage::InstallFormScheme(FProfile);
  FProfile->setUrlRequestInterceptor(new TPageRequestFilter(FProfile));
  FProfile->setHttpCacheType(QWebEngineProfile::NoCache);
  QWebEngineSettings* settings = FProfile->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);

  FPage = new TCapturePage(FProfile, this);
  FView = new QWebEngineView(this);
  FView->setPage(FPage);
  FView->setContextMenuPolicy(Qt::NoContextMenu);
  FView->setAcceptDrops(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FView);

  FLoadWatch = new QTimer(this);
  FLoadWatch->setSingleShot(true);
  connect(FLoadWatch, &QTimer::timeout, this, &THtmlView::EnsureLastPageShown);
  connect(FPage, &QWebEnginePage::loadFinished, this, &THtmlView::PageLoadFinished);
  connect(FPage, &TCapturePage::FormCaptured, this, &THtmlView::FormCaptured);
}

THtmlView::~THtmlView() {
  // The engine wants the page gone before its profile.
  delete FView;
  delete FPage;
  delete FProfile;
}

void THtmlView::SetPageRoot(const std::string& Folder) {
  FPageRoot = Folder;
}

void THtmlView::LoadFromFile(const std::string& Path) {
  FCurrentFile = Path;
  std::error_code ec;
  const fs::path file = fs::absolute(Path, ec).lexically_normal();
  FPages->SetRoot(FPageRoot.empty() ? file.parent_path() : fs::path(FPageRoot));
  const fs::path served = FPages->ResolveBelowRoot(file);
  if (served.empty()) {
    const std::string why = !fs::exists(file, ec)            ? "is missing"
                            : !fs::is_regular_file(file, ec) ? "is not a file"
                                                             : "is outside the page folder";
    return ShowPage(
        file.filename().string(),
        NoticePage(why == "is missing" ? "Page not found" : "Page not available", Path, why));
  }
  const std::optional<std::string> page = ReadPageFile(served);
  if (!page)
    return ShowPage(file.filename().string(),
                    NoticePage("Page not readable", Path, "cannot be read"));
  ShowPage(served.lexically_relative(FPages->Root()).generic_string(),
           ExpandIncludeTags(*page, FOnInclude));
}

void THtmlView::ShowPage(const std::string& RelativePath, const std::string& Html) {
  const QUrl url = FPages->PutDocument(QString::fromStdString(RelativePath),
                                       QByteArray(Html.data(), qsizetype(Html.size())));
  FRetries = 0;
  FLastFinished = false;
  FPage->ExpectLoad(url);
  FPage->load(url);
  FLoadWatch->start(LoadWatchMs);
}

void THtmlView::PageLoadFinished(bool Ok) {
  // A load overtaken by a newer one also finishes; only the page asked for last counts.
  if (FPage->url() == FPage->LastLoad()) {
    FLastFinished = true;
    FLoadWatch->stop();
    emit LoadFinished(Ok);
    return;
  }
  // An older page finished in place of the one asked for last (the wait page, then the page
  // that ends the wait): unless the newer one comes a moment later, ask for it again.
  QTimer::singleShot(50, this, [this] {
    if (FPage->url() != FPage->LastLoad()) EnsureLastPageShown();
  });
}

void THtmlView::EnsureLastPageShown() {
  const QUrl last = FPage->LastLoad();
  if (last.isEmpty() || FLastFinished || FRetries >= MaxRetries) return;
  ++FRetries;
  FPage->ExpectLoad(last);
  FPage->load(last);
  FLoadWatch->start(LoadWatchMs);
}

void THtmlView::FormCaptured(const TCapturedForm& Form) {
  if (FOnSubmit) FOnSubmit(Form.Action, Form.Target, Form.EncType, Form.Method, Form.Fields);
}

void THtmlView::Repaint() {
  FView->update();
  repaint();
}

QVariant THtmlView::RunScriptForTest(const QString& Script, int TimeoutMs) {
  struct TState {
    QEventLoop Loop;
    QVariant Result;
    bool Done = false;
  };
  // The engine may answer after a time-out, so the callback holds the state alive itself.
  auto state = std::make_shared<TState>();
  FPage->runJavaScript(Script, 0, [state](const QVariant& Result) {
    state->Result = Result;
    state->Done = true;
    state->Loop.quit();
  });
  QTimer::singleShot(TimeoutMs, &state->Loop, &QEventLoop::quit);
  if (!state->Done) state->Loop.exec();
  return state->Done ? state->Result : QVariant();
}
