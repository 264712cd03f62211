// The HTML view of the main window (hvMain): shows a local page template after expanding its
// include tags through the owner's handler, and hands every form submission to the owner's
// submit handler instead of navigating. Runs on Qt WebEngine; GUI thread only.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "markup/uIncludeTags.h"

class QTimer;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class TAccessibleSweep;
class TCapturePage;
class TPageSchemeHandler;
struct TCapturedForm;

class THtmlView : public QWidget {
  Q_OBJECT
 public:
  // Action, target, encoding type and method as the submitted form gives them (empty when it
  // gives none), and the fields a browser would send, "name=value" with 8-bit values, in
  // document order.
  using TSubmitHandler = std::function<void(const std::string& Action, const std::string& Target,
                                            const std::string& EncType, const std::string& Method,
                                            std::vector<std::string> Fields)>;

  // For main() before the QApplication exists: turns the engine's sandbox off only when
  // running as root (where it cannot start), switches the GPU off unless the user chose
  // Chromium flags, and shares OpenGL contexts as the engine needs.
  static void PrepareEnvironment();
  // For main() before the QApplication exists: registers the view's URL schemes. Repeat
  // calls do nothing.
  static void RegisterSchemes();
  // For main() after the QApplication exists and before the first view: pages follow the
  // desktop's dark scheme (prefers-color-scheme) when its palette is dark. The engine reads
  // this when it starts, so it holds for the whole run.
  static void FollowDesktopScheme();

  explicit THtmlView(QWidget* Parent = nullptr);
  ~THtmlView() override;

  // The folder whose files pages may use; nothing outside it is served. Until one is set,
  // each page's own folder is its root.
  void SetPageRoot(const std::string& Folder);
  void SetIncludeHandler(TIncludeHandler Handler) { FOnInclude = std::move(Handler); }
  void SetSubmitHandler(TSubmitHandler Handler) { FOnSubmit = std::move(Handler); }

  // Reads the page file, calls the include handler for each of its tags (before returning)
  // and starts showing the result. A missing or unreadable file, or one outside the page
  // root, shows a short built-in page naming the file instead. LoadFinished follows.
  void LoadFromFile(const std::string& Path);
  // The path last given to LoadFromFile, as given; empty before the first load.
  std::string CurrentFile() const { return FCurrentFile; }
  // Paints the view now (the engine delivers new frames on its own schedule).
  void Repaint();

  // Test access: runs Script in the page's own world and returns its result, waiting in a
  // local event loop for at most TimeoutMs (an invalid QVariant on time-out).
  QVariant RunScriptForTest(const QString& Script, int TimeoutMs = 10000);
  // Test access: how long a page may take to start before the view asks for it again.
  void SetLoadWatchForTest(int Ms) { FLoadWatchMs = Ms; }

 signals:
  // The page last asked for by LoadFromFile has finished loading: once per LoadFromFile,
  // Ok false when it could not be shown after every retry.
  void LoadFinished(bool Ok);

 private:
  void ShowPage(const std::string& Path, const std::string& Html);
  void PageLoadingChanged(const QWebEngineLoadingInfo& Info);
  void LastPageEnded(bool Ok);
  void LoadLastPage();
  void LoadWatchExpired();
  void OlderPageEnded();
  void AskAgain();
  void FormCaptured(const TCapturedForm& Form);

  QWebEngineProfile* FProfile;
  TPageSchemeHandler* FPages;
  TCapturePage* FPage;
  QWebEngineView* FView;
  std::string FPageRoot;
  std::string FCurrentFile;
  TIncludeHandler FOnInclude;
  TSubmitHandler FOnSubmit;
  // The engine now and then drops a load asked for while an older one is still on its way:
  // the page asked for last is asked for again (under a new URL, at most MaxRetries times)
  // when an older page ended in its place, when its own load failed, or when it has not
  // started after FLoadWatchMs. The page is kept for that.
  static constexpr int MaxRetries = 3;
  int FLoadWatchMs = 2000;
  QTimer* FLoadWatch;
  QString FLastPath;
  QByteArray FLastHtml;
  bool FLastStarted = false;
  bool FLastFinished = true;
  int FRetries = 0;
  std::unique_ptr<TAccessibleSweep> FSweep;
};
