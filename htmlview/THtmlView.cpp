// The HTML view: include expansion, page loading and form capture on Qt WebEngine.
#include "htmlview/THtmlView.h"

#include "markup/uHtmlEscape.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <filesystem>
#include <memory>
#include <optional>

#include "htmlview/uAccessibleSweep.h"
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

void RegisterScheme(const char* Name, QWebEngineUrlScheme::Syntax Syntax) {
  if (!QWebEngineUrlScheme::schemeByName(Name).name().isEmpty()) return;
  QWebEngineUrlScheme scheme(Name);
  scheme.setSyntax(Syntax);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
  QWebEngineUrlScheme::registerScheme(scheme);
}

// Family if this desktop has it, else the desktop's own family for that kind of text.
QString FamilyOr(const char* Family, QFont::StyleHint Kind, const char* Generic) {
  if (QFontDatabase::hasFamily(Family)) return Family;
  QFont font(Generic);
  font.setStyleHint(Kind);
  return QFontInfo(font).family();
}

// Pages without a stylesheet of their own read in Times New Roman 11 pt, preformatted text in
// Courier New.
void SetPageFonts(QWebEngineSettings* Settings) {
  Settings->setFontFamily(QWebEngineSettings::StandardFont,
                          FamilyOr("Times New Roman", QFont::Serif, "serif"));
  Settings->setFontFamily(QWebEngineSettings::SerifFont,
                          FamilyOr("Times New Roman", QFont::Serif, "serif"));
  Settings->setFontFamily(QWebEngineSettings::FixedFont,
                          FamilyOr("Courier New", QFont::Monospace, "monospace"));
  Settings->setFontSize(QWebEngineSettings::DefaultFontSize, 15);  // 11 pt in CSS pixels
}

}  // namespace

void THtmlView::PrepareEnvironment() {
  if (::geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void THtmlView::FollowDesktopScheme() {
  const QPalette palette = QGuiApplication::palette();
  if (palette.color(QPalette::Window).lightness() >=
      palette.color(QPalette::WindowText).lightness())
    return;
  const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (!flags.contains("--force-dark-mode"))
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --force-dark-mode");
}

void THtmlView::RegisterSchemes() {
  // Pages come from one host, so they share one origin: under a scheme without a host each
  // page shown got an origin of its own, and the engine kept about 2 KiB for every one of them
  // for as long as the program ran. Form URLs are only ever refused, never shown.
  RegisterScheme(TPageSchemeHandler::Scheme, QWebEngineUrlScheme::Syntax::Host);
  RegisterScheme(TCapturePage::FormScheme, QWebEngineUrlScheme::Syntax::Path);
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
  SetPageFonts(settings);

  FPage = new TCapturePage(FProfile, this);
  FView = new QWebEngineView(this);
  FView->setPage(FPage);
  FView->setContextMenuPolicy(Qt::NoContextMenu);
  FView->setAcceptDrops(false);
  FSweep = std::make_unique<TAccessibleSweep>(FView);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(FView);

  FLoadWatch = new QTimer(this);
  FLoadWatch->setSingleShot(true);
  connect(FLoadWatch, &QTimer::timeout, this, &THtmlView::LoadWatchExpired);
  connect(FPage, &QWebEnginePage::loadingChanged, this, &THtmlView::PageLoadingChanged);
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
  FLastPath = QString::fromStdString(RelativePath);
  FLastHtml = QByteArray(Html.data(), qsizetype(Html.size()));
  FRetries = 0;
  FLastFinished = false;
  LoadLastPage();
}

// Every attempt gets a URL of its own: a retry under the URL of a load still on its way has
// left the engine showing an empty document, and an attempt overtaken on its way must never
// be taken for the one that followed it.
void THtmlView::LoadLastPage() {
  const QUrl url = FPages->PutDocument(FLastPath, FLastHtml);
  FLastStarted = false;
  FPage->ExpectLoad(url);
  FPage->load(url);
  FLoadWatch->start(FLoadWatchMs);
}

// Matched on the load's own URL: the page's url() still names the old document while the
// new one is on its way.
void THtmlView::PageLoadingChanged(const QWebEngineLoadingInfo& Info) {
  using TInfo = QWebEngineLoadingInfo;
  if (Info.url() != FPage->LastLoad()) {
    if (Info.status() != TInfo::LoadStartedStatus) OlderPageEnded();
    return;
  }
  if (Info.status() == TInfo::LoadStartedStatus) {
    FLastStarted = true;
  } else if (Info.status() == TInfo::LoadSucceededStatus && !Info.isErrorPage()) {
    LastPageEnded(true);
  } else if (FRetries < MaxRetries) {
    AskAgain();
  } else {
    LastPageEnded(false);
  }
}

// An older page ended in place of the one asked for last (the wait page, then the page that
// ends the wait): unless the newer one starts a moment later, the engine dropped it.
void THtmlView::OlderPageEnded() {
  QTimer::singleShot(50, this, [this] {
    if (!FLastStarted) AskAgain();
  });
}

// The owner hears of each page once. Nothing ever goes back to an earlier page (the view
// refuses every navigation it did not ask for), so the pages before it are let go: the engine
// would otherwise keep fifty of them, with their state, as the back list.
void THtmlView::LastPageEnded(bool Ok) {
  if (FLastFinished) return;
  FLastFinished = true;
  FLoadWatch->stop();
  FPage->history()->clear();
  FSweep->Sweep();
  emit LoadFinished(Ok);
}

// A load the engine has started is slow on a busy machine, not lost: asking again would
// only abort it.
void THtmlView::LoadWatchExpired() {
  if (FLastStarted)
    FLoadWatch->start(FLoadWatchMs);
  else
    AskAgain();
}

// Once the retries are spent the view waits for whatever is still on its way.
void THtmlView::AskAgain() {
  if (FLastFinished || FRetries >= MaxRetries) return;
  ++FRetries;
  LoadLastPage();
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
