// The web page behind THtmlView: it lets only the view's own page loads through, refuses
// every other navigation and new window, and turns each form submission into a captured
// form (the fields a browser would send) instead of navigating. GUI thread only.
#pragma once

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineUrlSchemeHandler>

#include <functional>
#include <string>
#include <vector>

struct TCapturedForm {
  std::string Action, Target, EncType, Method;  // as the form (or its submit button) gives them
  std::vector<std::string> Fields;              // "name=value", 8-bit, in document order
};

class TCapturePage : public QWebEnginePage {
  Q_OBJECT
 public:
  static constexpr const char* FormScheme = "tallybox-form";

  explicit TCapturePage(QWebEngineProfile* Profile, QObject* Parent = nullptr);

  // The next main-frame navigation allowed: the page load the view is starting.
  void ExpectLoad(const QUrl& Url) { FExpected = FLastLoad = Url; }
  // The URL of the load last expected, kept after it was let through.
  const QUrl& LastLoad() const { return FLastLoad; }

  // Installs the handler FormScheme needs (it refuses every request), so that submissions
  // reach acceptNavigationRequest; once per profile.
  static void InstallFormScheme(QWebEngineProfile* Profile);

 signals:
  // Queued after the refused navigation, never from inside the engine's call.
  void FormCaptured(const TCapturedForm& Form);

 protected:
  bool acceptNavigationRequest(const QUrl& Url, NavigationType Type, bool IsMainFrame) override;
  QWebEnginePage* createWindow(WebWindowType Type) override;

 private:
  void InjectScripts();

  QUrl FExpected;
  QUrl FLastLoad;
};

// Reads a submission URL made by the injected capture script. Returns false when Url is not
// one (other scheme or path, unreadable form description).
bool DecodeCapturedForm(const QUrl& Url, TCapturedForm& Form);
